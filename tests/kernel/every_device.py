# SPDX-License-Identifier: MIT
"""What the scenarios of every output device do alike: three channels clicked, a second
panel on a device the first one drives, and the running light read from a device's log of
(time, word) changes. Each device gives a function
`expect(word, after, label)` that returns the time its outputs took `word` at or after
`after`, or fails the scenario."""
from __future__ import annotations

import statistics
import time
from typing import Callable, List, Tuple

import harness as h
import guest_lib as g
from context import Context

L = h.LAYOUT
Events = List[Tuple[float, int]]
Expect = Callable[[int, float, str], float]


def click_channels(ctx: Context, panel: h.Panel, expect: Expect, words: Tuple[int, int],
                   said: str, figure: str) -> float:
    """Channel 3 on and off, then channels 1 and 6 on together; `words` are the device's words
    for channel 3 and for channels 1 and 6. The click-to-output time goes into the figure
    `figure`; `said` names what moved ("line 3 up"). Returns when channels 1 and 6 were
    clicked."""
    channel_3, channels_1_6 = words
    t0 = time.monotonic()
    panel.click(*L.socket(3))
    t = expect(channel_3, t0, "channel 3")
    ctx.log(f"channel 3: {said} {1000 * (t - t0):.0f} ms after the click was sent")
    ctx.figures[figure] = round(1000 * (t - t0), 1)
    time.sleep(0.6)  # a second click on the same spot at once would be a double click
    panel.click(*L.socket(3))
    expect(0, t, "channel 3 off")
    t1 = time.monotonic()
    panel.click(*L.socket(1))
    panel.click(*L.socket(6))
    expect(channels_1_6, t1, "channels 1 and 6")
    return t1


def from_first_step(events: Events, sweep: List[int]) -> Events:
    """The light's changes from its first step on (before it, the channels' word)."""
    events = list(events)
    while events and events[0][1] not in sweep:
        events.pop(0)
    return events


def wait_steps(count: Callable[[], int], needed: int = 21) -> None:
    h.check(h.wait_until(lambda: count() >= needed, g.DEADLINE, 0.1),
            f"running light: only {count()} steps in {g.DEADLINE} s")


def in_sweep_order(values: List[int], sweep: List[int], default: int = 0) -> List[int]:
    """`values` if they are the sweep at some phase, else the sweep from `default` as long."""
    phases = [[sweep[(k + i) % len(sweep)] for i in range(len(values))]
              for k in range(len(sweep))]
    return next((p for p in phases if p == values), phases[default])


def step_times(ctx: Context, events: Events, note: str = "") -> float:
    """Logs the light's step times and returns their median, in seconds."""
    gaps = [b[0] - a[0] for a, b in zip(events, events[1:])]
    median = statistics.median(gaps)
    ctx.log(f"running light: {len(events)} steps{note}, median step {1000 * median:.0f} ms, "
            f"min {1000 * min(gaps):.0f}, max {1000 * max(gaps):.0f}")
    return median


def second_panel(ctx: Context, port: List[str], expect: Expect, states: Callable[[float], Events],
                 words: Tuple[int, int], scenario: str) -> None:
    """A first panel with channel 1 on, then a second with channel 5 on the same `port`: the
    second shows "Der Port wird von einem anderen Panel benutzt." and nothing moves, until
    the first ends and the second takes over. `words` are the device's words for channel 1
    and for channel 5; `states(after)` the device's changes since `after`."""
    channel_1, channel_5 = words
    first = ctx.panel(channels=(1,), args=port)
    expect(channel_1, 0.0, "first panel")
    t1 = time.monotonic()
    second = ctx.panel(channels=(5,), args=port)
    box = g.one_box(second, "second panel")
    name = ctx.identify(second, box, scenario)
    h.check(name == "panel", f"second panel: the box reads as '{name}', expected 'panel'")
    h.check(not states(t1), f"second panel: the outputs moved: {states(t1)}")
    t_end = time.monotonic()
    ctx.end(first)
    t = expect(channel_5, t_end, "the second panel taking over")
    ctx.log(f"the second panel took over {1000 * (t - t_end):.0f} ms after the first ended")
