#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""scripts/steps.sh and scripts/run-tests end non-zero after any failure, and run-tests' last
line names it. Stub `ctest`, `cmake`, `sudo` and `id` on PATH play root, a user whose sudo
asks no password and one whose sudo asks; a copy of the scripts runs in a scratch folder, so
no real build folder is touched.

  test_shell_steps.py SCRIPTS_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SCRIPTS = None

# The stubs log each call to $STUB/calls. ctest writes the JUnit file prepared for the preset
# ($STUB/junit-<preset>.xml; junit-rerun.xml for the run through sudo) and ends as CTest does.
STUBS = {
    "ctest": r"""
echo "ctest $* (uid $(id -u))" >>"$STUB/calls"
src=rerun
while [ $# -gt 0 ]; do
    case $1 in
        --preset) [ -n "${STUB_AS_ROOT:-}" ] || src=$2; dir=build-$2; shift ;;
        --test-dir) dir=$2; shift ;;
        --output-junit) junit=$2; shift ;;
    esac
    shift
done
cp "$STUB/junit-$src.xml" "$dir/$junit"
! grep -q '<failure' "$dir/$junit" || exit 8
""",
    "cmake": r"""
echo "cmake $*" >>"$STUB/calls"
while [ "$1" != --preset ]; do shift; done
if [ "$2" = "${STUB_BROKEN:-}" ]; then echo "CMake Error: stub"; exit 1; fi
""",
    "id": r"""[ -n "${STUB_AS_ROOT:-}" ] && echo 0 || echo "$STUB_UID" """,
    "sudo": r"""
echo "sudo $*" >>"$STUB/calls"
[ "$STUB_SUDO" = nopasswd ] || { echo "sudo: a password is required" >&2; exit 1; }
shift
[ "$1" != chown ] || exit 0
STUB_AS_ROOT=1 exec "$@"
""",
    "dpkg-query": 'echo "install ok installed"',
    "xvfb-run": 'while [ "$1" != sh ]; do shift; done; exec "$@"',
}

PASS = '<testcase name="{}" status="run"><system-out>ok</system-out></testcase>'
FAIL = '<testcase name="{}" status="fail"><failure message=""/><system-out/></testcase>'
ROOT = ('<testcase name="{}" status="notrun"><skipped message="SKIP_RETURN_CODE=77"/>'
        "<system-out>SKIP: needs root</system-out></testcase>")


def junit(*cases):
    return "<testsuite>" + "".join(kind.format(name) for kind, name in cases) + "</testsuite>"


class Steps(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.root = tmp.name
        shutil.copytree(SCRIPTS, os.path.join(self.root, "scripts"))
        self.stub = os.path.join(self.root, "stub")
        os.makedirs(os.path.join(self.stub, "bin"))
        for name, body in STUBS.items():
            path = os.path.join(self.stub, "bin", name)
            with open(path, "w", encoding="utf-8") as f:
                f.write("#!/bin/sh\n" + body.lstrip("\n") + "\n")
            os.chmod(path, 0o755)
        self.env = dict(os.environ, STUB=self.stub, STUB_UID="1000", STUB_SUDO="nopasswd",
                        PATH=os.path.join(self.stub, "bin") + os.pathsep + os.environ["PATH"])

    def results(self, preset, *cases):
        with open(os.path.join(self.stub, f"junit-{preset}.xml"), "w", encoding="utf-8") as f:
            f.write(junit(*cases))

    def run_sh(self, argv, **env):
        calls = os.path.join(self.stub, "calls")
        if os.path.exists(calls):
            os.remove(calls)
        run = subprocess.run(argv, cwd=self.root, env=dict(self.env, **env), capture_output=True,
                             text=True, timeout=120)
        with open(calls, encoding="utf-8") if os.path.exists(calls) else open(os.devnull) as f:
            return run.returncode, run.stdout, f.read()

    def preset_run(self, **env):
        os.makedirs(os.path.join(self.root, "build-test"), exist_ok=True)
        return self.run_sh(["sh", "-c", ". scripts/steps.sh && test_preset test"], **env)

    def test_a_failure_outlasts_a_passing_root_rerun(self):
        self.results("test", (PASS, "a"), (FAIL, "Word.Toggle"), (ROOT, "e2e.port"))
        self.results("rerun", (PASS, "e2e.port"))
        code, out, calls = self.preset_run()
        # Through the preset, whose environment the sanitizer builds need.
        self.assertIn("sudo -n ctest --preset test -R ^(e2e\\.port)$", calls)
        self.assertIn("--output-junit junit-root.xml (uid 0)", calls)
        self.assertEqual(code, 8)

    def test_a_failure_in_the_root_rerun_counts(self):
        self.results("test", (PASS, "a"), (ROOT, "e2e.port"))
        self.results("rerun", (FAIL, "e2e.port"))
        self.assertNotEqual(self.preset_run()[0], 0)
        self.results("rerun", (PASS, "e2e.port"))
        self.assertEqual(self.preset_run()[0], 0)

    def test_without_password_less_sudo_or_as_root(self):
        self.results("test", (FAIL, "Word.Toggle"), (ROOT, "e2e.port"))
        code, out, calls = self.preset_run(STUB_SUDO="password")
        self.assertEqual(code, 8)
        self.assertNotIn("sudo -n ctest", calls)
        code, out, calls = self.preset_run(STUB_UID="0")
        self.assertEqual(code, 8)
        self.assertNotIn("sudo", calls)
        self.results("test", (PASS, "a"), (ROOT, "e2e.port"))
        self.assertEqual(self.preset_run(STUB_SUDO="password")[0], 0)

    def run_tests(self, **env):
        for preset in ("test", "asan", "win64"):
            if not os.path.exists(os.path.join(self.stub, f"junit-{preset}.xml")):
                self.results(preset, (PASS, "a"))
        code, out, calls = self.run_sh(["sh", "scripts/run-tests"], STUB_UID="0", **env)
        return code, out.splitlines(), calls

    def test_run_tests_goes_on_after_a_failure_and_names_it_last(self):
        self.results("test", (PASS, "a"), (FAIL, "Word.Toggle"))
        code, lines, calls = self.run_tests(STUB_BROKEN="asan")
        self.assertNotEqual(code, 0)
        # Every later stage ran: the Windows builds and their tests, not those of build-asan.
        for call in ("cmake --build --preset win64", "cmake --build --preset win32",
                     "ctest --preset win64"):
            self.assertIn(call, calls)
        self.assertNotIn("ctest --preset asan", calls)
        self.assertIn("run-tests: build-asan not built", "\n".join(lines))
        self.assertTrue(lines[-1].startswith(
            "run-tests: FAILED: build-test: Word.Toggle; not built: build-asan;"), lines[-1])

    def test_run_tests_passes_only_when_everything_did(self):
        code, lines, calls = self.run_tests()
        self.assertEqual(code, 0, lines)
        self.assertTrue(lines[-1].startswith("run-tests: every test passed: 3 in 3 builds"), lines)
        code, lines, calls = self.run_tests(STUB_BROKEN="win32")
        self.assertNotEqual(code, 0)
        self.assertEqual(lines[-1], "run-tests: FAILED: not built: build-win32; 3 tests passed")


if __name__ == "__main__":
    SCRIPTS = os.path.abspath(sys.argv.pop(1))
    unittest.main()
