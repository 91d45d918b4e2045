# SPDX-License-Identifier: MIT
"""Scenarios of the kernel rig about USB relay boards: a board made through uhid
(relay_board.py) stands behind the kernel's HID core and hidraw as a real one would, and
the panel drives it with --port USB, USB:<serial> or its node. Channel k is relay k; the
board logs each change of its relays with the time, as the sampler does for the data
lines, and each report it is sent or asked for."""
from __future__ import annotations

import os
import subprocess
import time
from typing import List, Optional, Tuple

import harness as h
import guest_lib as g
import every_device as every
from context import Context

L = h.LAYOUT
HERE = os.path.dirname(os.path.abspath(__file__))
SYSFS = "/sys/class/hidraw"
# The running light's sweep as relays: the data-line sweep (D2 = channel 1) shifted down.
SWEEP = [2, 4, 8, 16, 32, 16, 8, 4, 2, 1]
# How long a board without anything to change is watched for reports.
IDLE_SECONDS = 5.0


def uevent(name: str) -> dict:
    try:
        with open(f"{SYSFS}/{name}/device/uevent") as f:
            return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
    except OSError:
        return {}


class RelayBoard:
    """A relay board plugged in through uhid while the scenario runs (relay_board.py in a
    child); unplugged when it ends, also after a failure."""

    def __init__(self, ctx: Context, relays: int, serial: str):
        if not g.loaded("uhid"):
            g.modprobe("uhid", "hid-generic")
        self.ctx = ctx
        self.serial = serial
        self.log_path = f"/tmp/relay-{serial}.log"
        if os.path.exists(self.log_path):
            os.unlink(self.log_path)
        self.proc = h.spawn(["python3", os.path.join(HERE, "relay_board.py"), self.log_path,
                             str(relays), serial],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)
        self.node = ""
        self.plug()

    def _command(self, word: str) -> float:
        try:
            self.proc.stdin.write(word + "\n")
            self.proc.stdin.flush()
        except BrokenPipeError:
            pass  # it ended: what it said is read below
        line = self.proc.stdout.readline()
        if not line.startswith("ok "):
            rest = line + self.proc.stdout.read()  # it prints nothing else but its end
            raise AssertionError(f"board {self.serial}: {word}: {rest.strip()}")
        return float(line.split()[1])

    def _find(self) -> Optional[str]:
        for name in os.listdir(SYSFS) if os.path.isdir(SYSFS) else []:
            if uevent(name).get("HID_UNIQ") == self.serial and os.path.exists(f"/dev/{name}"):
                return f"/dev/{name}"
        return None

    def plug(self) -> float:
        t = self._command("create")
        node = h.wait_until(self._find, g.DEADLINE, 0.02)
        h.check(node, f"board {self.serial}: no hidraw node within {g.DEADLINE} s")
        self.node = node
        self.ctx.log(f"board {self.serial} plugged in as {node}")
        return t

    def unplug(self) -> float:
        t = self._command("destroy")
        h.check(h.wait_until(lambda: not os.path.exists(self.node), g.DEADLINE, 0.02),
                f"board {self.serial}: {self.node} stayed after the unplug")
        return t

    def entries(self) -> List[Tuple[float, str, str]]:
        out = []
        with open(self.log_path) as f:
            for line in f:
                parts = line.split(maxsplit=2)
                if len(parts) >= 2:
                    out.append((float(parts[0]), parts[1], parts[2].strip() if parts[2:] else ""))
        return out

    def states(self, after: float = 0.0) -> List[Tuple[float, int]]:
        return [(t, int(v)) for t, kind, v in self.entries() if kind == "state" and t >= after]

    def state(self) -> int:
        """The relays that are on now (the last state since the last plug-in)."""
        value = 0
        for _, kind, v in self.entries():
            value = int(v) if kind == "state" else 0 if kind == "created" else value
        return value

    def reports(self, t0: float, t1: float) -> int:
        return len([e for e in self.entries() if e[1] in ("get", "set") and t0 <= e[0] < t1])

    def sets(self, after: float = 0.0) -> List[bytes]:
        return [bytes.fromhex(v) for t, kind, v in self.entries() if kind == "set" and t >= after]

    def wait_state(self, mask: int, after: float) -> Optional[float]:
        """The time the relays took `mask` at or after `after` (or `after` itself if they hold
        it then and nothing changed since), None after the deadline."""
        def find():
            if not self.states(after) and self.state() == mask:
                return after
            return next((t for t, v in self.states(after) if v == mask), None)
        return h.wait_until(find, g.DEADLINE, 0.02)

    def __enter__(self) -> "RelayBoard":
        return self

    def __exit__(self, *exc) -> None:
        h.kill_group(self.proc)


def expect_state(board: RelayBoard, mask: int, after: float, label: str) -> float:
    t = board.wait_state(mask, after)
    h.check(t is not None, f"{label}: the relays did not take {mask} (they hold {board.state()})")
    return t


def usb_clicks(ctx: Context) -> None:
    """An 8-relay board with --port USB: channel 3 switches relay 3 on and off, channels 1 and
    6 relays 1 and 6; the running light sweeps over relays 1..5 and back; relays 7 and 8,
    without a channel, stay off throughout."""
    with RelayBoard(ctx, 8, "RIG08") as board:
        panel = ctx.panel(args=["--port", "USB"])
        t1 = every.click_channels(ctx, panel, lambda w, a, l: expect_state(board, w, a, l),
                                  (4, 33), "relay 3 on", "relay_click_ms")
        seen = sorted({v for _, v in board.states(t1)})
        h.check(set(seen) <= {0, 1, 32, 33}, f"channels 1 and 6: states {seen} on the way")

        panel.double_click(*L.switch("vl"))
        t_vl = time.monotonic()

        def relay_steps():
            """The light's steps so far, from its first one on, and the states between two
            steps: the board takes one relay per report, so on the way from one step to the
            next it holds both relays or neither for a moment."""
            events = every.from_first_step(board.states(t_vl), SWEEP)
            steps, odd, passing = [], [], []
            for t, v in events:
                if v not in SWEEP:
                    passing.append(v)
                    continue
                if steps:
                    last = steps[-1][1]
                    odd += [p for p in passing if p not in (last | v, last & v)]
                steps.append((t, v))
                passing = []
            return steps, odd

        every.wait_steps(lambda: len(relay_steps()[0]))
        events, odd = relay_steps()
        values = [v for _, v in events]
        expect = every.in_sweep_order(values, SWEEP)
        h.check(values == expect, f"running light: relays {values}, expected {expect}")
        h.check(not odd, f"running light: states {odd} between its steps")
        median = every.step_times(ctx, events)
        ctx.figures["relay_light_step_ms"] = round(1000 * median, 1)
        beyond = [v for _, v in board.states() if v & 0xC0]
        h.check(not beyond, f"relays 7 or 8 switched: {beyond[:10]}")
        g.no_box(panel, "8-relay board", 0.5)


def usb_two_relays(ctx: Context) -> None:
    """A 2-relay board: channels 1, 2, 5 and 6 on switch relays 1 and 2 and nothing else, with
    no box; then, with nothing to change, the panel sends the board next to no reports (its
    cycles ask the driver only)."""
    with RelayBoard(ctx, 2, "RIG02") as board:
        panel = ctx.panel(channels=(1, 2, 5, 6), args=["--port", "USB"])
        expect_state(board, 3, 0.0, "channels 1, 2, 5, 6")
        ctx.log(f"relays 1 and 2 on; commands {[s.hex() for s in board.sets()]}")
        wrong = [s.hex() for s in board.sets() if s[1] in (0xFF, 0xFD) and not 1 <= s[2] <= 2]
        h.check(not wrong, f"commands for relays the board does not have: {wrong}")
        time.sleep(0.5)  # past the cycle that switched the last relay
        t0 = time.monotonic()
        g.no_box(panel, "2-relay board", IDLE_SECONDS)
        t1 = time.monotonic()
        count = board.reports(t0, t1)
        rate = count / (t1 - t0)
        ctx.log(f"idle: {count} reports in {t1 - t0:.1f} s ({rate:.2f}/s)")
        ctx.figures["relay_idle_reports_per_s"] = round(rate, 2)
        h.check(rate <= 1.0, f"idle: {rate:.1f} reports per second to a board with nothing "
                             f"to change")
        h.check(board.state() == 3, f"idle: the relays hold {board.state()}")


def usb_unplug(ctx: Context) -> None:
    """The board unplugged while port output is on: exactly one box "Datei nicht gefunden.";
    plugged in again (every relay off, as after power-up), the relays follow the panel by
    themselves and no other box opens."""
    with RelayBoard(ctx, 8, "RIGUP") as board:
        panel = ctx.panel(channels=(2, 4), args=["--port", "USB"])
        expect_state(board, 10, 0.0, "channels 2 and 4")
        board.unplug()
        box = g.one_box(panel, "board unplugged")
        name = ctx.identify(panel, box, "usb_unplug")
        h.check(name == "notfound", f"unplugged: the box reads as '{name}', expected 'notfound'")
        t_plug = board.plug()
        t = expect_state(board, 10, t_plug, "plugged in again")
        ctx.log(f"plugged in again: relays 2 and 4 on after {1000 * (t - t_plug):.0f} ms")
        h.check(box_ids_after(panel) == [box], "another box opened after the replug")


def box_ids_after(panel: h.Panel) -> List[int]:
    time.sleep(0.5)  # a box for the replug would come with the cycle that switched the relays
    return g.box_ids(panel)


def usb_denied(ctx: Context) -> None:
    """The board's node 0600 root and the panel a user's: one box "Dateizugriff verweigert."
    and not a report reaches the board."""
    with RelayBoard(ctx, 2, "RIGNA") as board:
        os.chmod(board.node, 0o600)
        os.chown(board.node, 0, 0)
        t0 = time.monotonic()
        panel = ctx.panel("outsider", channels=(1,), args=["--port", "USB"])
        box = g.one_box(panel, "no access")
        name = ctx.identify(panel, box, "usb_denied")
        h.check(name == "denied", f"no access: the box reads as '{name}', expected 'denied'")
        h.check(board.reports(t0, time.monotonic()) == 0, "reports reached the board")


def usb_serials(ctx: Context) -> None:
    """Two boards; --port USB:<serial> drives the one with that serial only."""
    with RelayBoard(ctx, 8, "RIGAA") as first, RelayBoard(ctx, 8, "RIGBB") as second:
        t0 = time.monotonic()
        panel = ctx.panel(channels=(4,), args=["--port", "USB:RIGBB"])
        expect_state(second, 8, t0, "USB:RIGBB")
        h.check(not first.sets(), f"RIGAA was sent {[s.hex() for s in first.sets()]}")
        h.check(first.state() == 0, f"RIGAA holds {first.state()}")
        g.no_box(panel, "USB:RIGBB", 0.5)


def usb_second_panel(ctx: Context) -> None:
    """A second panel on the board the first one drives: "Der Port wird von einem anderen
    Panel benutzt." and the board keeps the first one's relays; it takes over once the first
    ends."""
    with RelayBoard(ctx, 8, "RIG2P") as board:
        every.second_panel(ctx, ["--port", "USB"],
                           lambda w, a, l: expect_state(board, w, a, l), board.states, (1, 16),
                           "usb_second_panel")


def usb_node(ctx: Context) -> None:
    """The board's hidraw node named on the command line: the panel asks the driver itself
    whether it is a relay board and how many relays it has (2: channel 4 drives nothing)."""
    with RelayBoard(ctx, 2, "RIGND") as board:
        panel = ctx.panel(channels=(2, 4), args=["--port", board.node])
        expect_state(board, 2, 0.0, f"--port {board.node}")
        wrong = [s.hex() for s in board.sets() if s[1] in (0xFF, 0xFD) and not 1 <= s[2] <= 2]
        h.check(not wrong, f"commands for relays the board does not have: {wrong}")
        g.no_box(panel, f"--port {board.node}", 0.5)
