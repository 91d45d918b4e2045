#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Under a thread limit (prlimit --nproc, as a user: the limit does not hold for root) the
program refuses to start with "Zu viele Prozesse oder Threads" (EThread) and exit code 1 -
before, it showed its window and then waited forever for a drawing thread that could not be
started (nproc 2 to 4), or blamed memory (nproc 1). A generous limit still starts the panel.
At run time, with the limit lowered to the threads the program has, long enough after the
start that Qt's idle pool threads would have ended: an error box is drawn and closes, and the
panel goes on (it closes with Alt+F4) - before, the box hung while drawing."""
import os
import re
import shutil
import subprocess
import tempfile
import time

import harness as h

REPORT = ("Exception EThread im Modul pio-out bei 00000000.", "Zu viele Prozesse oder Threads.")
# Qt's thread pool lets an idle thread end after 30 s.
POOL_EXPIRY = 30


def free_uid():
    """A user id no process runs as and no account has: the limit then counts ours alone."""
    used = set()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/status") as f:
                used.update(int(line.split()[1]) for line in f if line.startswith("Uid:"))
        except OSError:
            pass
    with open("/etc/passwd") as f:
        used.update(int(line.split(":")[2]) for line in f if line.count(":") >= 3)
    return next(uid for uid in range(47000, 48000) if uid not in used)


def as_user(uid, *argv):
    return ["setpriv", f"--reuid={uid}", f"--regid={uid}", "--clear-groups", *argv]


def user_env(x, home):
    return x.env({"HOME": home, "XDG_RUNTIME_DIR": home})


def refused(binary, x, uid, home, nproc):
    label = f"--nproc={nproc}"
    proc = h.spawn(as_user(uid, "prlimit", f"--nproc={nproc}", binary), env=user_env(x, home),
                   cwd=home, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)
    try:
        _, err = proc.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        shown = h.visible_windows(x.env(), pid=proc.pid)
        raise AssertionError(f"{label}: still running after 30 s ({len(shown)} windows shown)")
    finally:
        h.kill_group(proc)
    text = err.decode(errors="replace")
    print(f"{label}: exit {proc.returncode}: {' | '.join(text.strip().splitlines()[-2:])}")
    h.check(proc.returncode == 1, f"{label}: exit code {proc.returncode}, expected 1: {text!r}")
    h.check(REPORT[0] in text and REPORT[1] in text, f"{label}: stderr lacks {REPORT}: {text!r}")
    h.check("Arbeitsspeicher" not in text, f"{label}: blames memory: {text!r}")


def box_at_run_time(binary, x, uid, home, missing_port):
    with h.Panel(shutil.which("setpriv"), x, namespace=False, env={"HOME": home, "XDG_RUNTIME_DIR": home},
                 args=as_user(uid, binary, "--port", missing_port)[1:]) as panel:
        panel.wait_window()
        # Long enough for Qt's pool to have let its idle threads go, had it kept its default.
        time.sleep(POOL_EXPIRY + 5)
        threads = len(os.listdir(f"/proc/{panel.pid}/task"))
        h.run_tool(as_user(uid, "prlimit", f"--pid={panel.pid}", f"--nproc={threads}"),
                   panel.env)
        print(f"at run time: the limit lowered to the program's {threads} threads")
        panel.double_click(*h.LAYOUT.switch("pout"))  # the port is missing: a box
        boxes = h.wait_until(panel.boxes, h.DEADLINE, 0.05)
        h.check(boxes, f"no box within {h.DEADLINE:.0f} s of the failure")
        box = boxes[0]
        def drawn() -> bool:  # drawn in time, or the painting hangs
            img = h.screenshot(panel.env, window=box.id)
            return sum(1 for xx in range(60, img.width) for yy in range(img.height * 3 // 5)
                       if sum(img.pixel(xx, yy)) < 300) >= 100
        h.check(h.wait_until(drawn, h.DEADLINE, 0.2), "the box shows no text")
        panel.focus(box.id)
        panel.key("Return")
        h.check(h.wait_until(lambda: not panel.boxes(), h.DEADLINE, 0.05), "the box did not close")
        print("at run time: the box was drawn and closed")
        panel.close()
        code = panel.wait_exit(h.DEADLINE)
        h.check(code == 0, f"the panel did not close after the box (exit {code}): "
                           f"{panel.stderr_text()!r}")
        print("at run time: the panel went on and closed with exit code 0")


def suppressions_for_user(folder):
    """A sanitizer build reads its leak suppressions as the user it runs as, from a file in
    the clone, which may lie where only root may enter (/root). Without them it ends the
    program with an error at exit; the user gets a readable copy in `folder`."""
    options = os.environ.get("LSAN_OPTIONS", "")
    found = re.search(r"suppressions=([^:]+)", options)
    if not found or not os.path.isfile(found.group(1)):
        return
    copy = os.path.join(folder, "lsan.supp")
    shutil.copy(found.group(1), copy)
    os.chmod(copy, 0o644)
    os.environ["LSAN_OPTIONS"] = options.replace(found.group(0), f"suppressions={copy}")


def main(args):
    h.require_tools("Xvfb", "xdotool", "xwininfo", "xwd", "setpriv", "prlimit")
    if os.geteuid() != 0:
        h.skip("needs root to run the program as a user of its own")
    uid = free_uid()
    with tempfile.TemporaryDirectory(prefix="pio-e2e-") as home, \
            tempfile.TemporaryDirectory(prefix="pio-e2e-bin-") as bindir, h.Xvfb() as x:
        os.chmod(home, 0o700)
        os.chown(home, uid, uid)
        # A copy the user can reach: the build may lie under a folder only root may enter
        # (a checkout in /root).
        os.chmod(bindir, 0o755)
        binary = os.path.join(bindir, "pio-out")
        shutil.copy(os.path.abspath(args.binary), binary)
        os.chmod(binary, 0o755)
        suppressions_for_user(bindir)
        for nproc in (1, 2, 3, 4):
            refused(binary, x, uid, home, nproc)
        with h.Panel(shutil.which("setpriv"), x, namespace=False, env={"HOME": home},
                     args=as_user(uid, "prlimit", "--nproc=64", binary)[1:]) as panel:
            panel.wait_window()
            print("--nproc=64: the panel started")
        box_at_run_time(binary, x, uid, home, os.path.join(home, "no", "parport0"))


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
