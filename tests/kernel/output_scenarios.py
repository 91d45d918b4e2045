# SPDX-License-Identifier: MIT
"""Scenarios of the kernel rig about what reaches the data lines: the reference boxes, the
drivers coming up, clicks and switches, the driver's count of claims, permissions and the
cost of one cycle."""
from __future__ import annotations

import fcntl
import os
import signal
import time

import harness as h
import guest_lib as g
import every_device as every
from context import Context

L = h.LAYOUT
SWEEP = [8, 16, 32, 64, 128, 64, 32, 16, 8, 4]
BARS = {((1 << n) - 1) << 2 for n in range(7)}  # channels 1..n lit


def references(ctx: Context) -> None:
    """One box per message, from causes without a driver, before ppdev is loaded: no node at
    all; a FIFO the user may not open; a FIFO whose panels' lock another panel (here: this
    scenario) holds."""
    h.check(not g.loaded("ppdev") and not os.path.exists(g.NODE), "ppdev is loaded already")

    def face(label, user=""):
        panel = ctx.panel(user)
        box = g.one_box(panel, label, steady=0.5)
        result = g.box_face(panel, box)
        ctx.end(panel)
        ctx.log(f"reference {label}: box {result[0][0]}x{result[0][1]}")
        return result

    # The stand-ins are a FIFO, which the program takes for a port, as it takes nothing
    # else but a ppdev node; whatever happens, none is left for the driver's node to meet.
    try:
        os.symlink("/nonexistent/parport0", g.NODE)
        ctx.refs["notfound"] = face("notfound")
        os.unlink(g.NODE)
        os.mkfifo(g.NODE, 0o600)
        ctx.refs["denied"] = face("denied", user="outsider")
        os.chmod(g.NODE, 0o666)
        reader = os.open(g.NODE, os.O_RDONLY | os.O_NONBLOCK)
        lock = os.open(g.panel_lock(g.NODE), os.O_RDONLY | os.O_CREAT, 0o644)
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            ctx.refs["panel"] = face("panel")
        finally:
            os.close(lock)
            os.close(reader)
    finally:
        if os.path.lexists(g.NODE):
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
    port = [line for line in found if "PC-style at 0x378" in line]
    h.check(port, "parport_pc did not report parport0 at 0x378")
    h.check(not any(" irq " in line for line in port),
            "parport_pc took the port's interrupt (see guest_lib.no_port_interrupt)")
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
    panel = ctx.panel(channels=())
    t0 = time.monotonic()
    panel.click(*L.socket(3))
    t = lines.wait_value(16, after=t0)
    h.check(t is not None, f"channel 3: the lines did not take 16 (they hold {lines.value()})")
    # From the click sent to the byte on the lines; under emulation mostly xdotool and the
    # panel's own start of the event, the same for every device (gpio_clicks, usb_clicks).
    ctx.log(f"channel 3: the lines took 16 {1000 * (t - t0):.0f} ms after the click was sent")
    ctx.figures["click_ms"] = round(1000 * (t - t0), 1)
    time.sleep(0.6)  # a second click on the same spot at once would be a double click
    panel.click(*L.socket(3))
    h.check(lines.wait_value(0, after=t) is not None, "channel 3 off: the lines kept 16")
    panel.click(*L.socket(1))
    panel.click(*L.socket(6))
    t1 = time.monotonic()
    h.check(lines.wait_value(132, after=t1) is not None,
            f"channels 1 and 6: the lines did not take 132 (they hold {lines.value()})")
    seen = sorted({b for _, b in lines.since(t1)})
    h.check(set(seen) <= {0, 4, 128, 132}, f"channels 1 and 6: bytes {seen} on the way")

    panel.double_click(*L.switch("pout"))
    g.wait_switch(panel, "pout", panel.pout_off, "port output off")
    t_off = time.monotonic()
    panel.click(*L.socket(2))
    time.sleep(1.5)
    ctx.unchanged_since(t_off, "port output off, channel 2 clicked")
    h.check(lines.value() == 132, f"port output off: the lines hold {lines.value()}, not 132")

    panel.double_click(*L.switch("pout"))
    t_on = time.monotonic()
    h.check(lines.wait_value(140, after=t_on) is not None,
            "port output on again: the lines did not take 140 (channels 1, 2, 6)")
    vl_off = h.switch_face(panel, "vl")
    panel.double_click(*L.switch("vl"))
    t_vl = time.monotonic()

    every.wait_steps(lambda: len(every.from_first_step(lines.since(t_vl), SWEEP)))
    events = every.from_first_step(lines.since(t_vl), SWEEP)
    values = [b for _, b in events]
    # The light starts wherever it is in its sweep: any phase of it will do.
    expect = every.in_sweep_order(values, SWEEP, SWEEP.index(8))
    h.check(values == expect, f"running light: sweep {values}, expected {expect}")
    median = every.step_times(ctx, events)
    ctx.figures["light_step_ms"] = round(1000 * median, 1)
    # A step is the light's 100 ms wait plus the port cycle that ends it, and under emulation
    # on a loaded host one ppdev cycle takes up to tens of milliseconds (medians of 101-128 ms
    # seen beside two busy loops and two full test runs). The bound still tells 100 ms steps
    # from 50 or 200.
    h.check(0.085 <= median <= 0.150, f"running light: median step {1000 * median:.0f} ms")

    panel.double_click(*L.switch("vl"))
    g.wait_switch(panel, "vl", vl_off, "running light off")
    time.sleep(0.5)  # past the double-click time: the next double click is one of its own
    panel.double_click(*L.switch("peak"))
    t_pk = time.monotonic()

    def first_probe():
        """When the first probe's bar, an empty one, reached the lines (the light leaves
        channel 1 or 2 lit, never none)."""
        return next((t for t, b in lines.since(t_pk) if b == 0), None)

    def bar_shown():
        t = first_probe()
        return t is not None and any(b for _, b in lines.since(t))

    # An idle machine may show no bar at all (every wait ends on time), and a busy loop beside
    # the panel did not always make one end late. Keeping the panel stopped 150 ms of every
    # 250 does: most of its 50 ms waits end during a stop, and so at least tens of ms late,
    # which the bars have to show. For 4 s at least, and until a bar is there.
    deadline = time.monotonic() + g.DEADLINE
    try:
        while (time.monotonic() < t_pk + 4.0 or not bar_shown()) \
                and time.monotonic() < deadline:
            os.kill(panel.pid, signal.SIGSTOP)
            time.sleep(0.15)
            os.kill(panel.pid, signal.SIGCONT)
            time.sleep(0.10)
    finally:
        os.kill(panel.pid, signal.SIGCONT)
    t_first = first_probe()
    h.check(t_first is not None, "load view: its first probe's empty bar never reached the "
                                 "lines")
    bars = [b for _, b in lines.since(t_first)]
    ctx.log(f"load view: bytes {bars}, the first {t_first - t_pk:.2f} s after the switch")
    shown = set(bars) | {lines.value()}
    h.check(shown <= BARS, f"load view: bytes that are no bar: {sorted(shown - BARS)}")
    h.check(shown - {0}, "load view: no bar reached the lines")
    panel.double_click(*L.switch("peak"))
    time.sleep(0.3)
    h.check(not g.box_ids(panel), "a box opened")
    panel.close()
    h.check(panel.wait_exit(g.DEADLINE) == 0, "Alt+F4 did not end the panel with 0")


def claims(ctx: Context) -> None:
    """The driver's count: with port output on, one claim and one release in every cycle (a
    node opened, claimed, released and closed), at most one cycle every 10 ms; with it off,
    none. How many cycles fit into 2 s is up to the machine: under emulation on a busy host
    there were 118 instead of 200, so the count is held against the cycles, not the clock."""
    trace = g.ClaimTrace()
    try:
        panel = ctx.panel(channels=(4,))
        h.check(ctx.lines.wait_value(32) is not None, "the lines did not take 32")
        time.sleep(0.3)
        on = trace.count(2.0)
        panel.double_click(*L.switch("pout"))
        g.wait_switch(panel, "pout", panel.pout_off, "port output off")
        off = trace.count(1.5)
        ctx.log(f"in 2 s with port output on: {on}; in 1.5 s with it off: {off}")
        claimed, released = on["parport_claim_or_block"], on["parport_release"]
        closed = on["parport_unregister_device"]
        ctx.figures["claims_in_2s"] = claimed
        h.check(claimed > 0, "no claim in 2 s with port output on")
        h.check(claimed <= 210, f"{claimed} claims in 2 s: more than one every 10 ms")
        h.check(abs(claimed - released) <= 1 and abs(claimed - closed) <= 1,
                f"{claimed} claims, {released} releases, {closed} nodes closed: not one of "
                f"each in every cycle")
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
    h.check(ctx.lines.wait_value(64, after=t1) is not None,
            f"in lp: the lines did not take 64 (they hold {ctx.lines.value()})")
    g.no_box(panel, "in lp", 1.0)
    ctx.end(panel)


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
