# SPDX-License-Identifier: MIT
# pio_add_kernel_rig(<boot test> <work folder> <fixture> ARGS <rig.py arguments...>
#                    SCENARIOS <scenario...>)
# The kernel rig (tests/kernel/rig.py) as tests: <boot test> runs the machine once, with every
# scenario in it; kernel.<scenario> then reports each one's verdict from its results. The
# machine is emulated and its checks take time: nothing else runs beside the boot.
# A stopped machine is caught by rig.py long before the ceiling (its console falls silent);
# the ceiling only bounds a machine that goes on working, and a loaded host slows that down a
# lot (a run beside two busy loops and two full test runs reached the old 900 s).
function(pio_add_kernel_rig boot work fixture)
    cmake_parse_arguments(PARSE_ARGV 3 rig "" "" "ARGS;SCENARIOS")
    add_test(NAME ${boot}
             COMMAND ${Python3_EXECUTABLE} -B ${PROJECT_SOURCE_DIR}/tests/kernel/rig.py
                     ${rig_ARGS} --work ${work} --timeout 2400)
    set_tests_properties(${boot} PROPERTIES
                         TIMEOUT 2460
                         SKIP_RETURN_CODE 77
                         LABELS kernel
                         FIXTURES_SETUP ${fixture}
                         RUN_SERIAL TRUE)
    foreach(scenario IN LISTS rig_SCENARIOS)
        add_test(NAME kernel.${scenario}
                 COMMAND ${Python3_EXECUTABLE} -B ${PROJECT_SOURCE_DIR}/tests/kernel/check.py
                         ${work}/out/results.json ${scenario})
        set_tests_properties(kernel.${scenario} PROPERTIES
                             SKIP_RETURN_CODE 77
                             LABELS kernel
                             FIXTURES_REQUIRED ${fixture})
    endforeach()
endfunction()
