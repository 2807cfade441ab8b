# SPDX-License-Identifier: MIT
# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-x86-64): the
# "windows" preset (Quillendor.exe) and the builds of the Wine tests use it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

find_program(QUILL_MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++ REQUIRED)
set(CMAKE_CXX_COMPILER ${QUILL_MINGW_CXX})
find_program(QUILL_MINGW_WINDRES NAMES x86_64-w64-mingw32-windres)
if(QUILL_MINGW_WINDRES)
    set(CMAKE_RC_COMPILER ${QUILL_MINGW_WINDRES})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
