# SPDX-License-Identifier: MIT
# Run by CPack (cpack, the `package` target) before it makes the Debian package and after, so that
# the same sources make the same package, byte for byte:
#   before: SOURCE_DATE_EPOCH for CPack itself. CPack 3.25 then dates every file and folder in the
#           package's two tar archives, and the archives in the ar archive, at that time, and leaves
#           the time out of their gzip headers; without it each carries the time it was built, or
#           the time the checkout wrote the file.
#           The folders in the package get mode 755: the install rules made them with the umask's
#           mode (the files have theirs from the rules, 644 or 755).
#   after:  the ar archive's members get mode 100644: CPack gives them the mode its own files got
#           from the umask (packaging/debian/ar_modes.py).
# The owner is root in every archive CPack writes, and CPack sorts the files.
if(NOT CPACK_PACKAGE_FILES)
    set(ENV{SOURCE_DATE_EPOCH} ${CPACK_QUILLENDOR_SOURCE_DATE_EPOCH})
    # The folders the install rules made took their modes from the umask.
    file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
    foreach(path IN LISTS staged)
        if(IS_DIRECTORY ${path} AND NOT IS_SYMLINK ${path})
            file(CHMOD ${path} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                 GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
        endif()
    endforeach()
    return()
endif()
find_program(QUILL_PYTHON3 python3)
if(NOT QUILL_PYTHON3)
    message(FATAL_ERROR "python3 is needed to finish the Debian package (apt-get install python3)")
endif()
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    execute_process(COMMAND ${QUILL_PYTHON3} ${CPACK_QUILLENDOR_PACKAGING_DIR}/debian/ar_modes.py ${package}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "ar_modes.py ${package} failed")
    endif()
endforeach()
