# SPDX-License-Identifier: GPL-3.0-or-later
cmake_minimum_required(VERSION 3.25)
# Dependencies point one way (docs/architecture.md), checked on what the compiler really read:
# the headers Ninja recorded for every object of every module's targets (`ninja -t deps`). An
# object may depend on headers of the modules its target links (and so reaches: the build's
# layer check holds those to the map), whatever path led there (a relative "../x/y.h" too);
# on FFmpeg's headers only in the engine; on Qt's only in a target that is a Qt part. Run as
# `cmake -DBUILD_DIR=... -DNINJA=... -DMANIFEST=build/layers/modules.cmake -P`, after a build.
include(${MANIFEST})

# `path` as a regular expression that matches it alone.
function(as_regex path out)
    string(REGEX REPLACE "([][+.*()^$?|\\{}])" "\\\\\\1" path "${path}")
    set(${out} "${path}" PARENT_SCOPE)
endfunction()
as_regex("${source_dir}" source_pattern)
as_regex("${BUILD_DIR}" build_pattern)
as_regex("${qt_include_dir}" qt_pattern)
set(ffmpeg_patterns "")
foreach(dir IN LISTS ffmpeg_include_dirs)
    as_regex("${dir}" dir)
    foreach(library IN LISTS ffmpeg_libraries)
        string(REPLACE "*" "[a-z]*" library "${library}")
        list(APPEND ffmpeg_patterns "${dir}/${library}/")
    endforeach()
endforeach()

set(failures "")
foreach(target IN LISTS module_targets)
    set(objects "")
    foreach(object IN LISTS ${target}_objects)
        file(RELATIVE_PATH object ${BUILD_DIR} ${object})
        cmake_path(NORMAL_PATH object)
        list(APPEND objects ${object})
    endforeach()
    execute_process(COMMAND ${NINJA} -C ${BUILD_DIR} -t deps ${objects}
                    OUTPUT_VARIABLE deps RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "ninja -t deps failed for ${target}")
    endif()
    # One block per object: "object: #deps N, ..." and its dependencies, one per line.
    string(REPLACE ";" "\\;" deps "${deps}")
    string(REGEX REPLACE "\n([^ \n][^\n]*: )" ";\n\\1" blocks "\n${deps}")
    foreach(block IN LISTS blocks)
        if(NOT block MATCHES "^\n?([^\n:]+): ([^\n]*)")
            continue()
        endif()
        set(object ${CMAKE_MATCH_1})
        if(NOT CMAKE_MATCH_2 MATCHES "^#deps")
            string(APPEND failures "${object}: not built (${CMAKE_MATCH_2})\n")
            continue()
        endif()
        set(module ${${target}_module})
        if(NOT module STREQUAL "engine")
            foreach(pattern IN LISTS ffmpeg_patterns)
                if(block MATCHES "\n +(${pattern}[^\n]+)")
                    string(APPEND failures
                        "${object} (${module}) depends on FFmpeg's ${CMAKE_MATCH_1}\n")
                endif()
            endforeach()
        endif()
        if(NOT ${target}_qt AND block MATCHES "\n +(${qt_pattern}/[^\n]+)")
            string(APPEND failures "${object} (${module}) depends on Qt's ${CMAKE_MATCH_1}\n")
        endif()
        # The project's own files, through whatever path the compiler took to them.
        string(REGEX MATCHALL "\n +(${source_pattern}|${build_pattern})/[^\n]+" own "${block}")
        foreach(path IN LISTS own)
            string(STRIP "${path}" path)
            file(REAL_PATH ${path} real)
            if(real MATCHES "^${source_pattern}/src/([a-z_]+)/" AND
               NOT CMAKE_MATCH_1 IN_LIST ${target}_reaches)
                string(APPEND failures
                    "${object} (${module}) depends on ${real}, of src/${CMAKE_MATCH_1}, which "
                    "${target} does not link\n")
            endif()
        endforeach()
    endforeach()
endforeach()
if(failures)
    message(FATAL_ERROR "Layers crossed:\n${failures}")
endif()
