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

# Each function keeps its variables local (dash and bash both have `local`): rerun_as_root
# runs inside test_preset, whose failed test run a shared `status` would overwrite.

# build_preset <preset>: configures and builds it. The whole log is <build dir>/build.log;
# build.status holds the exit code, for test_report to tell a build that failed.
build_preset() {
    local dir status=0
    dir=$(preset_dir "$1")
    mkdir -p "$dir"
    # Results of an earlier run would be taken for this one's, should its tests not run.
    rm -f "$dir"/junit*.xml "$dir/build.status" "$dir/test.status" "$dir/wine-silent.log"
    { cmake --preset "$1" --log-level=WARNING && cmake --build --preset "$1" -j"$(nproc)"; } \
        >"$dir/build.log" 2>&1 || status=$?
    echo "$status" >"$dir/build.status"
    grep -Ev "$_pio_routine" "$dir/build.log" | grep -Ev '^(Preset CMake variables:|  [A-Z_]+[:=].*)?$' || true
    [ "$status" -eq 0 ] || echo "run-tests: building $dir failed (exit $status); see $dir/build.log" >&2
    return "$status"
}

# test_preset <preset> [ctest arguments...]: runs its tests. A user other than root whose
# sudo needs no password runs the tests that skipped themselves for want of root again
# through sudo. The outcome of every test is in <build dir>/junit*.xml for test_report, the
# exit code in test.status: a failure of the first run stays it, however the rerun goes.
test_preset() {
    local preset=$1 dir status=0 root_status=0
    shift
    dir=$(preset_dir "$preset")
    rm -f "$dir"/junit*.xml
    ctest --preset "$preset" -j"$(nproc)" --output-on-failure --output-junit junit.xml "$@" \
        >"$dir/test.log" 2>&1 || status=$?
    grep -Ev "$_pio_routine" "$dir/test.log" || true
    if [ "$(id -u)" -ne 0 ]; then
        rerun_as_root "$preset" "$dir" || root_status=$?
    fi
    [ "$status" -ne 0 ] || status=$root_status
    echo "$status" >"$dir/test.status"
    return "$status"
}

# rerun_as_root <preset> <dir>: runs again, through sudo, the tests of <dir>/junit.xml that
# skipped themselves because they need root, when sudo works without a password. Through the
# preset, as the first run: sudo clears the environment, and the sanitizer builds' tests need
# the preset's (LSAN_OPTIONS with the suppressions; seen: leaks in Qt reported as failures).
# Files the run leaves are given back.
rerun_as_root() {
    local preset=$1 dir=$2 names status=0
    [ -f "$dir/junit.xml" ] || return 0   # CTest wrote nothing: test_report says so
    names=$(python3 scripts/test-report.py --needs-root "$dir/junit.xml")
    [ -n "$names" ] || return 0
    if ! sudo -n true 2>/dev/null; then
        return 0   # test_report names them, and why they did not run
    fi
    echo "run-tests: running through sudo what needs root: $(echo "$names" | tr '|' ' ' | tr -d '\\')"
    sudo -n ctest --preset "$preset" -R "^($names)\$" --output-on-failure \
        --output-junit junit-root.xml >"$dir/test-root.log" 2>&1 || status=$?
    sudo -n chown -R "$(id -u):$(id -g)" "$dir"
    grep -Ev "$_pio_routine" "$dir/test-root.log" || true
    return "$status"
}

# test_report <build dir>... [--build-only <build dir>...]: one line per build, then one line
# with what failed, what did not build or run and why; non-zero when anything failed.
test_report() {
    python3 scripts/test-report.py "$@"
}

preset_dir() {
    echo "build-$1"
}
