# SPDX-License-Identifier: MIT
# Removes what `cmake --install` put in place, as listed in the install manifest it wrote into
# the build folder. Run by the target `uninstall`, or directly:
#   cmake -DMANIFEST=build-release/install_manifest.txt -P packaging/uninstall.cmake
# Folders are left alone: share/ and bin/ belong to everyone. Files already gone are reported
# and skipped, so a second run does no harm.
if(NOT DEFINED MANIFEST)
    message(FATAL_ERROR "uninstall.cmake needs -DMANIFEST=<build folder>/install_manifest.txt")
endif()
if(NOT EXISTS "${MANIFEST}")
    message(FATAL_ERROR "${MANIFEST} does not exist: nothing was installed from this build "
                        "folder with `cmake --install` (a Debian package is removed with apt)")
endif()

file(STRINGS "${MANIFEST}" pio_files)
set(pio_failed "")
foreach(pio_file IN LISTS pio_files)
    if(IS_SYMLINK "${pio_file}" OR EXISTS "${pio_file}")
        message(STATUS "Removing ${pio_file}")
        file(REMOVE "${pio_file}")
        if(IS_SYMLINK "${pio_file}" OR EXISTS "${pio_file}")
            list(APPEND pio_failed "${pio_file}")
        endif()
    else()
        message(STATUS "Already gone: ${pio_file}")
    endif()
endforeach()
if(pio_failed)
    string(REPLACE ";" "\n  " pio_failed "${pio_failed}")
    message(FATAL_ERROR "could not remove (run it as the user who installed, e.g. with sudo):\n"
                        "  ${pio_failed}")
endif()
