# SPDX-License-Identifier: MIT
"""Helpers of the guest side of the kernel rig: the data-line log, the kernel modules, the
device node, guest users, ppdev requests from Python and the identification of error boxes.

Runs inside the virtual machine as root; the e2e harness (tests/e2e/harness.py) starts Xvfb,
the panels and clicks."""
from __future__ import annotations

import os
import stat
import subprocess
import time
from typing import List, Optional, Tuple

import harness as h

NODE = "/dev/parport0"
PP_MAJOR = 99

# Every wait for something the machine does (a window, a box, a byte on the lines, a node, a
# module) ends when it happens; this deadline is only for a hang. Under emulation on a busy
# host a panel took 12 s to show its window and a box 13 s to be read, so waits of a few
# seconds failed there although nothing was wrong.
DEADLINE = 60.0


def sh(*argv: str, check: bool = True) -> subprocess.CompletedProcess:
    return subprocess.run(list(argv), capture_output=True, text=True, check=check,
                          timeout=2 * DEADLINE)


# ---------------------------------------------------------------------------------------------
# Data lines


class Lines:
    """The sampler's log of the data register: [(time.monotonic(), byte)] per change."""

    def __init__(self, path: str):
        self.path = path

    def events(self) -> List[Tuple[float, int]]:
        out = []
        with open(self.path) as f:
            for line in f:
                parts = line.split()
                if len(parts) == 2:
                    out.append((float(parts[0]), int(parts[1])))
        return out

    def value(self) -> int:
        ev = self.events()
        return ev[-1][1] if ev else -1

    def held(self, t0: float, t1: float) -> List[int]:
        """The bytes on the lines from t0 to t1: the one held at t0, then every change."""
        ev = self.events()
        before = [b for t, b in ev if t < t0]
        return before[-1:] + [b for t, b in ev if t0 <= t < t1]

    def changes(self, t0: float, t1: float) -> List[int]:
        """The bytes the lines changed to from t0 to t1."""
        return [b for t, b in self.events() if t0 <= t < t1]

    def since(self, t: float) -> List[Tuple[float, int]]:
        return [e for e in self.events() if e[0] >= t]

    def wait_value(self, value: int, timeout: float = DEADLINE, after: Optional[float] = None
                   ) -> Optional[float]:
        """Time the lines took `value` (at or after `after`), or None. A value already held
        at `after` counts from `after`."""
        def find():
            ev = self.events()
            if after is not None:
                before = [e for e in ev if e[0] < after]
                if before and before[-1][1] == value and \
                        not [e for e in ev if e[0] >= after and e[1] != value]:
                    return after
                ev = [e for e in ev if e[0] >= after]
            for t, b in ev:
                if b == value:
                    return t
            return None
        return h.wait_until(find, timeout, 0.02)


# ---------------------------------------------------------------------------------------------
# Modules and the node


def modprobe(*names: str) -> None:
    for name in names:
        sh("modprobe", name)


def rmmod(name: str, timeout: float = DEADLINE) -> float:
    """Removes a module, retrying while it is busy (a panel's cycle registers a ppdev device
    for a moment every 10 ms). Returns the time it was gone."""
    deadline = time.monotonic() + timeout
    while True:
        r = sh("rmmod", name, check=False)
        if r.returncode == 0:
            return time.monotonic()
        if time.monotonic() > deadline:
            raise AssertionError(f"rmmod {name}: {r.stderr.strip()}")
        time.sleep(0.002)


def no_port_interrupt() -> None:
    """parport_pc drives the port without its interrupt, whoever loads it from now on (the
    port is named: a port found through ACPI would bring its interrupt along regardless).

    With the interrupt, the machine stopped for good in 4 of 10 releases of the port by
    another program while a panel waited in its claim (kernel.claimed_elsewhere): QEMU's
    monitor showed the processor spinning in the kernel on the interrupt stack with
    interrupts off. Linux 6.1's
    parport_claim(), handing the port to the waiting device, turns interrupts back on while it
    still holds the port's cad_lock for writing; the emulated port raises its interrupt on
    every claim (the control register is written with the interrupt enabled), and the
    handler, taking that lock, waits for itself on the one processor. Neither pio-out nor
    ppdev use the interrupt."""
    with open("/etc/modprobe.d/pio-rig.conf", "w") as f:
        f.write("options parport_pc io=0x378 irq=none\n")


def loaded(name: str) -> bool:
    return os.path.isdir(f"/sys/module/{name}")


def wait_node(present: bool, timeout: float = DEADLINE) -> bool:
    return bool(h.wait_until(lambda: os.path.exists(NODE) == present, timeout, 0.02))


def set_node(minor: Optional[int] = 0, group: str = "lp", mode: int = 0o660) -> None:
    """Makes /dev/parport0 the way Debian's udev leaves it: root:lp, 0660. minor None keeps the
    node the driver made, a number replaces it by a node of that ppdev minor."""
    if minor is not None:
        if os.path.lexists(NODE):
            os.unlink(NODE)
        os.mknod(NODE, 0o600 | 0o020000, os.makedev(PP_MAJOR, minor))
    sh("chown", f"root:{group}", NODE)
    os.chmod(NODE, mode)


def panel_lock(path: str) -> str:
    """The lock file through which panels keep a port to one of them: named after the device
    (major.minor) or, for a FIFO, its file system and inode, in the first of the system's lock
    directories that exists (in the guest, whose /run is its own, that is /tmp)."""
    st = os.stat(path)
    if stat.S_ISCHR(st.st_mode):
        key = f"c{os.major(st.st_rdev)}.{os.minor(st.st_rdev)}"
    else:
        key = f"fifo-{os.major(st.st_dev)}.{os.minor(st.st_dev)}-{st.st_ino}"
    folder = next(d for d in ("/run/lock", "/var/lock", "/tmp") if os.path.isdir(d))
    return f"{folder}/pio-out-port-{key}.lock"


def dmesg() -> str:
    return sh("dmesg").stdout


# ---------------------------------------------------------------------------------------------
# The driver's own count of claims (ftrace's function tracer)


class ClaimTrace:
    """Counts the parport core's claims (parport_claim_or_block: one per PPCLAIM), releases
    and the devices ppdev gives up (parport_unregister_device: one per close of a node that
    claimed) while it runs."""

    DIR = "/sys/kernel/tracing"
    FUNCTIONS = ("parport_claim_or_block", "parport_release", "parport_unregister_device")

    def __init__(self):
        if not os.path.exists(os.path.join(self.DIR, "trace")):
            sh("mount", "-t", "tracefs", "tracefs", self.DIR)
        self._write("tracing_on", "0")
        self._write("set_ftrace_filter", " ".join(self.FUNCTIONS))
        self._write("current_tracer", "function")

    def _write(self, name: str, value: str) -> None:
        with open(os.path.join(self.DIR, name), "w") as f:
            f.write(value + "\n")

    def count(self, seconds: float) -> dict:
        """{function: calls} over the next `seconds`."""
        self._write("trace", "")
        self._write("tracing_on", "1")
        time.sleep(seconds)
        self._write("tracing_on", "0")
        counts = {name: 0 for name in self.FUNCTIONS}
        with open(os.path.join(self.DIR, "trace")) as f:
            for line in f:
                if line.startswith("#"):
                    continue
                for name in self.FUNCTIONS:
                    if f" {name} <-" in line or f": {name} <-" in line:
                        counts[name] += 1
        return counts

    def close(self) -> None:
        self._write("current_tracer", "nop")
        self._write("set_ftrace_filter", "")


# ---------------------------------------------------------------------------------------------
# Guest users


USERS = {"outsider": (4242, False), "lpmember": (4243, True)}


def add_users() -> None:
    """Two users of the guest's own /etc (the overlay over the host's): one outside the port's
    group, one in it."""
    with open("/etc/passwd", "a") as f:
        for name, (uid, _) in USERS.items():
            f.write(f"{name}:x:{uid}:{uid}::/tmp/home-{name}:/bin/sh\n")
    with open("/etc/group", "r") as f:
        groups = f.read().splitlines()
    members = [n for n, (_, in_lp) in USERS.items() if in_lp]
    out = []
    for line in groups:
        fields = line.split(":")
        if fields[0] == "lp":
            existing = [m for m in fields[3].split(",") if m]
            fields[3] = ",".join(existing + members)
            line = ":".join(fields)
        out.append(line)
    out += [f"{name}:x:{uid}:" for name, (uid, _) in USERS.items()]
    with open("/etc/group", "w") as f:
        f.write("\n".join(out) + "\n")
    for name, (uid, _) in USERS.items():
        home = f"/tmp/home-{name}"
        os.makedirs(home, exist_ok=True)
        os.chown(home, uid, uid)


def as_user(name: str) -> Tuple[str, List[str], dict]:
    """(binary, leading args, env) that run a program as `name` with its groups."""
    uid, _ = USERS[name]
    return ("/usr/bin/setpriv",
            [f"--reuid={uid}", f"--regid={uid}", "--init-groups", "--"],
            {"HOME": f"/tmp/home-{name}", "USER": name, "LOGNAME": name})


# ---------------------------------------------------------------------------------------------
# Another program on the port


class Holder:
    """Another program on the port: opens the node, optionally asks for exclusive access,
    claims, sets the lines to `byte` and holds the claim until release() tells it to let go
    (or the scenario ends); then it releases and closes. Runs as a child so the panel's cycles
    meet a claim held by a separate process. A hold of fixed length ran out on a slow machine
    before the panel had been checked: the scenario decides when it has seen enough."""

    # ppdev requests (linux/ppdev.h): _IO('p', n) and _IOW('p', 0x86, unsigned char).
    SCRIPT = r"""
import fcntl, os, signal, struct, sys, time
PPCLAIM, PPRELEASE, PPEXCL, PPWDATA = 0x708B, 0x708C, 0x708F, 0x40017086
excl, byte, patience = sys.argv[1] == "1", int(sys.argv[2]), float(sys.argv[3])


# A claim that waits does so inside ppdev's one lock for all its requests. Should it begin
# while the panel's cycle has the port, the panel's release needs that lock and both programs
# would wait for good (seen: the rig's watchdog after 300 s). So this program, as the panel
# does, gives up a claim that waits longer than 50 ms and tries again. The alarm repeats
# every 50 ms while the claim runs: one that comes before the ioctl has begun (a busy machine
# can hold this process up right there) would leave the claim without a limit. Its handler
# does nothing, so that it can come anywhere; fcntl.ioctl then raises EINTR.
signal.signal(signal.SIGALRM, lambda *_: None)
fd = os.open("/dev/parport0", os.O_RDWR)
deadline = time.monotonic() + patience
while True:
    try:
        if excl:
            fcntl.ioctl(fd, PPEXCL)
        signal.setitimer(signal.ITIMER_REAL, 0.05, 0.05)
        try:
            fcntl.ioctl(fd, PPCLAIM)
        finally:
            signal.setitimer(signal.ITIMER_REAL, 0)
        break
    except OSError as e:
        # EINTR: the claim ran out of time. Exclusive access is refused while another device
        # is registered on the port (the panel's, for the moment of its cycle): try again.
        if time.monotonic() > deadline:
            print("claim failed", e.errno, flush=True)
            sys.exit(1)
        os.close(fd)
        fd = os.open("/dev/parport0", os.O_RDWR)
        time.sleep(0.001)
fcntl.ioctl(fd, PPWDATA, struct.pack("B", byte))
print("claimed %.6f" % time.monotonic(), flush=True)
sys.stdin.readline()  # a line, or the end of the scenario's pipe: let go
print("releasing %.6f" % time.monotonic(), flush=True)
fcntl.ioctl(fd, PPRELEASE)
print("released %.6f" % time.monotonic(), flush=True)
os.close(fd)
"""

    def __init__(self, byte: int, exclusive: bool = False):
        self.started = time.monotonic()
        self.proc = h.spawn(["python3", "-c", self.SCRIPT, "1" if exclusive else "0",
                             str(byte), str(DEADLINE)],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)
        self.claimed: Optional[float] = None
        self.released: Optional[float] = None

    def _expect(self, word: str, what: str) -> float:
        line = self.proc.stdout.readline().split()
        h.check(line and line[0] == word, f"the other program {what}: {line}")
        return float(line[1])

    def wait_claimed(self) -> float:
        self.claimed = self._expect("claimed", "could not claim")
        return self.claimed

    def holding(self) -> bool:
        return self.proc.poll() is None

    def release(self) -> float:
        """Tells it to let go; returns the time right before its release, so that all the
        panel does after the release comes later."""
        h.check(self.holding(), "the other program ended before it was told to let go")
        self.proc.stdin.write("\n")
        self.proc.stdin.flush()
        releasing = self._expect("releasing", "did not let go")
        self.released = self._expect("released", "did not release")
        self.proc.wait(DEADLINE)
        return releasing

    def __enter__(self) -> "Holder":
        return self

    def __exit__(self, *exc) -> None:
        h.kill_group(self.proc)


# ---------------------------------------------------------------------------------------------
# Error boxes and switches


def box_ids(panel: h.Panel) -> List[int]:
    """The panel's visible windows other than its main one: its boxes. One tool run per call
    (harness's boxes() asks two more per window); under emulation each run takes a good part
    of a second."""
    return [w for w in h.visible_windows(panel.env, pid=panel.pid) if w != panel.window]


def box_face(panel: h.Panel, box: int) -> Tuple[Tuple[int, int], bytes]:
    """The box's size and the pixels of its text area, once it is drawn (harness.box_face)."""
    return h.box_face(panel.env, box, DEADLINE)


def one_box(panel: h.Panel, label: str, timeout: float = DEADLINE, steady: float = 1.0) -> int:
    """Waits for a box; it has to stay the only one for `steady` seconds. Returns its id."""
    found = h.wait_until(lambda: box_ids(panel), timeout, 0.05)
    h.check(found, f"{label}: no box within {timeout} s")
    end = time.monotonic() + steady
    while True:
        now = box_ids(panel)
        h.check(len(now) == 1, f"{label}: {len(now)} boxes")
        if time.monotonic() >= end:
            return now[0]
        time.sleep(0.1)


def no_box(panel: h.Panel, label: str, seconds: float) -> None:
    end = time.monotonic() + seconds
    while True:
        h.check(not box_ids(panel), f"{label}: a box opened")
        if time.monotonic() >= end:
            return
        time.sleep(0.1)


def where(pid: int) -> str:
    """What a process waits in: its state, kernel function and kernel stack."""
    def read(name):
        try:
            with open(f"/proc/{pid}/{name}") as f:
                return f.read().strip()
        except OSError as e:
            return f"({e.strerror})"
    state = read("stat").rsplit(")", 1)[-1].split()[:1]
    return (f"process {pid}: state {' '.join(state)}, in {read('wchan')}\n"
            + read("stack"))


def close_box(panel: h.Panel, box: int, label: str) -> None:
    """Return on the box until it is gone. Once, under emulation on a busy host, a box given
    the focus and sent Return stayed open for a minute (the focus need not last: a busy
    panel may activate a window of its own later). Another Return, should the first one only
    be late, finds the box gone and goes to the panel, where it does nothing."""
    deadline = time.monotonic() + DEADLINE
    while box in box_ids(panel):
        h.check(time.monotonic() < deadline,
                f"{label}: the box stayed; the panel's {where(panel.pid)}")
        focused = h.run_tool(["xdotool", "windowfocus", "--sync", str(box)], panel.env,
                             check_rc=False).returncode == 0
        if focused:
            panel.key("Return")
        h.wait_until(lambda: box not in box_ids(panel), 5.0, 0.05)


def which(face, references: dict) -> str:
    for name, ref in references.items():
        if face == ref:
            return name
    return "unknown"


def wait_switch(panel: h.Panel, name: str, face: bytes, label: str) -> None:
    """Waits until the switch looks like `face`: the panel has taken the double click."""
    h.wait_switch(panel, name, face, label, DEADLINE)
