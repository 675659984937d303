# SPDX-License-Identifier: GPL-3.0-or-later
# The modules of src/ and the layers they form (docs/architecture.md).
#
# morvane_module(<target> <module> [QT]) makes <target> a part of src/<module>:
#
# - The module's headers are reached as "<module>/<header>.h" through its own include folder
#   (build/include/<module>/, holding a link to src/<module>), which the target offers to
#   whatever links it. No target has src/ itself on its path, so a target reaches a module's
#   headers only by linking it: directly, or through a chain of PUBLIC links. Modules link
#   PUBLIC only what their own headers include, so a module reaches one further down only by
#   linking it or a module whose headers include it.
# - Outside the engine, FFmpeg's headers are fenced off: a folder that holds, under FFmpeg's
#   own names, headers that stop the compiler with an #error comes first on the target's own
#   include path. FFmpeg's real headers lie in the compiler's default path on Debian, where
#   no missing link could keep them out.
#
# morvane_check_layers(), called once every target exists, holds each module target to the
# layer map below: every module whose headers it reaches may be included by its own, only
# targets marked QT reach Qt, only the engine reaches FFmpeg. A breach stops the
# configuration. It also writes build/layers/modules.cmake, from which the test `layers`
# (tests/layers/check_layers.cmake) checks what each object was really compiled from.

# The layer map: which modules' headers a module may include. It is the table of
# docs/architecture.md.
set(MORVANE_LAYERS_platform platform)
set(MORVANE_LAYERS_engine engine platform)
set(MORVANE_LAYERS_settings settings platform)
set(MORVANE_LAYERS_jobs jobs engine settings platform)
set(MORVANE_LAYERS_players players jobs engine settings platform)
set(MORVANE_LAYERS_skin skin platform)
set(MORVANE_LAYERS_settings_dialog settings_dialog jobs engine settings skin platform)
set(MORVANE_LAYERS_conversion_window
    conversion_window players jobs engine settings skin platform)
set(MORVANE_LAYERS_app
    app conversion_window settings_dialog players jobs engine settings skin platform)
set(MORVANE_LAYERS_cli cli players jobs engine settings platform)

# FFmpeg's header folders (libavcodec/, libavutil/, ...) under each folder pkg-config names.
set(MORVANE_FFMPEG_INCLUDE_DIRS "")
foreach(library libavformat libavcodec libavfilter libavutil libswscale libswresample)
    list(APPEND MORVANE_FFMPEG_INCLUDE_DIRS ${FFMPEG_${library}_INCLUDEDIR})
endforeach()
list(REMOVE_DUPLICATES MORVANE_FFMPEG_INCLUDE_DIRS)
set(MORVANE_FFMPEG_LIBRARY_GLOBS libav* libsw* libpostproc)

# The fence: for every header of every FFmpeg library found there, a header of the same name
# that stops the compiler. Where FFmpeg's folder lies inside a folder the compiler searches
# by default (/usr/include/x86_64-linux-gnu in /usr/include), the longer names
# (<x86_64-linux-gnu/libavcodec/avcodec.h>) are fenced too.
set(MORVANE_FFMPEG_FENCE ${CMAKE_BINARY_DIR}/ffmpeg-fence)
function(morvane_write_ffmpeg_fence)
    set(written "")
    foreach(include_dir IN LISTS MORVANE_FFMPEG_INCLUDE_DIRS)
        set(prefixes "")
        foreach(default_dir IN LISTS CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES)
            cmake_path(IS_PREFIX default_dir "${include_dir}" NORMALIZE inside)
            if(inside AND NOT default_dir STREQUAL include_dir)
                file(RELATIVE_PATH prefix ${default_dir} ${include_dir})
                list(APPEND prefixes "${prefix}/")
            endif()
        endforeach()
        set(globs "")
        foreach(library IN LISTS MORVANE_FFMPEG_LIBRARY_GLOBS)
            list(APPEND globs ${include_dir}/${library}/*.h)
        endforeach()
        file(GLOB_RECURSE headers RELATIVE ${include_dir} ${globs})
        foreach(header IN LISTS headers)
            foreach(prefix "" ${prefixes})
                set(name "${prefix}${header}")
                file(CONFIGURE OUTPUT ${MORVANE_FFMPEG_FENCE}/${name} @ONLY CONTENT
"// Written by cmake/MorvaneModules.cmake: FFmpeg's <@name@> as seen outside the engine.
#error \"only the engine includes FFmpeg's headers (here <@name@>): use the engine's functions of plain types\"
")
                list(APPEND written ${name})
            endforeach()
        endforeach()
    endforeach()
    if(NOT written)
        message(FATAL_ERROR "No FFmpeg header found in ${MORVANE_FFMPEG_INCLUDE_DIRS} to fence")
    endif()
endfunction()
morvane_write_ffmpeg_fence()

function(morvane_module target module)
    cmake_parse_arguments(PARSE_ARGV 2 arg "QT" "" "")
    if(NOT DEFINED MORVANE_LAYERS_${module})
        message(FATAL_ERROR "${target}: src/${module} is not in the layer map (cmake/MorvaneModules.cmake)")
    endif()
    set(root ${CMAKE_BINARY_DIR}/include/${module})
    if(NOT EXISTS ${root}/${module})
        file(MAKE_DIRECTORY ${root})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${module} ${root}/${module} SYMBOLIC)
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_include_directories(${target} PRIVATE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
    if(NOT module STREQUAL "engine")
        target_include_directories(${target} BEFORE PRIVATE ${MORVANE_FFMPEG_FENCE})
    endif()
    set_target_properties(${target} PROPERTIES MORVANE_MODULE ${module} MORVANE_QT "${arg_QT}")
    set_property(GLOBAL APPEND PROPERTY MORVANE_MODULE_TARGETS ${target})
endfunction()

# The targets whose usage requirements (include folders above all) reach the compiler of
# `target`'s sources: what it links, and what those link PUBLIC, on down. Imported targets
# (Qt6::Widgets, PkgConfig::FFMPEG) are named, not followed.
function(morvane_reached_targets target out)
    get_target_property(pending ${target} LINK_LIBRARIES)
    set(reached "")
    while(pending)
        list(POP_FRONT pending item)
        # Links made from another folder come wrapped in ::@(folder) markers; LINK_ONLY is a
        # static library's PRIVATE link, which passes on no usage requirement.
        if(item MATCHES "^::@" OR item MATCHES "^\\$<LINK_ONLY:" OR NOT item OR
           item IN_LIST reached)
            continue()
        endif()
        list(APPEND reached ${item})
        if(TARGET ${item})
            get_target_property(imported ${item} IMPORTED)
            if(NOT imported)
                get_target_property(interface ${item} INTERFACE_LINK_LIBRARIES)
                if(interface)
                    list(APPEND pending ${interface})
                endif()
            endif()
        endif()
    endwhile()
    set(${out} ${reached} PARENT_SCOPE)
endfunction()

function(morvane_check_layers)
    get_property(targets GLOBAL PROPERTY MORVANE_MODULE_TARGETS)
    set(failures "")
    get_target_property(qt_core_dirs Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
    list(GET qt_core_dirs 0 qt_core_dir)
    cmake_path(GET qt_core_dir PARENT_PATH qt_include_dir)
    string(CONCAT manifest "# Written by cmake/MorvaneModules.cmake for tests/layers/check_layers.cmake.\n"
                 "set(source_dir \"${PROJECT_SOURCE_DIR}\")\n"
                 "set(ffmpeg_include_dirs \"${MORVANE_FFMPEG_INCLUDE_DIRS}\")\n"
                 "set(ffmpeg_libraries \"${MORVANE_FFMPEG_LIBRARY_GLOBS}\")\n"
                 "set(qt_include_dir \"${qt_include_dir}\")\n"
                 "set(module_targets \"${targets}\")\n")
    foreach(target IN LISTS targets)
        get_target_property(module ${target} MORVANE_MODULE)
        get_target_property(qt ${target} MORVANE_QT)
        morvane_reached_targets(${target} reached)
        set(modules ${module})
        foreach(item IN LISTS reached)
            if(item MATCHES "^Qt6::")
                if(NOT qt)
                    string(APPEND failures "${target} (${module}) reaches Qt (${item}) but is no Qt part\n")
                endif()
            elseif(item STREQUAL "PkgConfig::FFMPEG")
                if(NOT module STREQUAL "engine")
                    string(APPEND failures "${target} (${module}) reaches FFmpeg: only the engine does\n")
                endif()
            elseif(TARGET ${item})
                get_target_property(other ${item} MORVANE_MODULE)
                if(other AND NOT other IN_LIST MORVANE_LAYERS_${module})
                    string(APPEND failures "${target} (${module}) reaches ${item} (${other})\n")
                endif()
                if(other AND NOT other IN_LIST modules)
                    list(APPEND modules ${other})
                endif()
            endif()
        endforeach()
        string(APPEND manifest
            "set(${target}_module ${module})\n"
            "set(${target}_qt \"${qt}\")\n"
            "set(${target}_reaches \"${modules}\")\n"
            "set(${target}_objects \"$<TARGET_OBJECTS:${target}>\")\n")
    endforeach()
    if(failures)
        message(FATAL_ERROR "Layers crossed (see the map in cmake/MorvaneModules.cmake):\n${failures}")
    endif()
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/layers/modules.cmake CONTENT "${manifest}")
endfunction()
