# SPDX-License-Identifier: MIT
"""Scenarios of the kernel rig with the Windows program (rig.py --wine; what wine needs in
the machine is in wine_rig.py): pio-out.exe under wine drives a relay board made through
uhid, which it reaches through wine's HID bus, hidraw and the kernel's HID core, as under
wine on a Linux desktop with a real board. The board logs what it is sent, as in the relay
scenarios of the Linux program (relay_scenarios.py)."""
from __future__ import annotations

import os
import time
import types

import harness as h
import guest_lib as g
import winepanel
from context import Context
from relay_scenarios import IDLE_SECONDS, RelayBoard, expect_state

L = h.LAYOUT
WINEBUS = r"HKLM\System\CurrentControlSet\Services\winebus"
# Wine under emulation: its first start in the machine took 40-130 s, and the panel's window
# came 100-140 s after the program's start (on a busy host); a wait this long is for a hang.
WINE_START = 6 * g.DEADLINE


def wine_args() -> types.SimpleNamespace:
    """What winepanel wants, from what rig.py passed in."""
    return types.SimpleNamespace(binary=os.environ["PIO_WINE"],
                                 wine_run=os.environ["PIO_WINE_RUN"],
                                 wineserver="wineserver", prefix=os.environ["PIO_PREFIX"])


def sdl_off(ctx: Context, args: types.SimpleNamespace) -> None:
    """winebus's SDL backend off in the machine's copy of the prefix, so that its udev backend
    starts and opens hidraw nodes; read at wine's next start."""
    env = h.clean_env()
    env.update(PIO_WINEPREFIX=args.prefix, WINEDEBUG="-all")
    t0 = time.monotonic()
    h.run_tool([args.wine_run, "reg", "add", WINEBUS, "/v", "Enable SDL", "/t", "REG_DWORD",
                "/d", "0", "/f"], env, timeout=WINE_START)
    ctx.log(f"winebus's SDL backend switched off in {time.monotonic() - t0:.0f} s")


def wine_usb_clicks(ctx: Context) -> None:
    """An 8-relay board with --port USB: channel 3 and the port switch bring relay 3 on and
    channel 6 relay 6, each with one report; with nothing to change, next to no reports; no
    box."""
    args = wine_args()
    winepanel.WinePanel.WINDOW_TIMEOUT = WINE_START
    with RelayBoard(ctx, 8, "RIGWN") as board:
        sdl_off(ctx, args)
        # The prefix's server stopped on entry: the next start reads the setting.
        with winepanel.WinePrefix(args, None) as prefix, \
                winepanel.WinePanel(args.wine_run, ctx.xvfb, namespace=False,
                                    args=[args.binary, "--port", "USB"],
                                    env=prefix.env("-all,+msgbox")) as panel:
            panel.wait_window()
            ctx.log(f"panel up {time.monotonic() - panel.started_at:.0f} s after its start")
            panel.click(*L.socket(3))
            h.check(not board.sets(), f"port output off: {[s.hex() for s in board.sets()]}")
            t_on = time.monotonic()
            panel.double_click(*L.switch("pout"))
            t = expect_state(board, 4, t_on, "channel 3 and port output on")
            ctx.log(f"relay 3 on {1000 * (t - t_on):.0f} ms after the double click began")
            t_click = time.monotonic()
            panel.click(*L.socket(6))
            t = expect_state(board, 36, t_click, "channel 6")
            ctx.log(f"relay 6 on {1000 * (t - t_click):.0f} ms after the click began")
            ctx.figures["wine_relay_click_ms"] = round(1000 * (t - t_click), 1)
            sent = [s.hex() for s in board.sets()]
            h.check(sent == ["00ff03000000000000", "00ff06000000000000"],
                    f"reports sent: {sent}")
            time.sleep(0.5)  # past the cycle that switched relay 6
            t0 = time.monotonic()
            time.sleep(IDLE_SECONDS)
            count = board.reports(t0, time.monotonic())
            ctx.log(f"idle: {count} reports in {IDLE_SECONDS:.0f} s")
            h.check(count <= IDLE_SECONDS, f"idle: {count} reports in {IDLE_SECONDS:.0f} s")
            h.check(board.state() == 36, f"idle: the relays hold {board.state()}")
            h.check(not panel.box_texts(), f"boxes: {panel.box_texts()}")
