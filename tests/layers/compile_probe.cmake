# SPDX-License-Identifier: GPL-3.0-or-later
cmake_minimum_required(VERSION 3.25)
# Compiles a one-line source that includes HEADER exactly as the build compiles the sources of
# TARGET (its first object's command, from Ninja), and checks the outcome: with EXPECT, the
# compiler must refuse it with a message that matches EXPECT; without, it must compile.
# Run as `cmake -DBUILD_DIR=... -DNINJA=... -DMANIFEST=... -DTARGET=... -DHEADER=...
# -DPROBE=<source to write> [-DEXPECT=<regex>] -P`.
include(${MANIFEST})
list(GET ${TARGET}_objects 0 object)
file(RELATIVE_PATH object ${BUILD_DIR} ${object})
cmake_path(NORMAL_PATH object)
execute_process(COMMAND ${NINJA} -C ${BUILD_DIR} -t commands -s ${object}
                OUTPUT_VARIABLE command RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0 OR NOT command MATCHES " -c [^ ]+$")
    message(FATAL_ERROR "No compile command for ${object} of ${TARGET}: ${command}")
endif()

file(WRITE ${PROBE} "#include \"${HEADER}\"\n")
# The same flags, another source; no object kept, no dependency file written over the
# target's own.
string(REGEX REPLACE " -c [^ ]+$" " -c ${PROBE}" command "${command}")
string(REGEX REPLACE " -o [^ ]+" " -o /dev/null" command "${command}")
string(REGEX REPLACE " -M[DFT]( [^ -][^ ]*)?" "" command "${command}")
execute_process(COMMAND sh -c "${command}" WORKING_DIRECTORY ${BUILD_DIR}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)

if(NOT DEFINED EXPECT)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${TARGET} cannot include ${HEADER}:\n${command}\n${output}")
    endif()
elseif(status EQUAL 0)
    message(FATAL_ERROR "${TARGET} includes ${HEADER}, which it must not reach:\n${command}")
elseif(NOT output MATCHES "${EXPECT}")
    message(FATAL_ERROR "${TARGET} failed on ${HEADER} for another reason than /${EXPECT}/:\n"
                        "${command}\n${output}")
else()
    string(REGEX MATCH "[^\n]*(${EXPECT})[^\n]*" refusal "${output}")
    message(STATUS "${TARGET} refuses ${HEADER}: ${refusal}")
endif()
