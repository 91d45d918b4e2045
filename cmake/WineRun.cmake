# SPDX-License-Identifier: MIT
# Test programs of a Windows cross build run under wine through a small wrapper that gives
# them this build's own prefix (see wine-run.sh.in). Included by the top-level CMakeLists
# when cross-compiling with an emulator; sets CMAKE_CROSSCOMPILING_EMULATOR to the wrapper,
# so add_test() and gtest_discover_tests() use it for every executable made after this.
#
# pio_wine_cleanup_test(<fixture>) adds a test that stops the prefix's wineserver after the
# tests requiring <fixture>, so that no wine process outlives the test run.

set(PIO_WINE "${CMAKE_CROSSCOMPILING_EMULATOR}")
get_filename_component(_pio_wine_dir "${PIO_WINE}" DIRECTORY)
find_program(PIO_WINESERVER NAMES wineserver wineserver64
             HINTS "${_pio_wine_dir}" /usr/lib/wine /usr/lib/wine64
             DOC "wineserver of the wine that runs the tests")
if(NOT PIO_WINESERVER)
    message(FATAL_ERROR "wine is there (${PIO_WINE}) but wineserver is not")
endif()

set(PIO_WINEPREFIX "${PROJECT_BINARY_DIR}/wineprefix")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_BINARY_DIR}/wine-run")

function(pio_wine_cleanup_test fixture)
    # -k fails when no server runs, which is fine: nothing is left over then.
    add_test(NAME wine.stop_server
             COMMAND sh -c "\"$1\" -k 2>/dev/null; exit 0" sh ${PIO_WINESERVER})
    set_tests_properties(wine.stop_server PROPERTIES
                         FIXTURES_CLEANUP ${fixture}
                         ENVIRONMENT WINEPREFIX=${PIO_WINEPREFIX})
endfunction()
