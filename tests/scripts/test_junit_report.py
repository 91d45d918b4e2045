#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""scripts/test-report.py tells the truth about a test run: JUnit files as CTest writes them
(a failure, a skip, both, none, a build that never built, a fixture that failed) give the
per-build lines, the closing line and the exit code that run-tests ends with.

  test_junit_report.py SCRIPTS_DIR
"""
import os
import subprocess
import sys
import tempfile
import unittest
from xml.sax.saxutils import escape

SCRIPTS = None

# How CTest 3.25 writes each kind of outcome into --output-junit.
CASES = {
    "pass": ('status="run"', "", "ok\n"),
    "fail": ('status="fail"', '<failure message=""/>', "Expected: true\n"),
    "skip": ('status="notrun"', '<skipped message="SKIP_RETURN_CODE=77"/>',
             "SKIP: needs root (private mount namespace)\n"),
    "gtest-skip": ('status="run"', "", "x.cpp:9: Skipped\nneeds root to make a device node\n\n"
                   "[  SKIPPED ] Ppdev.Node (0 ms)\n"),
    "fixture": ('status="notrun"', '<skipped message="Fixture dependency failed"/>',
                "Failed test dependencies: kernel.boot"),
    "no-exe": ('status="notrun"', '<skipped message="Unable to find executable"/>',
               "Unable to find executable: /b/tests/OutputWordTest"),
    "disabled": ('status="disabled"', "", "Disabled"),
}


def junit(**tests):
    cases = []
    for name, kind in tests.items():
        status, inner, out = CASES[kind]
        cases.append(f'<testcase name="{name}" classname="{name}" time="0" {status}>{inner}'
                     f"<system-out>{escape(out)}</system-out></testcase>")
    return '<?xml version="1.0" encoding="UTF-8"?>\n<testsuite>' + "".join(cases) + "</testsuite>"


class Report(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)

    def build(self, name, built=0, ctest=None, root=None, **tests):
        """A build folder as run-tests leaves it; no tests given: no junit.xml."""
        path = os.path.join(self.tmp.name, name)
        os.makedirs(path)
        files = {"build.status": built, "test.status": ctest,
                 "junit.xml": junit(**tests) if tests else None,
                 "junit-root.xml": junit(**root) if root else None}
        for file, text in files.items():
            if text is not None:
                with open(os.path.join(path, file), "w", encoding="utf-8") as f:
                    f.write(str(text))
        return name

    def report(self, *args):
        run = subprocess.run([sys.executable, "-B", os.path.join(SCRIPTS, "test-report.py"), *args],
                             cwd=self.tmp.name, capture_output=True, text=True, timeout=60)
        self.assertEqual(run.stderr, "")
        lines = run.stdout.splitlines()
        return run.returncode, lines[:-1], lines[-1]

    def test_every_test_passed_only_when_nothing_else_happened(self):
        code, builds, last = self.report(self.build("build-test", a="pass", b="gtest-skip"),
                                         self.build("build-asan", a="pass", b="pass", d="disabled"))
        self.assertNotIn("every test passed", last)
        self.assertEqual(code, 0)   # a test that skips itself is no failure
        code, builds, last = self.report(self.build("build-win64", a="pass", d="disabled"),
                                         "--build-only", self.build("build-win32"))
        self.assertEqual(code, 0)
        self.assertTrue(last.startswith("run-tests: every test passed: 1 in 1 build"), last)

    def test_a_failure_is_named_with_its_build_in_the_last_line(self):
        code, builds, last = self.report(self.build("build-test", ctest=8, a="pass",
                                                    Word_Toggle="fail"))
        self.assertNotEqual(code, 0)
        self.assertEqual(builds, ["run-tests: build-test: 1 passed, 1 failed"])
        self.assertTrue(last.startswith("run-tests: FAILED: build-test: Word_Toggle;"), last)
        self.assertIn("1 tests passed", last)

    def test_a_skip_says_why(self):
        code, builds, last = self.report(self.build("build-test", a="pass", e2e_port="skip"))
        self.assertEqual(code, 0)
        self.assertNotIn("FAILED", last)
        self.assertIn("1 did not run: e2e_port in build-test (skipped itself: needs root "
                      "(private mount namespace))", last)
        self.assertIn("user whose sudo asks no password", last)

    def test_failures_and_skips_in_several_builds(self):
        # What a fresh machine showed: a failure, and a closing line about skips only.
        code, builds, last = self.report(
            self.build("build-test", ctest=8, a="pass", kernel_boot="fail", e2e_port="skip"),
            self.build("build-asan", ctest=8, a="pass", e2e_clicks="fail", Ppdev_Node="gtest-skip"))
        self.assertNotEqual(code, 0)
        self.assertEqual(builds[1], "run-tests: build-asan: 1 passed, 1 failed, 1 skipped")
        self.assertTrue(last.startswith(
            "run-tests: FAILED: build-test: kernel_boot, build-asan: e2e_clicks;"), last)
        self.assertIn("Ppdev_Node in build-asan (skipped itself: needs root to make a device node)",
                      last)
        self.assertIn("e2e_port in build-test (skipped itself: needs root", last)

    def test_a_build_that_did_not_build_is_named(self):
        code, builds, last = self.report(self.build("build-test", a="pass"),
                                         self.build("build-asan", built=2),
                                         "--build-only", self.build("build-win32", built=2))
        self.assertNotEqual(code, 0)
        self.assertIn("run-tests: build-asan: not built (see build-asan/build.log)", builds)
        self.assertIn("run-tests: build-win32: not built (see build-win32/build.log)", builds)
        self.assertTrue(last.startswith("run-tests: FAILED: not built: build-asan, build-win32;"),
                        last)
        # Built, yet its tests never ran (CTest wrote no results): not a pass either.
        code, builds, last = self.report(self.build("build-win64"))
        self.assertNotEqual(code, 0)
        self.assertIn("build-win64 built, its tests did not run (see build-win64/test.log)", last)

    def test_what_never_ran_is_not_called_a_skip(self):
        code, builds, last = self.report(self.build(
            "build-test", ctest=8, kernel_boot="fail", kernel_clicks="fixture",
            kernel_claims="fixture", OutputWordTest="no-exe"))
        self.assertNotEqual(code, 0)
        self.assertNotIn("skipped itself", last)
        self.assertIn("FAILED: build-test: kernel_boot;", last)
        self.assertIn("kernel_claims, kernel_clicks in build-test (kernel.boot failed)", last)
        self.assertIn("OutputWordTest in build-test (not built)", last)

    def test_ctest_failing_without_a_failed_test_is_reported(self):
        code, builds, last = self.report(self.build("build-test", ctest=8, a="pass"))
        self.assertNotEqual(code, 0)
        self.assertIn("FAILED: ctest ended with exit 8 in build-test (see build-test/test.log)",
                      last)

    def test_test_programs_wine_started_twice_are_named(self):
        name = self.build("build-win64", a="pass", b="pass")
        with open(os.path.join(self.tmp.name, name, "wine-silent.log"), "w") as log:
            log.write("2026-12-09T03:00:00Z wine ended with exit 1 before the program wrote "
                      "anything: a.exe --gtest_filter=a\n")
        code, builds, last = self.report(name)
        self.assertEqual(code, 0)   # the second run passed: no failure, but said
        self.assertIn("wine started 1 test program(s) twice", builds[0])
        self.assertIn("see build-win64/wine-silent.log", last)
        code, builds, last = self.report(self.build("build-test", a="pass"))
        self.assertNotIn("wine", " ".join(builds + [last]))

    def test_the_root_rerun_replaces_the_skip(self):
        name = self.build("build-test", a="pass", e2e_port="skip", Ppdev_Node="gtest-skip",
                          root={"e2e_port": "fail", "Ppdev_Node": "pass"})
        run = subprocess.run([sys.executable, "-B", os.path.join(SCRIPTS, "test-report.py"),
                              "--needs-root", os.path.join(name, "junit.xml")],
                             cwd=self.tmp.name, capture_output=True, text=True, timeout=60)
        self.assertEqual(run.stdout.strip(), "Ppdev_Node|e2e_port")
        code, builds, last = self.report(name)
        self.assertNotEqual(code, 0)
        self.assertEqual(builds, ["run-tests: build-test: 2 passed, 1 failed"])
        self.assertTrue(last.startswith("run-tests: FAILED: build-test: e2e_port;"), last)


if __name__ == "__main__":
    SCRIPTS = os.path.abspath(sys.argv.pop(1))
    unittest.main()
