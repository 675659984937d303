# Run by CPack on its staging tree before the package is made: Debian wants manual pages and
# the changelog compressed with gzip at maximum compression and without a time stamp.
# The ordinary `cmake --install` leaves them as they are.
file(GLOB_RECURSE manual_pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man*/*")
file(GLOB_RECURSE changelogs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/*/changelog")
foreach(file IN LISTS manual_pages changelogs)
    if(NOT file MATCHES "\\.gz$")
        execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "cannot compress ${file}")
        endif()
    endif()
endforeach()
