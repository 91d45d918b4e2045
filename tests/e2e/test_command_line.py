#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The command line is read before anything else starts: --help and --version go to standard
output and end with 0, a mistake is one line on standard error and ends with 2. None of them
opens a window, so none needs a display: each runs with DISPLAY unset and with DISPLAY naming
a display nobody serves (a program that tried to connect would fail there with exit 1).
With --wine-run the same checks run on the Windows program under wine, whose help names
LPT1..LPT9 instead."""
import contextlib
import os
import subprocess
import tempfile
import time

import harness as h

HELP_POINTER = " – „pio-out --help“ zeigt die Optionen."


class Runner:
    """Runs the program with arguments and no display; gives (exit code, stdout, stderr)."""

    def __init__(self, args, env: dict, limit: float, label: str):
        self.args = args
        self.env = dict(env)
        self.limit = limit
        self.label = label

    def __call__(self, argv, stdout=subprocess.PIPE):
        cmd = [self.args.binary, *argv]
        if self.args.wine_run:
            cmd = [self.args.wine_run, *cmd]
        t0 = time.monotonic()
        proc = h.spawn(cmd, env=self.env, stdin=subprocess.DEVNULL, stdout=stdout,
                       stderr=subprocess.PIPE)
        try:
            out, err = proc.communicate(timeout=self.limit)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{argv}: still running after {self.limit:.0f} s")
        finally:
            h.kill_group(proc)
        took = time.monotonic() - t0
        # Windows line ends in the Windows program's output.
        out = (out or b"").decode().replace("\r\n", "\n")
        err = err.decode(errors="replace").replace("\r\n", "\n")
        print(f"{self.label}, {argv}: exit {proc.returncode} after {took:.2f} s, "
              f"{len(out)} characters on stdout, stderr {err!r}")
        return proc.returncode, out, err


def check_all(run: Runner, windows: bool, version: str) -> None:
    label = run.label
    # --help: the usage first, the ports this platform takes, nothing on stderr.
    rc, out, err = run(["--help"])
    h.check(rc == 0, f"{label}: --help ended with {rc}: {err!r}")
    h.check(out.startswith("Aufruf: pio-out [OPTION]…\n"), f"{label}: --help printed {out!r}")
    ports = "LPT1 bis LPT9" if windows else "LPT1 bis LPT3"
    h.check(ports in out and "--version" in out, f"{label}: --help lacks {ports!r}: {out!r}")
    h.check(err == "", f"{label}: --help wrote on stderr: {err!r}")

    rc, out, err = run(["--version"])
    h.check(rc == 0, f"{label}: --version ended with {rc}: {err!r}")
    lines = out.splitlines()
    h.check(lines[:2] == [f"pio-out {version}", "Copyright (C) 2026 The pio-out authors"],
            f"{label}: --version printed {out!r}")
    h.check(err == "", f"{label}: --version wrote on stderr: {err!r}")

    # Help wins over a mistake on the same line.
    rc, out, _ = run(["--port=LPT0", "--help"])
    h.check(rc == 0 and out.startswith("Aufruf:"), f"{label}: --help after a bad port: {rc}")

    bad_port = "LPT10" if windows else "LPT7"
    accepted = "LPT1 bis LPT9" if windows else \
        "LPT1 bis LPT3 oder ein Gerätepfad wie /dev/parport1"
    for argv, line in (
            (["--foo"], "pio-out: unbekannte Option „--foo“" + HELP_POINTER),
            (["--port", bad_port],
             f"pio-out: unbekannter Port „{bad_port}“ ({accepted})" + HELP_POINTER),
            (["LPT2"], "pio-out: überzähliges Argument „LPT2“" + HELP_POINTER)):
        rc, out, err = run(argv)
        h.check(rc == 2, f"{label}: {argv} ended with {rc}, expected 2: {err!r}")
        h.check(out == "", f"{label}: {argv} wrote on stdout: {out!r}")
        h.check(err == line + "\n", f"{label}: {argv} wrote {err!r}, expected {line!r}")


def main(args):
    version = args.version_expected
    env = h.clean_env()
    with contextlib.ExitStack() as stack:
        if args.wine_run:
            import winepanel  # next to harness.py
            prefix = stack.enter_context(winepanel.WinePrefix(args, None))
            env.update(prefix.env())
        limit = 30.0 if args.wine_run else h.DEADLINE
        check_all(Runner(args, env, limit, "DISPLAY unset"), bool(args.wine_run), version)
        env["DISPLAY"] = h.dead_display()
        run = Runner(args, env, limit, f"DISPLAY={env['DISPLAY']}")
        check_all(run, bool(args.wine_run), version)
        if not args.wine_run:
            # Help that cannot be written is an error a script can see.
            with open("/dev/full", "wb") as full:
                rc, _, err = run(["--help"], stdout=full)
            h.check(rc == 1, f"--help to a full disk ended with {rc}, expected 1")
            h.check(err == "pio-out: Schreibfehler\n", f"--help to a full disk: {err!r}")
            check_not_a_port(run)


def check_not_a_port(run: Runner) -> None:
    """A port path that can never be a port is a mistake of the line: the file is left as it
    was, and no window opens (this display would fail any attempt with exit 1)."""
    with tempfile.TemporaryDirectory(prefix="pio-e2e-") as tmp:
        notes = os.path.join(tmp, "notes.txt")
        with open(notes, "wb") as f:
            f.write(b"IMPORTANT USER DATA")
        for path, what in ((notes, "eine gewöhnliche Datei"), (tmp, "ein Verzeichnis")):
            for argv in (["--port", path], [f"--port={path}"]):
                rc, out, err = run(argv)
                line = f"pio-out: „{path}“ ist kein Port, sondern {what}" + HELP_POINTER
                h.check(rc == 2, f"{argv} ended with {rc}, expected 2: {err!r}")
                h.check(out == "" and err == line + "\n", f"{argv} wrote {err!r}, expected {line!r}")
        with open(notes, "rb") as f:
            h.check(f.read() == b"IMPORTANT USER DATA", "the file named as the port was changed")


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__, extra=lambda p: p.add_argument(
        "--version-expected", required=True, help="the version --version must tell")))
