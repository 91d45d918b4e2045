# SPDX-License-Identifier: MIT
# Building and testing one CMake preset with only what matters on the terminal: warnings,
# errors, failed or skipped tests and the summaries. Sourced by scripts/run-tests.
# Each preset's whole build and test output stays in its build folder (build.log, test.log,
# junit.xml), for when something needs a closer look.

# Lines that only say a step went well: the build's progress and every passed test.
_pio_routine='^\[ *[0-9]+%\] |^Scanning dependencies|^Consolidate compiler generated'
# CMake's status lines ("-- ..."), also those of the Windows build's host tool configured
# while building; its warnings and errors do not start that way.
_pio_routine="$_pio_routine"'|^-- '
_pio_routine="$_pio_routine"'|^Internal ctest changing into directory|^ +Start +[0-9]+: |Passed +[0-9.]+ sec$'

# build_preset <preset>: configures and builds it. The whole log is <build dir>/build.log.
build_preset() {
    dir=$(preset_dir "$1")
    mkdir -p "$dir"
    status=0
    { cmake --preset "$1" --log-level=WARNING && cmake --build --preset "$1" -j"$(nproc)"; } \
        >"$dir/build.log" 2>&1 || status=$?
    grep -Ev "$_pio_routine" "$dir/build.log" | grep -Ev '^(Preset CMake variables:|  [A-Z_]+[:=].*)?$' || true
    [ "$status" -eq 0 ] || echo "run-tests: building $dir failed (exit $status); see $dir/build.log" >&2
    return "$status"
}

# test_preset <preset> [ctest arguments...]: runs its tests. A user other than root whose
# sudo needs no password runs the tests that skipped themselves for want of root again
# through sudo. The outcome of every test is in <build dir>/junit*.xml for test_report.
test_preset() {
    preset=$1
    shift
    dir=$(preset_dir "$preset")
    rm -f "$dir"/junit*.xml
    status=0
    ctest --preset "$preset" -j"$(nproc)" --output-on-failure --output-junit junit.xml "$@" \
        >"$dir/test.log" 2>&1 || status=$?
    grep -Ev "$_pio_routine" "$dir/test.log" || true
    if [ "$(id -u)" -ne 0 ]; then
        rerun_as_root "$dir" || status=$?
    fi
    return "$status"
}

# Runs again, through sudo, the tests of <dir>/junit.xml that skipped themselves because they
# need root, when sudo works without a password. Files the run leaves are given back.
rerun_as_root() {
    names=$(python3 scripts/test-report.py --needs-root "$1/junit.xml")
    [ -n "$names" ] || return 0
    if ! sudo -n true 2>/dev/null; then
        return 0   # test_report names them, and why they did not run
    fi
    echo "run-tests: running through sudo what needs root: $(echo "$names" | tr '|' ' ' | tr -d '\\')"
    status=0
    sudo -n ctest --test-dir "$1" -R "^($names)\$" --output-on-failure \
        --output-junit junit-root.xml >"$1/test-root.log" 2>&1 || status=$?
    sudo -n chown -R "$(id -u):$(id -g)" "$1"
    grep -Ev "$_pio_routine" "$1/test-root.log" || true
    return "$status"
}

# test_report <build dir>...: one line per build, and what did not run and why.
test_report() {
    python3 scripts/test-report.py "$@"
}

preset_dir() {
    echo "build-$1"
}
