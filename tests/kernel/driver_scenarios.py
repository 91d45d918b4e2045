# SPDX-License-Identifier: MIT
"""Scenarios of the kernel rig about the drivers and the port's other users: ppdev or
parport_pc missing or gone, a node without a port, lp beside ppdev, another program holding
the port (claimed, or exclusively) and a second panel."""
from __future__ import annotations

import os
import time

import harness as h
import guest_lib as g
from context import MESSAGES, Context

L = h.LAYOUT


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
    t = ctx.lines.wait_value(12, after=t1)
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
    h.check(ctx.lines.wait_value(8, after=t0) is not None, "the lines did not take 8")
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
    t = ctx.lines.wait_value(40, after=t_load)
    h.check(t is not None, f"parport_pc loaded again: the lines hold {ctx.lines.value()}, "
                           f"not the panel's 40")
    ctx.log(f"parport_pc loaded again: the lines took 40 after {t - t_load:.2f} s; "
            f"on the way: {[b for _, b in ctx.lines.since(t_load)]}")
    g.no_box(panel, "parport_pc loaded again", 1.0)
    g.set_node(None)


def lp_beside(ctx: Context) -> None:
    """The printer driver lp loaded beside ppdev: port output still works."""
    g.modprobe("lp")
    h.check(h.wait_until(lambda: os.path.exists("/dev/lp0"), g.DEADLINE), "lp made no /dev/lp0")
    t0 = time.monotonic()
    panel = ctx.panel(channels=(1, 3))
    h.check(ctx.lines.wait_value(20, after=t0) is not None,
            f"lp loaded: the lines hold {ctx.lines.value()}, not 20")
    g.no_box(panel, "lp loaded", 1.0)
    ctx.end(panel)
    g.rmmod("lp")


def claimed_elsewhere(ctx: Context) -> None:
    """Another program claims the port and holds it until the panel has been checked: the
    panel reports the port busy once, keeps answering (its box closes, a click is taken) and
    takes the port back by itself after the release. (Without a limit on the wait for the
    claim, both programs hang: ppdev waits for the claim holding the lock that the other
    program's release needs.)"""
    t0 = time.monotonic()
    panel = ctx.panel(channels=(1,))
    h.check(ctx.lines.wait_value(4, after=t0) is not None, "the lines did not take 4")

    with g.Holder(0xFF) as holder:
        t_c = holder.wait_claimed()
        box = g.one_box(panel, "port held", steady=0.2)
        t_box = time.monotonic()
        name = ctx.identify(panel, box, "claimed_elsewhere")
        ctx.figures["claimed_elsewhere_message"] = MESSAGES.get(name, name)
        t_closing = time.monotonic()
        g.close_box(panel, box, "port held")
        t_closed = time.monotonic()
        panel.click(*L.socket(6))  # taken while held: on the lines right after the release
        g.no_box(panel, "while the port is still held", 0.3)
        t_rel = holder.release()
    ctx.log(f"box seen {t_box - t_c:.2f} s after the claim; closed in {t_closed - t_closing:.2f} s")
    ctx.figures["claimed_elsewhere_box_s"] = round(t_box - t_c, 2)
    ctx.figures["claimed_elsewhere_box_close_s"] = round(t_closed - t_closing, 2)
    h.check(ctx.lines.changes(holder.started, t_rel) == [0xFF],
            f"while the other program held the port: {ctx.lines.held(holder.started, t_rel)}")
    t_back = ctx.lines.wait_value(132, after=t_rel)
    h.check(t_back is not None, "the panel did not take the port back after the release")
    ctx.figures["claimed_elsewhere_back_ms"] = round(1000 * (t_back - t_rel), 1)
    ctx.log(f"held {t_rel - t_c:.2f} s; lines back {1000 * (t_back - t_rel):.0f} ms after the "
            f"release")
    h.check(t_back - t_rel < 1.0, "the lines came back more than 1 s after the release")
    h.check(name == "denied", f"port held: the box reads as '{name}', expected 'denied'")
    g.no_box(panel, "after the other program", 0.5)
    h.check(panel.proc.poll() is None, "the panel ended")


def exclusive(ctx: Context) -> None:
    """Another program registers the port exclusively (PPEXCL), claims it and holds it until
    the panel has shown its box: busy, and nothing of the panel on the lines meanwhile."""
    t0 = time.monotonic()
    panel = ctx.panel(channels=(2,))
    h.check(ctx.lines.wait_value(8, after=t0) is not None, "the lines did not take 8")
    with g.Holder(0x55, exclusive=True) as holder:
        t_c = holder.wait_claimed()
        box = g.one_box(panel, "exclusive", steady=0.2)
        ctx.log(f"box seen {time.monotonic() - t_c:.2f} s after the claim")
        name = ctx.identify(panel, box, "exclusive")
        ctx.figures["exclusive_message"] = MESSAGES.get(name, name)
        t_rel = holder.release()
    h.check(ctx.lines.changes(holder.started, t_rel) == [0x55],
            f"while held exclusively: {ctx.lines.held(holder.started, t_rel)}")
    t_back = ctx.lines.wait_value(8, after=t_rel)
    h.check(t_back is not None, "the panel did not take the port back after the release")
    ctx.log(f"lines back {1000 * (t_back - t_rel):.0f} ms after the release")
    h.check(name == EXCLUSIVE_MESSAGE, f"held exclusively: the box reads as '{name}', "
                                       f"expected '{EXCLUSIVE_MESSAGE}'")
    h.check(len(g.box_ids(panel)) == 1, "more than one box")


# The port is there, only not to be had: busy, not missing.
EXCLUSIVE_MESSAGE = "denied"


def second_panel(ctx: Context) -> None:
    """A second panel on the same port: "Der Port wird von einem anderen Panel benutzt.", no
    byte of it on the lines; it takes over once the first ends."""
    t0 = time.monotonic()
    first = ctx.panel(channels=(1, 2))
    h.check(ctx.lines.wait_value(12, after=t0) is not None, "the lines did not take 12")
    t1 = time.monotonic()
    second = ctx.panel(channels=(6,))
    box = g.one_box(second, "second panel")
    name = ctx.identify(second, box, "second_panel")
    h.check(name == "panel", f"second panel: the box reads as '{name}'")
    ctx.unchanged_since(t1, "second panel")
    t_kill = time.monotonic()
    ctx.end(first)
    t = ctx.lines.wait_value(128, after=t_kill)
    h.check(t is not None, "the second panel did not take over when the first ended")
    ctx.log(f"the second took over {1000 * (t - t_kill):.0f} ms after the first was killed")
