# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on its staging tree before the package is made, to give it the shape Debian's
# own tools would: executables stripped of symbols and of the compiler's notes, manual pages
# and the changelog compressed with gzip at maximum compression and without a time stamp.
# The ordinary `cmake --install` leaves the files as they are.
file(GLOB_RECURSE staged_files "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS staged_files)
    if(IS_SYMLINK "${file}")
        continue()
    endif()
    file(READ "${file}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        execute_process(COMMAND "${CPACK_MORVANE_STRIP}" --remove-section=.comment
                                --remove-section=.note "${file}"
                        RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "cannot strip ${file}")
        endif()
    endif()
endforeach()

file(GLOB_RECURSE manual_pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man*/*")
file(GLOB_RECURSE changelogs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/*/changelog*")
foreach(file IN LISTS manual_pages changelogs)
    if(NOT file MATCHES "\\.gz$")
        execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "cannot compress ${file}")
        endif()
    endif()
endforeach()
