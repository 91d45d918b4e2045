# SPDX-License-Identifier: MIT
# Cross build for 32-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-i686-posix).
# The result runs on 32- and 64-bit Windows; its tests need a 32-bit wine (wine32:i386).
set(PIO_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
