#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What the test runs of scripts/run-tests came to, from the JUnit files CTest wrote.

  test-report.py BUILD_DIR...       one line per build, then one line: either that every
                                    test passed, or which tests did not run and why
  test-report.py --needs-root FILE  the tests in FILE that skipped themselves for want of
                                    root, as a CTest regular expression ("a|b"), or nothing

A build folder holds junit.xml and, where tests were run again through sudo, junit-root.xml;
a test's outcome in the second replaces the first.
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


def outcomes(path):
    """{name: (status, why)}; status is passed, failed, skipped or disabled."""
    result = {}
    for case in ET.parse(path).getroot().iter("testcase"):
        out = case.findtext("system-out") or ""
        status = case.get("status")
        if status == "disabled":
            result[case.get("name")] = ("disabled", "")
        elif case.find("failure") is not None or status == "fail":
            result[case.get("name")] = ("failed", "")
        elif status == "notrun" or case.find("skipped") is not None or "[  SKIPPED ]" in out:
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


def needs_root(path):
    names = [n for n, (s, why) in outcomes(path).items() if s == "skipped" and _ROOT.search(why)]
    return "|".join(re.escape(n) for n in sorted(names))


def report(build_dirs):
    passed_total = 0
    not_run = {}   # why -> [(build, name)]
    disabled = set()
    for build in build_dirs:
        results = build_outcomes(build)
        if not results:
            print(f"run-tests: {build}: no test results")
            continue
        counts = {}
        for name, (status, why) in sorted(results.items()):
            counts[status] = counts.get(status, 0) + 1
            if status == "skipped":
                not_run.setdefault(why or "skipped itself", []).append((build, name))
            elif status == "disabled":
                disabled.add(name)
        passed_total += counts.get("passed", 0)
        parts = [f"{counts.get('passed', 0)} passed"]
        for status in ("failed", "skipped"):
            if counts.get(status):
                parts.append(f"{counts[status]} {status}")
        print(f"run-tests: {build}: " + ", ".join(parts))
    extra = ""
    if disabled:
        extra = f" (not counted: {', '.join(sorted(disabled))}, off unless configured on)"
    if not not_run:
        builds = f"{len(build_dirs)} build" + ("s" if len(build_dirs) != 1 else "")
        print(f"run-tests: every test passed: {passed_total} in {builds}{extra}")
        return
    groups = []
    for why, tests in sorted(not_run.items()):
        builds = sorted({build for build, _ in tests})
        names = ", ".join(sorted({name for _, name in tests}))
        groups.append(f"{names} in {' and '.join(builds)} ({why})")
    count = sum(len(t) for t in not_run.values())
    hint = ""
    if any(_ROOT.search(why) for why in not_run):
        hint = "; to run what needs root, start ./scripts/run-tests as root, or as a user " \
               "whose sudo asks no password"
    print(f"run-tests: {passed_total} tests passed, {count} did not run: " + "; ".join(groups)
          + hint + extra)


def main(argv):
    if len(argv) == 3 and argv[1] == "--needs-root":
        print(needs_root(argv[2]))
    elif len(argv) >= 2 and not argv[1].startswith("-"):
        report(argv[1:])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
