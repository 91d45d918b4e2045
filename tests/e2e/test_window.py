#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The main window: borderless, 340x200 at 321,112, showing the painted panel and titled after
the program file (a copy named "Schalt-Tafel" or, under wine, "Schalt-Tafel.exe" gives
"Schalt-tafel"); no other window; Alt+F4 ends the program with exit code 0."""
import re
import time

import harness as h


def main(args):
    with h.launch(args, name="Schalt-Tafel", tools=("xprop", "xwd")) as (panel, _):
        try:
            wid = panel.wait_window()
            info = h.window_info(panel.env, wid)
            h.check((info.x, info.y) == (321, 112),
                    f"window at {info.x},{info.y}, expected 321,112")
            h.check((info.width, info.height) == (340, 200),
                    f"window is {info.width}x{info.height}, expected 340x200")
            h.check(info.border == 0, f"window has a {info.border} px X border")
            # No frame: the window is a direct child of the root, and its frame geometry
            # (xwininfo -frame) is its own geometry.
            h.check(info.parent == info.root,
                    f"window {wid:#x} is reparented into {info.parent:#x}")
            frame = h.run_tool(["xwininfo", "-frame", "-id", str(wid)], panel.env).stdout
            fw = int(re.search(r"Width:\s*(\d+)", frame).group(1))
            fh = int(re.search(r"Height:\s*(\d+)", frame).group(1))
            h.check((fw, fh) == (340, 200), f"frame geometry {fw}x{fh} differs from the window")
            # Asks window managers for no decoration: _MOTIF_WM_HINTS with the decorations
            # flag (bit 1) set and the decorations word 0.
            motif = h.window_property(panel.env, wid, "_MOTIF_WM_HINTS")
            words = [int(v, 16) for v in re.findall(r"0x[0-9a-fA-F]+", motif)]
            h.check(len(words) >= 3 and words[0] & 2 and words[2] == 0,
                    f"window does not ask for no decorations: {motif!r}")
            # The title, as window managers and xdotool see it.
            for prop in ("WM_NAME", "_NET_WM_NAME"):
                value = h.window_property(panel.env, wid, prop)
                h.check(value.endswith('= "Schalt-tafel"'), f"{prop} is {value!r}")
            stand_ins = panel.stand_ins()
            found = [w for w in h.visible_windows(panel.env, name="^Schalt-tafel$")
                     if w not in stand_ins]
            h.check(found == [wid],
                    f"visible windows named Schalt-tafel: {found}, expected [{wid}]")
            h.check(not panel.boxes(), f"windows besides the panel: {panel.boxes()}")
            # The panel was painted (not a blank window): its background is not uniform.
            img = panel.grab()
            colours = {img.pixel(px, py) for px in range(0, 340, 7) for py in range(0, 200, 7)}
            h.check(len(colours) > 3, f"window shows only {len(colours)} colours")

            panel.focus()
            t0 = time.monotonic()
            panel.key("alt+F4")
            rc = panel.wait_exit(h.DEADLINE)
            h.check(rc is not None, f"Alt+F4 did not end the program within {h.DEADLINE:.0f} s")
            h.check(rc == 0, f"exit code after Alt+F4 is {rc}, expected 0")
            print(f"closed {time.monotonic() - t0:.3f} s after Alt+F4")
        except AssertionError:
            h.save_artifacts(args, "window", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
