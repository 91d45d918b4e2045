# SPDX-License-Identifier: MIT
"""Scenarios of the kernel rig about GPIO lines: a chip of the kernel's GPIO simulator
(gpio-sim, which rig.py builds for the kernel) with eight lines named pio0..pio7. The panel
drives lines 1..6, by offset (--port gpiochipN:1,2,3,4,5,6) or by name; lines 0 and 7 are
nobody's and must stay untouched. The simulator shows each line's level in sysfs; the
sampler of the data lines (PortSampler --files) reads them and logs each change with the
time. A word here has bit k for line k, so channel k is bit k."""
from __future__ import annotations

import fcntl
import os
import struct
import subprocess
import time
from typing import List, Optional, Tuple

import harness as h
import guest_lib as g
import every_device as every
from context import Context

L = h.LAYOUT
CONFIGFS = "/sys/kernel/config"
SIM = CONFIGFS + "/gpio-sim"
NUM_LINES = 8
OFFSETS = "1,2,3,4,5,6"
NAMES = ",".join(f"pio{k}" for k in range(1, 7))
OUTSIDE = 0x81  # lines 0 and 7
# The running light's sweep over channels 1..5 and back, as line words.
SWEEP = [4, 8, 16, 32, 64, 32, 16, 8, 4, 2]
# Written by rig.py when it could not build the simulator.
SIM_ERROR = "/run/rig-out/gpio-sim-error.txt"

# The kernel's GPIO uAPI v2 (linux/gpio.h): a line request of 592 bytes, its consumer at
# 256, its flags at 288, the number of lines at 560 and the request's descriptor at 588.
GPIO_V2_GET_LINE_IOCTL = (3 << 30) | (592 << 16) | (0xB4 << 8) | 0x07
GPIO_V2_LINE_FLAG_OUTPUT = 1 << 3


def read(path: str) -> str:
    with open(path) as f:
        return f.read().strip()


def write(path: str, text: str) -> None:
    with open(path, "w") as f:
        f.write(text)


class SimChip:
    """A gpio-sim chip of eight named lines, made through configfs while the scenario runs
    and taken down when it ends, with the log of its lines' levels."""

    def __init__(self, ctx: Context, name: str = "rig"):
        if os.path.exists(SIM_ERROR):
            raise AssertionError(read(SIM_ERROR))
        if not g.loaded("gpio_sim"):
            g.modprobe("gpio-sim")
        if not os.path.isdir(SIM):
            g.sh("mount", "-t", "configfs", "configfs", CONFIGFS)
        self.ctx = ctx
        self.dir = f"{SIM}/{name}"
        bank = f"{self.dir}/bank0"
        self._remove()  # what a scenario that failed half-way may have left
        os.mkdir(self.dir)
        os.mkdir(bank)
        write(f"{bank}/num_lines", str(NUM_LINES))
        for k in range(NUM_LINES):
            os.mkdir(f"{bank}/line{k}")
            write(f"{bank}/line{k}/name", f"pio{k}")
        write(f"{self.dir}/live", "1")
        self.chip = read(f"{bank}/chip_name")
        self.node = f"/dev/{self.chip}"
        device = read(f"{self.dir}/dev_name")
        self.values = [f"/sys/devices/platform/{device}/{self.chip}/sim_gpio{k}/value"
                       for k in range(NUM_LINES)]
        h.check(h.wait_until(lambda: os.path.exists(self.node), g.DEADLINE, 0.02),
                f"gpio-sim: no {self.node} within {g.DEADLINE} s")
        ctx.log(f"gpio-sim chip {self.chip} ({device}), {NUM_LINES} lines")
        self.lines = g.Lines(f"/tmp/gpio-{name}.log")
        if os.path.exists(self.lines.path):
            os.unlink(self.lines.path)
        self._sampler = h.spawn([ctx.sampler, self.lines.path, "--files"] + self.values,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if not h.wait_until(lambda: os.path.exists(self.lines.path) and self.lines.events(),
                            g.DEADLINE, 0.02):
            ended = self._sampler.poll() is not None
            h.kill_group(self._sampler)
            raise AssertionError("gpio-sim: the sampler logged nothing: "
                                 + (self._sampler.stderr.read().decode() if ended else ""))

    def states(self, after: float = 0.0) -> List[Tuple[float, int]]:
        return self.lines.since(after)

    def state(self) -> int:
        return self.lines.value()

    def wait_state(self, word: int, after: float) -> Optional[float]:
        """The time the lines took `word` at or after `after` (`after` itself when they held it
        then and nothing changed since), None after the deadline."""
        def find():
            if not self.states(after) and self.state() == word:
                return after
            return next((t for t, v in self.states(after) if v == word), None)
        return h.wait_until(find, g.DEADLINE, 0.02)

    def __enter__(self) -> "SimChip":
        return self

    def __exit__(self, *exc) -> None:
        self.ctx.end_panels()  # before the chip goes: a chip with lines requested stays
        h.kill_group(self._sampler)
        self._remove()

    def _remove(self) -> None:
        if not os.path.isdir(self.dir):
            return
        if read(f"{self.dir}/live") == "1":
            write(f"{self.dir}/live", "0")
        bank = f"{self.dir}/bank0"
        for k in range(NUM_LINES):
            if os.path.isdir(f"{bank}/line{k}"):
                os.rmdir(f"{bank}/line{k}")
        if os.path.isdir(bank):
            os.rmdir(bank)
        os.rmdir(self.dir)


def hold_line(chip: SimChip, offset: int, consumer: str) -> int:
    """Requests one line as an output at 0, as another program would; returns the request's
    descriptor (closing it gives the line back)."""
    request = bytearray(592)
    struct.pack_into("<I", request, 0, offset)
    request[256:256 + len(consumer)] = consumer.encode()
    struct.pack_into("<Q", request, 288, GPIO_V2_LINE_FLAG_OUTPUT)
    struct.pack_into("<I", request, 560, 1)
    fd = os.open(chip.node, os.O_RDWR | os.O_CLOEXEC)
    try:
        fcntl.ioctl(fd, GPIO_V2_GET_LINE_IOCTL, request)
    finally:
        os.close(fd)
    return struct.unpack_from("<i", request, 588)[0]


def expect_state(chip: SimChip, word: int, after: float, label: str) -> float:
    t = chip.wait_state(word, after)
    h.check(t is not None, f"{label}: the lines did not take {word:#04x} "
                           f"(they hold {chip.state():#04x})")
    return t


def outside_untouched(chip: SimChip, label: str) -> None:
    touched = [v for _, v in chip.states() if v & OUTSIDE]
    h.check(not touched, f"{label}: lines 0 or 7 changed: {touched[:10]}")


def gpio_clicks(ctx: Context) -> None:
    """Lines 1..6 by offset: channel 3 switches line 3 on and off, channels 1 and 6 lines 1 and
    6 together; the running light sweeps over lines 1..5 and back; lines 0 and 7 stay
    untouched throughout."""
    with SimChip(ctx) as chip:
        panel = ctx.panel(args=["--port", f"{chip.chip}:{OFFSETS}"])
        every.click_channels(ctx, panel, lambda w, a, l: expect_state(chip, w, a, l), (8, 66),
                             "line 3 up", "gpio_click_ms")
        panel.double_click(*L.switch("vl"))
        t_vl = time.monotonic()

        def steps():
            return every.from_first_step(chip.states(t_vl), SWEEP)

        every.wait_steps(lambda: len(steps()))
        events = steps()
        values = [v for _, v in events]
        expect = every.in_sweep_order(values, SWEEP)
        h.check(values == expect, f"running light: lines {values}, expected {expect}")
        every.step_times(ctx, events)
        outside_untouched(chip, "gpio_clicks")
        g.no_box(panel, "gpio_clicks", 0.5)


def gpio_names(ctx: Context) -> None:
    """The six lines named instead of numbered: channels 2 and 5 reach lines pio2 and pio5."""
    with SimChip(ctx) as chip:
        panel = ctx.panel(channels=(2, 5), args=["--port", f"{chip.chip}:{NAMES}"])
        expect_state(chip, 36, 0.0, "channels 2 and 5 by name")
        outside_untouched(chip, "gpio_names")
        g.no_box(panel, "gpio_names", 0.5)


def gpio_held(ctx: Context) -> None:
    """Another program holds line 4: one box "Dateizugriff verweigert." and no line moves;
    once it lets go, the lines follow the panel by themselves with no other box."""
    with SimChip(ctx) as chip:
        held = hold_line(chip, 4, "other-program")
        try:
            t0 = time.monotonic()
            panel = ctx.panel(channels=(2,), args=["--port", f"{chip.chip}:{OFFSETS}"])
            box = g.one_box(panel, "line held")
            name = ctx.identify(panel, box, "gpio_held")
            h.check(name == "denied", f"line held: the box reads as '{name}', expected 'denied'")
            h.check(not chip.states(t0), f"line held: the lines moved: {chip.states(t0)}")
        finally:
            os.close(held)
        t_free = time.monotonic()
        t = expect_state(chip, 4, t_free, "line given back")
        ctx.log(f"line 4 given back: line 2 up {1000 * (t - t_free):.0f} ms later")
        time.sleep(0.5)  # a box for the take-over would come with the cycle that set the lines
        h.check(g.box_ids(panel) == [box], "another box opened after the line was given back")


def gpio_second_panel(ctx: Context) -> None:
    """A second panel on the lines the first one drives: "Der Port wird von einem anderen
    Panel benutzt." and the lines keep the first one's word; it takes over once the first
    ends."""
    with SimChip(ctx) as chip:
        every.second_panel(ctx, ["--port", f"{chip.chip}:{OFFSETS}"],
                           lambda w, a, l: expect_state(chip, w, a, l), chip.states, (2, 32),
                           "gpio_second_panel")


def gpio_off_and_exit(ctx: Context) -> None:
    """Port output switched off, then the panel ended: each time the lines are given back at
    once, so another program may request them; what a released line shows is the chip
    driver's (gpio-sim returns it to its pull, low here), and both are logged."""
    with SimChip(ctx) as chip:
        port = ["--port", f"{chip.chip}:{OFFSETS}"]
        panel = ctx.panel(channels=(2, 3), args=port)
        expect_state(chip, 12, 0.0, "channels 2 and 3")
        t_off = time.monotonic()
        panel.double_click(*L.switch("pout"))
        g.wait_switch(panel, "pout", panel.pout_off, "port output off")
        take_when_free(chip, 2, "port output off")
        ctx.log(f"port output off: lines {[hex(v) for _, v in chip.states(t_off)]}")
        panel.double_click(*L.switch("pout"))
        expect_state(chip, 12, time.monotonic(), "port output on again")
        t_end = time.monotonic()
        ctx.end(panel)
        take_when_free(chip, 3, "panel ended")
        ctx.log(f"panel ended: lines {[hex(v) for _, v in chip.states(t_end)]}")
        outside_untouched(chip, "gpio_off_and_exit")


def take_when_free(chip: SimChip, offset: int, label: str) -> None:
    """Waits until another program can request line `offset`, then gives it back."""
    taken: List[int] = []

    def attempt() -> bool:
        try:
            taken.append(hold_line(chip, offset, "other-program"))
            return True
        except OSError:
            return False

    h.check(h.wait_until(attempt, g.DEADLINE, 0.05), f"{label}: line {offset} stayed requested")
    os.close(taken[0])
