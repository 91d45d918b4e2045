#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""cmake/wine-run.sh.in, the wrapper the Windows tests run under: a GoogleTest program that
wine ends before it wrote anything is started once more and written down; a program that
wrote something, failed or not, keeps its outcome; anything else is run as it is. A stub wine
plays each case, so this needs no wine.

  test_wine_run.py SOURCE_DIR
"""
import os
import stat
import subprocess
import sys
import tempfile
import unittest

SOURCE = None

# The stub: wineboot.exe does nothing; a program run answers with the next line of $PLAY
# ("silent <code>" or "talk <code>"), and every run is counted in $CALLS.
WINE = r"""#!/bin/sh
[ "$1" = wineboot.exe ] && exit 0
echo "$*" >>"$CALLS"
n=$(wc -l <"$CALLS")
line=$(sed -n "${n}p" "$PLAY")
set -- $line
[ "$1" = talk ] && { echo "[==========] out"; echo "err" >&2; }
exit "$2"
"""


class WineRun(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.dir = tmp.name
        wine = self.script("wine", WINE)
        prefix = os.path.join(self.dir, "prefix")
        os.makedirs(prefix)
        open(os.path.join(prefix, "system.reg"), "w").close()   # a prefix made before
        with open(os.path.join(SOURCE, "cmake", "wine-run.sh.in")) as f:
            text = f.read()
        for key, value in {"PIO_WINEPREFIX": prefix, "PIO_WINE": wine,
                           "PIO_WINESERVER": "/bin/false", "PROJECT_BINARY_DIR": self.dir}.items():
            text = text.replace(f"@{key}@", value)
        self.assertNotIn("@", text.replace("$@", ""))
        self.wrapper = self.script("wine-run", text)
        self.log = os.path.join(self.dir, "wine-silent.log")

    def script(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
        return path

    def run_wrapper(self, play, *args):
        with open(os.path.join(self.dir, "play"), "w") as f:
            f.write("\n".join(play) + "\n")
        calls = os.path.join(self.dir, "calls")
        if os.path.exists(calls):
            os.remove(calls)
        env = dict(os.environ, PLAY=os.path.join(self.dir, "play"), CALLS=calls)
        run = subprocess.run([self.wrapper, *args], env=env, capture_output=True, text=True,
                             timeout=60)
        with open(calls) as f:
            runs = len(f.readlines())
        logged = []
        if os.path.exists(self.log):
            with open(self.log) as f:
                logged = f.readlines()
            os.remove(self.log)
        return run, runs, logged

    def test_a_silent_end_is_run_again_once_and_written_down(self):
        run, runs, logged = self.run_wrapper(["silent 1", "talk 0"], "t.exe", "--gtest_filter=A.B")
        self.assertEqual((run.returncode, runs), (0, 2))
        self.assertEqual((run.stdout, run.stderr), ("[==========] out\n", "err\n"))
        self.assertEqual(len(logged), 1)
        self.assertIn("exit 1 before the program wrote anything: t.exe --gtest_filter=A.B",
                      logged[0])
        # Silent twice: the second outcome stands.
        run, runs, logged = self.run_wrapper(["silent 3", "silent 5"], "t.exe", "--gtest_filter=A")
        self.assertEqual((run.returncode, runs, len(logged)), (5, 2, 1))

    def test_what_wrote_anything_or_passed_keeps_its_outcome(self):
        for play, code in ((["talk 1", "talk 0"], 1), (["silent 0", "talk 1"], 0)):
            run, runs, logged = self.run_wrapper(play, "t.exe", "--gtest_filter=A.B")
            self.assertEqual((run.returncode, runs, logged), (code, 1, []), play)
        # Not a test program (the panel of the end-to-end tests): run once, as it is.
        run, runs, logged = self.run_wrapper(["silent 1", "talk 0"], "pio-out.exe", "--port", "x")
        self.assertEqual((run.returncode, runs, logged), (1, 1, []))


if __name__ == "__main__":
    SOURCE = os.path.abspath(sys.argv.pop(1))
    unittest.main()
