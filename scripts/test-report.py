#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What the builds and test runs of scripts/run-tests came to, from the files they left.

  test-report.py BUILD_DIR... [--build-only BUILD_DIR...]
                                    one line per build, then one line: either that every
                                    test passed, or which tests failed (with their build
                                    first), what did not build and which tests did not run
                                    and why; exits with 1 when anything failed or did not build
  test-report.py --needs-root FILE  the tests in FILE that skipped themselves for want of
                                    root, as a CTest regular expression ("a|b"), or nothing

A build folder holds build.status (the exit code of configuring and building it) and, once its
tests ran, junit.xml, test.status (the exit code of running them) and, where tests were run
again through sudo, junit-root.xml; a test's outcome in the second replaces the first. The
builds after --build-only have no tests: only whether they built counts. A Windows build's
wine-silent.log lists the test programs that wine ended before they wrote anything and that
were therefore started twice (cmake/wine-run.sh.in); the report names it.
"""
import os
import re
import sys
import xml.etree.ElementTree as ET

# A test that skips itself says why: the e2e scripts print "SKIP: <why>", GoogleTest prints
# "<file>:<line>: Skipped" and then the message.
_E2E_SKIP = re.compile(r"^SKIP: (.*)$", re.M)
_GTEST_SKIP = re.compile(r": Skipped\n(.*)$", re.M)
_ROOT = re.compile(r"\broot\b")
# A test CTest never started because a fixture's setup test failed (the kernel rig's boot).
_FIXTURE = re.compile(r"^Failed test dependencies: (.*)$", re.M)


def outcomes(path):
    """{name: (status, why)}; status is passed, failed, skipped (the test skipped itself; why
    is its reason), notrun (CTest did not start it; why says what kept it) or disabled."""
    result = {}
    for case in ET.parse(path).getroot().iter("testcase"):
        out = case.findtext("system-out") or ""
        status = case.get("status")
        skipped = case.find("skipped")
        message = skipped.get("message", "") if skipped is not None else ""
        if status == "disabled":
            result[case.get("name")] = ("disabled", "")
        elif case.find("failure") is not None or status == "fail":
            result[case.get("name")] = ("failed", "")
        elif status == "notrun" and not message.startswith("SKIP_"):
            # Not a skip (SKIP_RETURN_CODE, SKIP_REGULAR_EXPRESSION): CTest kept it from running.
            fixture = _FIXTURE.search(out)
            if fixture:
                why = f"{fixture.group(1).strip()} failed"
            elif message == "Unable to find executable":
                why = "not built"
            else:
                why = message or "not started"
            result[case.get("name")] = ("notrun", why)
        elif status == "notrun" or skipped is not None or "[  SKIPPED ]" in out:
            found = _E2E_SKIP.search(out) or _GTEST_SKIP.search(out)
            result[case.get("name")] = ("skipped", found.group(1).strip() if found else "")
        else:
            result[case.get("name")] = ("passed", "")
    return result


def build_outcomes(build_dir):
    merged = {}
    for name in ("junit.xml", "junit-root.xml"):
        path = os.path.join(build_dir, name)
        if os.path.exists(path):
            merged.update(outcomes(path))
    return merged


def exit_code(build_dir, name):
    """The exit code a step wrote to build_dir/name, None when it wrote none."""
    try:
        with open(os.path.join(build_dir, name), encoding="utf-8") as f:
            return int(f.read())
    except (OSError, ValueError):
        return None


def needs_root(path):
    names = [n for n, (s, why) in outcomes(path).items() if s == "skipped" and _ROOT.search(why)]
    return "|".join(re.escape(n) for n in sorted(names))


def wine_restarts(build_dir):
    """How many test programs the build's wine wrapper started a second time."""
    try:
        with open(os.path.join(build_dir, "wine-silent.log")) as log:
            return sum(1 for line in log if line.strip())
    except FileNotFoundError:
        return 0


def report(test_builds, build_only):
    passed_total = 0
    failed = {}      # build -> [name]
    not_built = []
    problems = []    # builds whose tests never ran, or whose CTest failed with no test
    not_run = {}     # why -> [(build, name)]
    disabled = set()
    restarts = []    # logs of test programs wine had to start twice
    for build in test_builds + build_only:
        results = {} if build in build_only else build_outcomes(build)
        if not results:
            # No results: a failed build leaves none, as does a test run that never started.
            built = exit_code(build, "build.status") == 0
            if not built:
                print(f"run-tests: {build}: not built (see {build}/build.log)")
                not_built.append(build)
            elif build in build_only:
                print(f"run-tests: {build}: built (no tests)")
            else:
                print(f"run-tests: {build}: built, its tests did not run (see {build}/test.log)")
                problems.append(f"{build} built, its tests did not run (see {build}/test.log)")
            continue
        counts = {}
        for name, (status, why) in sorted(results.items()):
            counts[status] = counts.get(status, 0) + 1
            if status == "failed":
                failed.setdefault(build, []).append(name)
            elif status == "skipped":
                why = f"skipped itself: {why}" if why else "skipped itself, saying not why"
                not_run.setdefault(why, []).append((build, name))
            elif status == "notrun":
                not_run.setdefault(why, []).append((build, name))
            elif status == "disabled":
                disabled.add(name)
        passed_total += counts.get("passed", 0)
        parts = [f"{counts.get('passed', 0)} passed"]
        for status, label in (("failed", "failed"), ("skipped", "skipped"),
                              ("notrun", "did not run")):
            if counts.get(status):
                parts.append(f"{counts[status]} {label}")
        restarted = wine_restarts(build)
        if restarted:
            restarts.append(f"{build}/wine-silent.log")
            parts.append(f"wine started {restarted} test program(s) twice: the first run ended "
                         f"before the program wrote anything (see {build}/wine-silent.log)")
        print(f"run-tests: {build}: " + ", ".join(parts))
        # CTest failed, yet no test did: say so rather than let the run pass for a success.
        code = exit_code(build, "test.status")
        if code and not counts.get("failed") and not counts.get("notrun"):
            problems.append(f"ctest ended with exit {code} in {build} (see {build}/test.log)")
    extra = ""
    if disabled:
        extra = f" (not counted: {', '.join(sorted(disabled))}, off unless configured on)"
    if restarts:
        extra += f"; wine started some test programs twice (see {', '.join(restarts)})"
    # A test that skipped itself is no failure; one that CTest kept from running is.
    failing = bool(failed or not_built or problems) or \
        any(not why.startswith("skipped itself") for why in not_run)
    if not failing and not not_run:
        builds = f"{len(test_builds)} build" + ("s" if len(test_builds) != 1 else "")
        print(f"run-tests: every test passed: {passed_total} in {builds}{extra}")
        return 0
    groups = []
    for why, tests in sorted(not_run.items()):
        builds = sorted({build for build, _ in tests})
        names = ", ".join(sorted({name for _, name in tests}))
        groups.append(f"{names} in {' and '.join(builds)} ({why})")
    summary = f"{passed_total} tests passed"
    if not_run:
        summary += f", {sum(len(t) for t in not_run.values())} did not run: " + "; ".join(groups)
    if any(_ROOT.search(why) for why in not_run if why.startswith("skipped itself")):
        summary += "; to run what needs root, start ./scripts/run-tests as root, or as a user " \
                   "whose sudo asks no password"
    summary += extra
    if not failing:
        print(f"run-tests: {summary}")
        return 0
    # The last line is what a reader of the run sees: each failed test with its build first,
    # then what did not build or run.
    head = [", ".join(f"{build}: {', '.join(names)}" for build, names in failed.items())] \
        if failed else []
    if not_built:
        head.append("not built: " + ", ".join(not_built))
    print("run-tests: FAILED: " + "; ".join(head + problems + [summary]))
    return 1


def main(argv):
    if len(argv) == 3 and argv[1] == "--needs-root":
        print(needs_root(argv[2]))
    elif len(argv) >= 2 and not argv[1].startswith("-"):
        builds = argv[1:] + ["--build-only"]
        split = builds.index("--build-only")
        return report(builds[:split], builds[split + 1:-1])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
