# SPDX-License-Identifier: MIT
"""Scenarios of the kernel rig about what the port's path stands for: another program's lock
on the node, a second node of the same port, and a block device named as the port."""
from __future__ import annotations

import fcntl
import os
import stat
import subprocess
import time

import harness as h
import guest_lib as g
from context import MESSAGES, Context

# A second node of the port, made with mknod beside the driver's.
TWIN = "/dev/pio-twin0"
RAM_DISK = "/dev/ram0"


def flocked(ctx: Context) -> None:
    """Another program holds a flock on /dev/parport0 (only the panels' own lock files speak
    of another panel): one box "Dateizugriff verweigert.", nothing on the lines; once it lets
    go, the lines follow the panel by themselves."""
    h.check(ctx.lines.value() != 80, "the lines hold 80 already")
    fd = os.open(g.NODE, os.O_RDONLY)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        t0 = time.monotonic()
        panel = ctx.panel(channels=(3, 5))
        box = g.one_box(panel, "node locked")
        name = ctx.identify(panel, box, "flocked")
        ctx.figures["flocked_message"] = MESSAGES.get(name, name)
        ctx.unchanged_since(t0, "node locked by another program")
        t_unlock = time.monotonic()
    finally:
        os.close(fd)
    h.check(name == "denied", f"node locked: the box reads as '{name}', expected 'denied'")
    t = ctx.lines.wait_value(80, after=t_unlock)
    h.check(t is not None, f"the lock let go: the lines hold {ctx.lines.value()}, not 80")
    ctx.log(f"the lock let go: the lines took 80 after {1000 * (t - t_unlock):.0f} ms")
    h.check(len(g.box_ids(panel)) == 1, "another box opened")


def twin_node(ctx: Context) -> None:
    """A second node of the port (the same major and minor) is the same port: a panel on it
    while another drives /dev/parport0 shows "Der Port wird von einem anderen Panel benutzt."
    and none of its bytes reach the lines; it takes over once the first one ends."""
    os.mknod(TWIN, 0o660 | stat.S_IFCHR, os.stat(g.NODE).st_rdev)
    try:
        g.sh("chown", "root:lp", TWIN)
        h.check(ctx.lines.value() != 40, "the lines hold 40 already")
        t0 = time.monotonic()
        first = ctx.panel(channels=(2, 4))
        h.check(ctx.lines.wait_value(40, after=t0) is not None, "the lines did not take 40")
        t1 = time.monotonic()
        second = ctx.panel(channels=(5,), args=["--port", TWIN])
        box = g.one_box(second, "second node")
        name = ctx.identify(second, box, "twin_node")
        h.check(name == "panel", f"second node: the box reads as '{name}', expected 'panel'")
        ctx.unchanged_since(t1, "a panel on the second node")
        t_end = time.monotonic()
        ctx.end(first)
        t = ctx.lines.wait_value(64, after=t_end)
        h.check(t is not None, "the panel on the second node did not take over")
        ctx.log(f"the panel on {TWIN} took over {1000 * (t - t_end):.0f} ms after the first "
                f"was ended")
    finally:
        os.unlink(TWIN)


def block_device(ctx: Context) -> None:
    """A block device (a RAM disk) named as the port is refused at the start: exit code 2, one
    line on stderr, no window; not a byte of the disk changes."""
    g.sh("modprobe", "brd", "rd_nr=1", "rd_size=1024")
    h.check(h.wait_until(lambda: os.path.exists(RAM_DISK), g.DEADLINE), f"no {RAM_DISK}")
    data = os.urandom(4096)
    with open(RAM_DISK, "r+b", buffering=0) as disk:
        disk.write(data)
        os.fsync(disk.fileno())
    t0 = time.monotonic()
    proc = h.spawn([ctx.binary, "--port", RAM_DISK], env=ctx.xvfb.env(),
                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        out, err = proc.communicate(timeout=g.DEADLINE)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"--port {RAM_DISK}: still running after {g.DEADLINE:.0f} s")
    finally:
        h.kill_group(proc)
    text = err.decode(errors="replace")
    ctx.log(f"--port {RAM_DISK}: exit {proc.returncode} after {time.monotonic() - t0:.1f} s: "
            f"{text.strip()}")
    line = (f"pio-out: „{RAM_DISK}“ ist kein Port, sondern ein Blockgerät – „pio-out --help“ "
            f"zeigt die Optionen.\n")
    h.check(proc.returncode == 2, f"--port {RAM_DISK}: exit code {proc.returncode}, expected 2")
    h.check(text == line and not out, f"--port {RAM_DISK}: stderr {text!r}, stdout {out!r}")
    with open(RAM_DISK, "rb", buffering=0) as disk:
        h.check(disk.read(len(data)) == data, f"{RAM_DISK} changed")
    ctx.unchanged_since(t0, f"--port {RAM_DISK}")
    g.rmmod("brd")
