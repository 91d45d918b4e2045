#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A display whose socket takes the connection and never answers: the program gives up after
a bounded wait with "Keine Verbindung zur Anzeige" (the report of a missing display) and exit
code 1 - before, it waited for good with nothing on stderr."""
import contextlib
import os
import socket
import subprocess
import threading
import time

import harness as h

LINE1 = "Exception EOSError im Modul pio-out bei 00000000."
LINE2 = "Keine Verbindung zur Anzeige."


@contextlib.contextmanager
def silent_display():
    """":N" served by a socket that accepts and never says a word. The lock file keeps an
    X server started meanwhile off the number."""
    display = h.dead_display()
    n = display[1:]
    lock, path = f"/tmp/.X{n}-lock", f"/tmp/.X11-unix/X{n}"
    os.makedirs("/tmp/.X11-unix", mode=0o1777, exist_ok=True)
    fd = os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444)
    os.write(fd, f"{os.getpid():10d}\n".encode())
    os.close(fd)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    held = []
    try:
        server.bind(path)
        server.listen(8)

        def take():
            with contextlib.suppress(OSError):
                while True:
                    held.append(server.accept()[0])

        threading.Thread(target=take, daemon=True).start()
        yield display
    finally:
        server.close()
        for conn in held:
            conn.close()
        for p in (path, lock):
            with contextlib.suppress(OSError):
                os.unlink(p)


def main(args):
    with silent_display() as display:
        env = h.clean_env()
        env["DISPLAY"] = display
        t0 = time.monotonic()
        proc = h.spawn([args.binary], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            _, err = proc.communicate(timeout=45)
        except subprocess.TimeoutExpired:
            raise AssertionError("still running after 45 s")
        finally:
            h.kill_group(proc)
        text = err.decode(errors="replace")
        print(f"DISPLAY={display} (silent): exit {proc.returncode} after "
              f"{time.monotonic() - t0:.1f} s: {text!r}")
        h.check(proc.returncode == 1, f"exit code {proc.returncode}, expected 1: {text!r}")
        h.check(LINE1 in text and LINE2 in text, f"stderr lacks the report: {text!r}")
        h.check(text.find(LINE1) < text.find(LINE2), f"lines out of order: {text!r}")


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
