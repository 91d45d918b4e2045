# SPDX-License-Identifier: MIT
# What both mingw-w64 toolchain files share; they set PIO_MINGW_TRIPLET first.
#
# The "-posix" compilers use the winpthreads threading model, which std::thread and
# std::mutex need; the "-win32" ones lack them in GCC 12.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)   # Windows 7 SP1, the oldest system the program supports
if(PIO_MINGW_TRIPLET MATCHES "^x86_64")
    set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
    set(CMAKE_SYSTEM_PROCESSOR x86)
endif()

set(CMAKE_C_COMPILER ${PIO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PIO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PIO_MINGW_TRIPLET}-windres)
# CMake cannot derive the binutils' prefix from a compiler name ending in "-posix".
foreach(tool IN ITEMS ar ranlib strip objdump nm objcopy)
    string(TOUPPER ${tool} TOOL)
    set(CMAKE_${TOOL} ${PIO_MINGW_TRIPLET}-${tool} CACHE FILEPATH "")
endforeach()

# Libraries and headers come only from the mingw-w64 sysroot, programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${PIO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 7 SP1 API level; the headers hide anything newer.
set(PIO_WINVER_FLAGS "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
set(CMAKE_C_FLAGS_INIT "${PIO_WINVER_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${PIO_WINVER_FLAGS}")
set(CMAKE_RC_FLAGS_INIT "${PIO_WINVER_FLAGS}")

# One self-contained .exe: the GCC runtime, libstdc++ and winpthreads linked in, so that
# nothing but system DLLs has to lie beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs (and test discovery) run under wine. Debian's `wine` (an alternative set up
# by the wine package) starts 64-bit programs with wine64 by itself; with the wine64 package
# alone there is only /usr/lib/wine/wine64, which runs them as well.
find_program(PIO_WINE NAMES wine wine64 PATHS /usr/lib/wine
             DOC "wine, to run the Windows test programs")
if(PIO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${PIO_WINE})
endif()
