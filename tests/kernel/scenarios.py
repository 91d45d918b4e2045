# SPDX-License-Identifier: MIT
"""The scenarios of the kernel rig, run in this order in one boot (guest.py). Each one
leaves the drivers loaded as it found them (parport_pc and ppdev, /dev/parport0 root:lp 0660)
and its panels ended; Context.cleanup() sees to it after a failure.

Error boxes are told apart by their pixels: `references` makes one box of each message from a
cause that leaves no doubt (no node at all; a node the user may not open; the port's lock held
by another program) before any driver is loaded, and later boxes are matched against them."""
from __future__ import annotations

import contextlib
import fcntl
import os
import statistics
import subprocess
import time

import harness as h
import guest_lib as g

L = h.LAYOUT
SWEEP = [8, 16, 32, 64, 128, 64, 32, 16, 8, 4]
BARS = {((1 << n) - 1) << 2 for n in range(7)}  # channels 1..n lit


class Context:
    def __init__(self, outdir: str, binary: str, probe: str, results: dict):
        self.outdir = outdir
        self.binary = binary
        self.probe = probe
        self.results = results
        self.figures = results["figures"]
        self.refs: dict = {}
        self.drivers_ready = False  # from then on cleanup() restores /dev/parport0
        self.log = print
        self.xvfb = None
        self.lines = None
        self._panels = []

    @contextlib.contextmanager
    def start(self, sampler: str):
        g.add_users()
        log_path = "/tmp/lines.log"
        proc = h.spawn([sampler, log_path], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            self.lines = g.Lines(log_path)
            ok = h.wait_until(lambda: os.path.exists(log_path) and self.lines.events(), 5.0)
            h.check(ok, "the sampler logged nothing: " + (proc.stderr.read().decode()
                                                          if proc.poll() is not None else ""))
            with h.Xvfb() as x:
                self.xvfb = x
                yield self
        finally:
            h.kill_group(proc)

    def panel(self, user: str = "", channels=(), port_on: bool = True) -> h.Panel:
        """A running panel (root, or one of the guest users) with its window up, the given
        channels clicked and port output switched on; ended by cleanup() at the latest."""
        if user:
            binary, args, env = g.as_user(user)
            args = args + [self.binary]
        else:
            binary, args, env = self.binary, [], None
        panel = h.Panel(binary, self.xvfb, namespace=False, args=args, env=env)
        panel.__enter__()
        self._panels.append(panel)
        panel.wait_window()
        self.log(f"panel ({user or 'root'}) up after {time.monotonic() - panel.started_at:.1f} s")
        for n in channels:
            panel.click(*L.socket(n))
        if port_on:
            panel.double_click(*L.switch("pout"))
        return panel

    def end(self, panel: h.Panel) -> None:
        panel.__exit__(None, None, None)
        self._panels.remove(panel)

    def cleanup(self) -> None:
        for panel in list(self._panels):
            self.end(panel)
        for name in ("lp",):
            if g.loaded(name):
                g.rmmod(name)
        if os.path.lexists(g.NODE) and not os.path.exists(g.NODE):
            os.unlink(g.NODE)  # a dangling link of the references
        if not g.loaded("parport_pc"):
            g.modprobe("parport_pc")
        if not g.loaded("ppdev"):
            g.modprobe("ppdev")
        if self.drivers_ready:
            st = os.stat(g.NODE) if os.path.exists(g.NODE) else None
            if st is None or os.minor(st.st_rdev) != 0 or os.major(st.st_rdev) != g.PP_MAJOR:
                g.set_node(0)
            else:
                g.set_node(None)

    def identify(self, panel: h.Panel, box: h.WinInfo, label: str) -> str:
        face = g.box_face(panel, box)
        name = g.which(face, self.refs)
        self.log(f"{label}: box {face[0][0]}x{face[0][1]} reads as '{name}'")
        if name == "unknown":
            h.screenshot(panel.env, window=box.id).save_png(
                os.path.join(self.outdir, f"box-{label}.png"))
        return name

    def unchanged_since(self, t: float, label: str) -> None:
        changes = self.lines.since(t)
        h.check(not changes, f"{label}: the data lines changed: {changes[:10]}")


# Messages, as the references show them.
MESSAGES = {"notfound": "Datei nicht gefunden.", "denied": "Dateizugriff verweigert.",
            "panel": "Der Port wird von einem anderen Panel benutzt."}


def references(ctx: Context) -> None:
    """One box per message, from causes without a driver, before ppdev is loaded."""
    h.check(not g.loaded("ppdev") and not os.path.exists(g.NODE), "ppdev is loaded already")

    def face(label, user="", lock=False):
        fd = -1
        if lock:
            fd = os.open(g.NODE, os.O_RDONLY)
            fcntl.flock(fd, fcntl.LOCK_EX)
        try:
            panel = ctx.panel(user)
            box = g.one_box(panel, label, timeout=10.0, steady=0.5)
            result = g.box_face(panel, box)
            ctx.end(panel)
            ctx.log(f"reference {label}: box {result[0][0]}x{result[0][1]}")
            return result
        finally:
            if fd >= 0:
                os.close(fd)

    os.symlink("/nonexistent/parport0", g.NODE)
    ctx.refs["notfound"] = face("notfound")
    os.unlink(g.NODE)
    with open(g.NODE, "w"):
        pass
    os.chmod(g.NODE, 0o600)
    ctx.refs["denied"] = face("denied", user="outsider")
    os.chmod(g.NODE, 0o666)
    ctx.refs["panel"] = face("panel", lock=True)
    os.unlink(g.NODE)
    faces = list(ctx.refs.values())
    h.check(len({f for f in faces}) == len(faces),
            "two different messages look the same: " + ", ".join(ctx.refs))


def drivers(ctx: Context) -> None:
    """parport_pc finds the emulated port, ppdev makes its node."""
    g.modprobe("parport_pc", "ppdev")
    h.check(g.wait_node(True), "no /dev/parport0 after loading parport_pc and ppdev")
    g.set_node(None)
    ctx.drivers_ready = True
    found = [line for line in g.dmesg().splitlines() if "parport0" in line]
    ctx.log("\n".join(found))
    h.check(any("PC-style at 0x378" in line for line in found),
            "parport_pc did not report parport0 at 0x378")
    # Where the program looks who has the port claimed.
    active = "/proc/sys/dev/parport/parport0/devices/active"
    h.check(os.path.exists(active), f"no {active}")
    with open(active) as f:
        ctx.log(f"{active}: {f.read().strip()}")
    ctx.log(g.sh("ls", "-l", g.NODE).stdout.strip())


def clicks(ctx: Context) -> None:
    """Channel 3 -> 16, channels 1 and 6 -> 132, port output off keeps the last byte; the
    running light sweeps at 100 ms steps; the load view shows bars."""
    lines = ctx.lines
    t0 = time.monotonic()
    panel = ctx.panel(channels=())
    panel.click(*L.socket(3))
    t = lines.wait_value(16, 5.0, after=t0)
    h.check(t is not None, f"channel 3: the lines did not take 16 (they hold {lines.value()})")
    time.sleep(0.6)  # a second click on the same spot at once would be a double click
    panel.click(*L.socket(3))
    h.check(lines.wait_value(0, 5.0, after=t) is not None, "channel 3 off: the lines kept 16")
    panel.click(*L.socket(1))
    panel.click(*L.socket(6))
    t1 = time.monotonic()
    h.check(lines.wait_value(132, 5.0, after=t1) is not None,
            f"channels 1 and 6: the lines did not take 132 (they hold {lines.value()})")
    seen = sorted({b for _, b in lines.since(t1)})
    h.check(set(seen) <= {0, 4, 128, 132}, f"channels 1 and 6: bytes {seen} on the way")

    panel.double_click(*L.switch("pout"))
    time.sleep(1.0)
    t_off = time.monotonic()
    panel.click(*L.socket(2))
    time.sleep(1.5)
    ctx.unchanged_since(t_off, "port output off, channel 2 clicked")
    h.check(lines.value() == 132, f"port output off: the lines hold {lines.value()}, not 132")

    panel.double_click(*L.switch("pout"))
    t_on = time.monotonic()
    h.check(lines.wait_value(140, 5.0, after=t_on) is not None,
            "port output on again: the lines did not take 140 (channels 1, 2, 6)")
    panel.double_click(*L.switch("vl"))
    t_vl = time.monotonic()
    time.sleep(3.5)
    events = lines.since(t_vl)
    values = [b for _, b in events]
    while values and values[0] not in SWEEP:  # the channels until the light starts
        values.pop(0)
        events.pop(0)
    # The light starts wherever it is in its sweep: any phase of it will do.
    phases = [[SWEEP[(k + i) % len(SWEEP)] for i in range(len(values))]
              for k in range(len(SWEEP))]
    expect = next((p for p in phases if p == values), phases[SWEEP.index(8)])
    h.check(len(values) >= 20, f"running light: only {len(values)} steps in 3.5 s: {values}")
    h.check(values == expect, f"running light: sweep {values}, expected {expect}")
    gaps = [b[0] - a[0] for a, b in zip(events, events[1:])]
    median = statistics.median(gaps)
    ctx.log(f"running light: {len(values)} steps, median step {1000 * median:.0f} ms, "
            f"min {1000 * min(gaps):.0f}, max {1000 * max(gaps):.0f}")
    ctx.figures["light_step_ms"] = round(1000 * median, 1)
    h.check(0.085 <= median <= 0.125, f"running light: median step {1000 * median:.0f} ms")

    panel.double_click(*L.switch("vl"))
    time.sleep(0.5)
    panel.double_click(*L.switch("peak"))
    t_pk = time.monotonic()
    time.sleep(3.0)
    bars = [b for _, b in lines.since(t_pk + 0.8)]
    ctx.log(f"load view: bytes {bars}")
    shown = set(bars) | {lines.value()}
    h.check(shown <= BARS, f"load view: bytes that are no bar: {sorted(shown - BARS)}")
    h.check(shown - {0}, "load view: no bar reached the lines")
    panel.double_click(*L.switch("peak"))
    time.sleep(0.3)
    h.check(not panel.boxes(), "a box opened")
    panel.close()
    h.check(panel.wait_exit(10) == 0, "Alt+F4 did not end the panel with 0")


def claims(ctx: Context) -> None:
    """The driver's count: with port output on, one claim and one release every 10 ms; with
    it off, none."""
    trace = g.ClaimTrace()
    try:
        panel = ctx.panel(channels=(4,))
        h.check(ctx.lines.wait_value(32, 5.0) is not None, "the lines did not take 32")
        time.sleep(0.3)
        on = trace.count(2.0)
        panel.double_click(*L.switch("pout"))
        time.sleep(1.0)
        off = trace.count(1.5)
        ctx.log(f"in 2 s with port output on: {on}; in 1.5 s with it off: {off}")
        claimed, released = on["parport_claim_or_block"], on["parport_release"]
        ctx.figures["claims_in_2s"] = claimed
        h.check(160 <= claimed <= 210, f"{claimed} claims in 2 s, expected about 200")
        h.check(abs(claimed - released) <= 1, f"{claimed} claims but {released} releases")
        h.check(sum(off.values()) == 0, f"port output off, yet the driver saw {off}")
    finally:
        trace.close()


def permissions(ctx: Context) -> None:
    """root:lp 0660: a user outside lp gets one "Dateizugriff verweigert." and nothing on the
    lines; a user in lp drives them."""
    st = os.stat(g.NODE)
    ctx.log(g.sh("ls", "-l", g.NODE).stdout.strip())
    h.check(oct(st.st_mode & 0o777) == "0o660", "the node is not 0660")
    t0 = time.monotonic()
    panel = ctx.panel("outsider", channels=(5,))
    box = g.one_box(panel, "outsider")
    name = ctx.identify(panel, box, "outsider")
    h.check(name == "denied", f"outside lp: the box reads as '{name}', expected 'denied'")
    ctx.unchanged_since(t0, "outside lp")
    ctx.end(panel)

    h.check(ctx.lines.value() != 64, "the lines hold 64 already")
    t1 = time.monotonic()
    panel = ctx.panel("lpmember", channels=(5,))
    h.check(ctx.lines.wait_value(64, 5.0, after=t1) is not None,
            f"in lp: the lines did not take 64 (they hold {ctx.lines.value()})")
    g.no_box(panel, "in lp", 1.0)
    ctx.end(panel)


def no_ppdev(ctx: Context) -> None:
    """ppdev not loaded: no node, "Datei nicht gefunden."; loading it brings the lines back."""
    g.rmmod("ppdev")
    h.check(g.wait_node(False), "/dev/parport0 stayed after rmmod ppdev")
    t0 = time.monotonic()
    panel = ctx.panel(channels=(1, 2))
    box = g.one_box(panel, "no ppdev")
    name = ctx.identify(panel, box, "no_ppdev")
    h.check(name == "notfound", f"no ppdev: the box reads as '{name}'")
    ctx.unchanged_since(t0, "no ppdev")
    g.close_box(panel, box, "no ppdev")
    t1 = time.monotonic()
    g.modprobe("ppdev")
    h.check(g.wait_node(True), "no node after modprobe ppdev")
    g.set_node(None)
    t = ctx.lines.wait_value(12, 5.0, after=t1)
    h.check(t is not None, "ppdev loaded again: the lines did not follow the panel")
    ctx.log(f"ppdev loaded again: the lines followed after {t - t1:.2f} s")
    g.no_box(panel, "ppdev loaded again", 1.0)


def no_port(ctx: Context) -> None:
    """A ppdev node with no port behind it (minor 3): the claim fails."""
    g.set_node(3)
    t0 = time.monotonic()
    panel = ctx.panel(channels=(1, 3))
    box = g.one_box(panel, "no port")
    name = ctx.identify(panel, box, "no_port")
    h.check(name == "notfound", f"no port behind the node: the box reads as '{name}'")
    ctx.unchanged_since(t0, "no port")
    ctx.log("\n".join(line for line in g.dmesg().splitlines()[-5:]))


def driver_removed(ctx: Context) -> None:
    """parport_pc removed while port output is on: one report, the panel goes on; loaded
    again, the lines follow the panel by themselves."""
    t0 = time.monotonic()
    panel = ctx.panel(channels=(2,))
    h.check(ctx.lines.wait_value(8, 5.0, after=t0) is not None, "the lines did not take 8")
    t_try = time.monotonic()
    t_rm = g.rmmod("parport_pc")
    ctx.log(f"rmmod parport_pc succeeded after {1000 * (t_rm - t_try):.0f} ms")
    box = g.one_box(panel, "parport_pc removed")
    name = ctx.identify(panel, box, "driver_removed")
    ctx.figures["driver_removed_message"] = MESSAGES.get(name, name)
    h.check(name == "notfound", f"parport_pc removed: the box reads as '{name}'")
    h.check(panel.proc.poll() is None, "the panel ended")
    g.close_box(panel, box, "parport_pc removed")
    panel.click(*L.socket(4))  # the panel still takes clicks: 8 + 32 once the port is back
    t_load = time.monotonic()
    g.modprobe("parport_pc")
    h.check(g.wait_node(True), "no node after modprobe parport_pc")
    t = ctx.lines.wait_value(40, 5.0, after=t_load)
    h.check(t is not None, f"parport_pc loaded again: the lines hold {ctx.lines.value()}, "
                           f"not the panel's 40")
    ctx.log(f"parport_pc loaded again: the lines took 40 after {t - t_load:.2f} s; "
            f"on the way: {[b for _, b in ctx.lines.since(t_load)]}")
    g.no_box(panel, "parport_pc loaded again", 1.0)
    g.set_node(None)


def lp_beside(ctx: Context) -> None:
    """The printer driver lp loaded beside ppdev: port output still works."""
    g.modprobe("lp")
    h.check(h.wait_until(lambda: os.path.exists("/dev/lp0"), 3.0), "lp made no /dev/lp0")
    t0 = time.monotonic()
    panel = ctx.panel(channels=(1, 3))
    h.check(ctx.lines.wait_value(20, 5.0, after=t0) is not None,
            f"lp loaded: the lines hold {ctx.lines.value()}, not 20")
    g.no_box(panel, "lp loaded", 1.0)
    ctx.end(panel)
    g.rmmod("lp")


def claimed_elsewhere(ctx: Context) -> None:
    """Another program claims the port and holds it for 10 s: the panel reports the port busy
    once, keeps answering (its box closes, a click is taken) and takes the port back by itself
    after the release. (Without a limit on the wait for the claim, both programs hang:
    ppdev waits for the claim holding the lock that the other program's release needs.)"""
    t0 = time.monotonic()
    panel = ctx.panel(channels=(1,))
    h.check(ctx.lines.wait_value(4, 5.0, after=t0) is not None, "the lines did not take 4")
    time.sleep(0.3)

    with g.Holder(10.0, 0xFF) as holder:
        t_c = holder.wait_claimed()
        box = g.one_box(panel, "port held", timeout=3.0, steady=0.2)
        name = ctx.identify(panel, box, "claimed_elsewhere")
        ctx.figures["claimed_elsewhere_message"] = MESSAGES.get(name, name)
        t_box = time.monotonic()
        g.close_box(panel, box, "port held")
        t_closed = time.monotonic()
        panel.click(*L.socket(6))  # taken while held: on the lines right after the release
        g.no_box(panel, "while the port is still held", 0.3)
        still_held = holder.proc.poll() is None
        t_rel = holder.wait_released()
    ctx.log(f"box after {t_box - t_c:.2f} s; closed in {t_closed - t_box:.2f} s (while held: "
            f"{still_held})")
    ctx.figures["claimed_elsewhere_box_close_s"] = round(t_closed - t_box, 2)
    h.check(still_held, "the port was released before the panel was checked (too slow)")
    held = ctx.lines.held(t_c + 0.2, t_rel)
    h.check(set(held) == {255}, f"while the other program held the port: {held}")
    t_back = ctx.lines.wait_value(132, 3.0, after=t_rel)
    h.check(t_back is not None, "the panel did not take the port back after the release")
    ctx.figures["claimed_elsewhere_back_ms"] = round(1000 * (t_back - t_rel), 1)
    ctx.log(f"held {t_rel - t_c:.2f} s; lines back {1000 * (t_back - t_rel):.0f} ms after the "
            f"release")
    h.check(t_back - t_rel < 1.0, "the lines came back more than 1 s after the release")
    h.check(name == "denied", f"port held: the box reads as '{name}', expected 'denied'")
    g.no_box(panel, "after the other program", 0.5)
    h.check(panel.proc.poll() is None, "the panel ended")


def exclusive(ctx: Context) -> None:
    """Another program registers the port exclusively (PPEXCL) and claims it for 3 s."""
    t0 = time.monotonic()
    panel = ctx.panel(channels=(2,))
    h.check(ctx.lines.wait_value(8, 5.0, after=t0) is not None, "the lines did not take 8")
    with g.Holder(3.0, 0x55, exclusive=True) as holder:
        t_c = holder.wait_claimed()
        box = g.one_box(panel, "exclusive", timeout=2.5, steady=0.2)
        name = ctx.identify(panel, box, "exclusive")
        ctx.figures["exclusive_message"] = MESSAGES.get(name, name)
        t_rel = holder.wait_released()
    held = ctx.lines.held(t_c + 0.2, t_rel)
    h.check(set(held) == {0x55}, f"while held exclusively: {held}")
    t_back = ctx.lines.wait_value(8, 3.0, after=t_rel)
    h.check(t_back is not None, "the panel did not take the port back after the release")
    h.check(name == EXCLUSIVE_MESSAGE, f"held exclusively: the box reads as '{name}', "
                                       f"expected '{EXCLUSIVE_MESSAGE}'")
    h.check(len(panel.boxes()) == 1, "more than one box")


# The port is there, only not to be had: busy, not missing.
EXCLUSIVE_MESSAGE = "denied"


def second_panel(ctx: Context) -> None:
    """A second panel on the same port: "Der Port wird von einem anderen Panel benutzt.", no
    byte of it on the lines; it takes over once the first ends."""
    t0 = time.monotonic()
    first = ctx.panel(channels=(1, 2))
    h.check(ctx.lines.wait_value(12, 5.0, after=t0) is not None, "the lines did not take 12")
    t1 = time.monotonic()
    second = ctx.panel(channels=(6,))
    box = g.one_box(second, "second panel")
    name = ctx.identify(second, box, "second_panel")
    h.check(name == "panel", f"second panel: the box reads as '{name}'")
    ctx.unchanged_since(t1, "second panel")
    t_kill = time.monotonic()
    ctx.end(first)
    t = ctx.lines.wait_value(128, 3.0, after=t_kill)
    h.check(t is not None, "the second panel did not take over when the first ended")
    ctx.log(f"the second took over {1000 * (t - t_kill):.0f} ms after the first was killed")


def cycle_cost(ctx: Context) -> None:
    """The cost of one port cycle against the real driver and against a FIFO, both here."""
    r = g.sh(ctx.probe, "--cycles", "2000")
    ctx.log("ppdev: " + r.stdout.strip())
    fig = dict(kv.split("=") for kv in r.stdout.split())
    h.check(ctx.lines.value() == int(fig["last"]), f"the lines hold {ctx.lines.value()}, the "
                                                   f"last cycle wrote {fig['last']}")
    ctx.figures["cycle_ppdev_tcg"] = fig
    fifo = "/tmp/port.fifo"
    os.mkfifo(fifo)
    reader = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
    try:
        r = g.sh(ctx.probe, "--cycles", "2000", "--path", fifo)
    finally:
        os.close(reader)
        os.unlink(fifo)
    ctx.log("fifo: " + r.stdout.strip())
    ctx.figures["cycle_fifo_tcg"] = dict(kv.split("=") for kv in r.stdout.split())


ORDER = [
    ("references", references),
    ("drivers", drivers),
    ("clicks", clicks),
    ("claims", claims),
    ("permissions", permissions),
    ("lp_beside", lp_beside),
    ("exclusive", exclusive),
    ("second_panel", second_panel),
    ("no_ppdev", no_ppdev),
    ("no_port", no_port),
    ("driver_removed", driver_removed),
    ("cycle_cost", cycle_cost),
    ("claimed_elsewhere", claimed_elsewhere),
]
