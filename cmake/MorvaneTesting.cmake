# morvane_add_test(<name> SOURCES <files...> LIBRARIES <targets...> [THREADED] [GUI])
#
# One GoogleTest executable; every test case becomes its own CTest test so the
# suite runs in parallel. THREADED tests also run under ThreadSanitizer
# (label "threaded"); GUI tests run on Qt's offscreen platform.
function(morvane_add_test name)
    cmake_parse_arguments(ARG "THREADED;GUI" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        MORVANE_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    set(labels ${name})
    set(environment "")
    if(ARG_THREADED)
        list(APPEND labels threaded)
    endif()
    if(ARG_GUI)
        list(APPEND labels gui)
        list(APPEND environment QT_QPA_PLATFORM=offscreen)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS "${labels}" ENVIRONMENT "${environment}" TIMEOUT 300)
endfunction()
