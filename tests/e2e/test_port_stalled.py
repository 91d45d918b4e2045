#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A FIFO standing in for the port whose reader stops reading (it stays open, the pipe full)
must not stop the panel: with port output on, one box "I/O-Fehler 21." opens (the stand-in is
not ready), it closes on Return, the panel keeps answering, and once the reader reads again the
bytes follow by themselves. Alt+F4 ends it with 0. Under wine the port is LPT1 linked to the
FIFO; there a write waits at most 100 ms."""
import time

import harness as h

L = h.LAYOUT
# Only a hang reaches these.
BOX_WITHIN = 30.0
BYTES_WITHIN = 30.0


def main(args):
    with h.launch(args, port="fifo", tools=("xprop",)) as (panel, reader):
        try:
            panel.wait_window()
            panel.click(*L.socket(2))
            h.switch_port_on(panel, reader)
            h.check(reader.wait_byte(8, BYTES_WITHIN) is not None, "channel 2's byte never came")

            reader.stall()
            t0 = time.monotonic()
            found = h.wait_until(panel.boxes, BOX_WITHIN, 0.05)
            h.check(found, f"no box within {BOX_WITHIN:.0f} s with the port's reader stalled")
            print(f"box {time.monotonic() - t0:.2f} s after the reader stalled")
            texts = panel.box_texts()
            h.check(texts is None or texts == ["I/O-Fehler 21."],
                    f"box texts {texts}, expected one 'I/O-Fehler 21.'")
            panel.focus(found[0].id)
            panel.key("Return")
            h.check(h.wait_until(lambda: not panel.boxes(), BOX_WITHIN, 0.05),
                    "the box did not close: the panel is stuck")

            t_resume = time.monotonic()
            reader.resume()
            h.check(reader.wait_byte(8, BYTES_WITHIN, after=t_resume) is not None,
                    "the bytes did not follow once the reader read again")
            print(f"bytes again {time.monotonic() - t_resume:.2f} s after the reader resumed")

            panel.close()
            rc = panel.wait_exit(BOX_WITHIN)
            h.check(rc == 0, f"exit code after Alt+F4 is {rc}, expected 0")
        except AssertionError:
            h.save_artifacts(args, "port_stalled", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
