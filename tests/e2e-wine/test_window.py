#!/usr/bin/env python3
"""Windows program under wine: the main window is 340x200 at 321,112, has no border, shows
the painted panel and is titled after the program file ("Schalt-Tafel.exe" gives
"Schalt-tafel"); Alt+F4 ends the program with exit code 0."""
import time

import winepanel as w

h = w.h


def main(args):
    with w.wine_panel(args, port=False, exe="Schalt-Tafel.exe") as (panel, _):
        try:
            wid = panel.wait_window(20)
            info = h.window_info(panel.env, wid)
            h.check((info.x, info.y) == (321, 112),
                    f"window at {info.x},{info.y}, expected 321,112")
            h.check((info.width, info.height) == (340, 200),
                    f"window is {info.width}x{info.height}, expected 340x200")
            h.check(info.border == 0, f"window has a {info.border} px X border")
            h.check(info.parent == info.root, f"window {wid:#x} is inside {info.parent:#x}")
            title = h.window_property(panel.env, wid, "WM_NAME")
            h.check(title.endswith('= "Schalt-tafel"'), f"WM_NAME is {title!r}")
            h.check(not w.boxes(panel), f"windows besides the panel: {w.boxes(panel)}")
            img = panel.grab()
            colours = {img.pixel(px, py) for px in range(0, 340, 7) for py in range(0, 200, 7)}
            h.check(len(colours) > 3, f"window shows only {len(colours)} colours")

            panel.focus()
            t0 = time.monotonic()
            panel.key("alt+F4")
            rc = panel.wait_exit(5)
            h.check(rc is not None, "Alt+F4 did not end the program within 5 s")
            h.check(rc == 0, f"exit code after Alt+F4 is {rc}, expected 0")
            print(f"closed {time.monotonic() - t0:.3f} s after Alt+F4")
        except AssertionError:
            h.save_artifacts(args, "wine_window", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, w.parse_args(__doc__))
