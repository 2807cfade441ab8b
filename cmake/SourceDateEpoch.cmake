# SPDX-License-Identifier: MIT
# The one time stamp the downloads carry (the dates in the Windows zip, the file times and archive
# times in the Debian package), so that two builds of the same commit give the same bytes:
# QUILLENDOR_SOURCE_DATE_EPOCH, in seconds since 1970, as reproducible-builds.org defines
# SOURCE_DATE_EPOCH. Taken, in this order, from
#   - the environment variable SOURCE_DATE_EPOCH when configuring, as Debian's tools do;
#   - the commit time of the last commit, when the sources are a git checkout (a new commit
#     configures again, so the time follows it);
#   - otherwise the date of the newest entry in packaging/debian/changelog.in, which is fixed in
#     the sources. A tarball of a commit builds the same bytes as its checkout only when it is
#     given that commit's time: SOURCE_DATE_EPOCH=$(git log -1 --format=%ct).
#
# Included from the top-level CMakeLists.txt.

# Tue, 08 Dec 2026 12:00:00 +0000, the changelog's date.
set(_quill_changelog_epoch 1796731200)

if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
        message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"$ENV{SOURCE_DATE_EPOCH}\": seconds since 1970 expected")
    endif()
    set(_quill_epoch $ENV{SOURCE_DATE_EPOCH})
    set(_quill_epoch_from "the environment variable SOURCE_DATE_EPOCH")
else()
    set(_quill_epoch "")
    find_package(Git QUIET)
    if(Git_FOUND)
        # The sources' own checkout, not one that merely holds the folder they were unpacked in.
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE _quill_top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        file(REAL_PATH "${PROJECT_SOURCE_DIR}" _quill_source)
        if(_quill_top)
            file(REAL_PATH "${_quill_top}" _quill_top)
        endif()
        if(_quill_top STREQUAL _quill_source)
            execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                            OUTPUT_VARIABLE _quill_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                            RESULT_VARIABLE _quill_git_status ERROR_QUIET)
            if(NOT _quill_git_status EQUAL 0 OR NOT _quill_epoch MATCHES "^[0-9]+$")
                set(_quill_epoch "")
            endif()
        endif()
    endif()
    if(_quill_epoch)
        set(_quill_epoch_from "the last commit")
        # Configure again when HEAD moves (a commit, a checkout, a reset): its reflog grows then.
        foreach(_quill_git_file logs/HEAD HEAD)
            execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --git-path ${_quill_git_file}
                            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                            OUTPUT_VARIABLE _quill_path OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
            if(_quill_path)
                get_filename_component(_quill_path ${_quill_path} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
                if(EXISTS ${_quill_path})
                    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_quill_path})
                endif()
            endif()
        endforeach()
    else()
        set(_quill_epoch ${_quill_changelog_epoch})
        set(_quill_epoch_from "the changelog, since the sources are not a git checkout and SOURCE_DATE_EPOCH is not set")
    endif()
endif()

set(QUILLENDOR_SOURCE_DATE_EPOCH ${_quill_epoch} CACHE INTERNAL "Seconds since 1970 that the downloads' time stamps show")
# string(TIMESTAMP) gives SOURCE_DATE_EPOCH when it is set: the time chosen, in words.
set(_quill_had_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${_quill_epoch})
string(TIMESTAMP _quill_epoch_text "%Y-%m-%d %H:%M:%S UTC" UTC)
if(_quill_had_epoch STREQUAL "")
    unset(ENV{SOURCE_DATE_EPOCH})
else()
    set(ENV{SOURCE_DATE_EPOCH} "${_quill_had_epoch}")
endif()
message(STATUS "Time stamp of the downloads: ${_quill_epoch_text} (${_quill_epoch}), from ${_quill_epoch_from}")
