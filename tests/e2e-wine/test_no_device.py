#!/usr/bin/env python3
"""Windows program under wine with no LPT1: switching port output on opens exactly one box,
titled "pio-out" and saying "Datei nicht gefunden."; while output stays on no other box
follows, also after it is closed; Alt+F4 still ends the program with exit code 0."""
import time

import winepanel as w

h = w.h
L = h.LAYOUT


def main(args):
    with w.wine_panel(args, port=False, winedebug="-all,+msgbox") as (panel, _):
        try:
            panel.wait_window(20)
            time.sleep(0.3)
            h.check(not w.boxes(panel), "a box is open before pout was switched on")

            panel.double_click(*L.switch("pout"))
            found = h.wait_until(lambda: w.boxes(panel), 3.0, 0.05)
            h.check(found, "no box within 3 s after switching pout on without LPT1")
            for _ in range(10):  # refreshes go on every 10 ms; none may open another box
                time.sleep(0.1)
                now = w.boxes(panel)
                h.check(len(now) == 1, f"{len(now)} boxes open: {now}")
            box = now[0]
            title = h.window_property(panel.env, box.id, "WM_NAME")
            h.check(title.endswith('= "pio-out"'), f"box title {title!r}, expected pio-out")
            texts = w.box_texts(panel)
            h.check(texts == ["Datei nicht gefunden."],
                    f"box texts {texts}, expected one 'Datei nicht gefunden.'")

            panel.focus(box.id)
            panel.key("Return")  # OK is the default button
            gone = h.wait_until(lambda: not w.boxes(panel), 2.0, 0.05)
            h.check(gone, "the box did not close on Return")
            end = time.monotonic() + 2.0
            while time.monotonic() < end:
                again = w.boxes(panel)
                h.check(not again, f"another box opened after the first was closed: {again}")
                time.sleep(0.1)
            h.check(len(w.box_texts(panel)) == 1, f"boxes shown: {w.box_texts(panel)}")

            panel.close()
            rc = panel.wait_exit(5)
            h.check(rc is not None, "Alt+F4 did not end the program within 5 s")
            h.check(rc == 0, f"exit code after Alt+F4 is {rc}, expected 0")
        except AssertionError:
            h.save_artifacts(args, "wine_no_device", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, w.parse_args(__doc__))
