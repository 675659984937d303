# SPDX-License-Identifier: GPL-3.0-or-later
# morvane_add_test(<name> SOURCES <files...> LIBRARIES <targets...> [THREADED]
#                  [THREADED_TESTS <regex>] [GUI])
#
# One GoogleTest executable; every test case becomes its own CTest test so the
# suite runs in parallel. THREADED tests also run under ThreadSanitizer
# (label "threaded"), or only the cases whose name matches THREADED_TESTS; GUI
# tests run on Qt's offscreen platform.
function(morvane_add_test name)
    cmake_parse_arguments(ARG "THREADED;GUI" "THREADED_TESTS" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        MORVANE_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    set(labels ${name})
    set(environment "")
    if(ARG_THREADED)
        list(APPEND labels threaded)
    endif()
    # `threaded_tests` builds the executables of the tests labelled threaded, and only them:
    # what the ThreadSanitizer build runs.
    if(ARG_THREADED OR ARG_THREADED_TESTS)
        if(NOT TARGET threaded_tests)
            add_custom_target(threaded_tests)
        endif()
        add_dependencies(threaded_tests ${name})
    endif()
    if(ARG_GUI)
        list(APPEND labels gui)
        list(APPEND environment QT_QPA_PLATFORM=offscreen)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 300)
    # Labels are set after discovery, from the list of tests it leaves in <name>_TESTS:
    # passed through PROPERTIES, a list of labels is split and its second label read as a
    # property name (which also lost the GUI tests their offscreen environment).
    set(label_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
    file(WRITE ${label_script}
        "if(${name}_TESTS)\n"
        "    set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${labels}\")\n"
        "    foreach(test \${${name}_TESTS})\n"
        "        if(NOT \"${ARG_THREADED_TESTS}\" STREQUAL \"\" AND test MATCHES \"${ARG_THREADED_TESTS}\")\n"
        "            set_tests_properties(\${test} PROPERTIES LABELS \"${labels};threaded\")\n"
        "        endif()\n"
        "    endforeach()\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${label_script})
endfunction()
