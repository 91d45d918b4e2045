#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Without a port (/dev/parport0, under wine LPT1), switching port output on opens one stop box
("pio-out", "Datei nicht gefunden."); once it is closed no other box follows while output stays
on, and Alt+F4 still ends the program with exit code 0."""
import time

import harness as h

L = h.LAYOUT


def is_reddish(p):
    r, g, b = p
    return r > 150 and r > g + 60 and r > b + 60


def main(args):
    with h.launch(args, port="absent", tools=("xprop", "xwd")) as (panel, _):
        try:
            panel.wait_window()
            time.sleep(0.3)
            h.check(not panel.boxes(), "a box is open before pout was switched on")

            t_on = time.monotonic()
            panel.double_click(*L.switch("pout"))
            found = h.wait_until(panel.boxes, h.DEADLINE, 0.05)
            h.check(found, "no message box after switching pout on without a port")
            print(f"box seen {time.monotonic() - t_on:.2f} s after the double click was sent")
            # It stays one box: refreshes go on every 10 ms, none may open another.
            for _ in range(10):
                time.sleep(0.1)
                now = panel.boxes()
                h.check(len(now) == 1, f"{len(now)} boxes open: {now}")
            box = now[0]
            print(f"box {box.id:#x}: {box.width}x{box.height} at {box.x},{box.y}")
            h.check((box.width, box.height) != (340, 200), f"the box is panel-sized: {box}")
            title = h.window_property(panel.env, box.id, "WM_NAME")
            h.check(title.endswith('= "pio-out"'), f"box title {title!r}, expected pio-out")
            # It belongs to the panel (under wine to the panel's taskbar stand-in, which owns
            # the boxes).
            transient = h.window_property(panel.env, box.id, "WM_TRANSIENT_FOR")
            owners = [panel.window] + panel.stand_ins()
            h.check(any(f"{w:#x}" in transient for w in owners),
                    f"the box is not transient for the panel: {transient!r}")
            # Its text, where the platform lets it be read (wine logs it).
            texts = panel.box_texts()
            h.check(texts is None or texts == ["Datei nicht gefunden."],
                    f"box texts {texts}, expected one 'Datei nicht gefunden.'")

            # Its contents: more than a blank window, with the red of a stop icon (once its
            # text is drawn and it holds still).
            h.box_face(panel.env, box.id)
            img = h.screenshot(panel.env, window=box.id)
            colours = {img.pixel(px, py) for px in range(img.width) for py in range(img.height)}
            h.check(len(colours) > 10, f"the box shows only {len(colours)} colours")
            red = sum(1 for px in range(img.width // 3) for py in range(img.height)
                      if is_reddish(img.pixel(px, py)))
            h.check(red >= 30, f"no stop icon: {red} red pixels in the left third of the box "
                               f"(a greyed icon means the box is disabled)")

            # Close it with the keyboard: OK is the default button.
            panel.focus(box.id)
            panel.key("Return")
            gone = h.wait_until(lambda: not panel.boxes(), h.DEADLINE, 0.05)
            h.check(gone, "the box did not close on Return (focus on the box)")

            # pout is still on: no new box, also over the next 2 s.
            end = time.monotonic() + 2.0
            while time.monotonic() < end:
                again = panel.boxes()
                h.check(not again, f"another box opened after the first was closed: {again}")
                time.sleep(0.1)
            texts = panel.box_texts()
            h.check(texts is None or len(texts) == 1, f"boxes shown: {texts}")

            panel.close()
            rc = panel.wait_exit(h.DEADLINE)
            h.check(rc is not None, f"Alt+F4 did not end the program within {h.DEADLINE:.0f} s")
            h.check(rc == 0, f"exit code after Alt+F4 is {rc}, expected 0")
        except AssertionError:
            h.save_artifacts(args, "no_device", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
