#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A port failure that comes while a box is open is reported once that box is closed.

With port output on, the port is taken away: one box ("Datei nicht gefunden."). While it is
open the port comes back (the bytes flow again: the refresh goes on behind the box) and goes
away once more: still one box, since at most one is open. Closing it brings exactly one new
box for the new failure, and no bytes. While that one is open, a directory takes the port's
place; closing it brings one box "I/O-Fehler 1." (no port, so nothing is written). Alt+F4 then ends the program with 0.

Which message a box shows is told by its text area, compared pixel for pixel with boxes of
known messages drawn on a screen of the same size: a panel without a port ("Datei nicht
gefunden.") and one whose port is a directory ("I/O-Fehler 1.")."""
import time

import harness as h

L = h.LAYOUT


def boxes(panel):
    return [w for w in panel.windows() if w.id != panel.window]


def reference(binary, make_dir):
    """The text area of the box a panel shows for a missing port, or a directory."""
    with h.Xvfb() as x, h.Panel(binary, x, port=None, namespace=True) as panel:
        panel.wait_window()
        if make_dir:
            panel.in_namespace(["mkdir", "/dev/parport0"])
        panel.double_click(*L.switch("pout"))
        found = h.wait_until(lambda: boxes(panel), h.DEADLINE, 0.05)
        h.check(found, f"reference ({'directory' if make_dir else 'no port'}): no box")
        return h.box_face(panel.env, found[0].id)


def only_box(panel, label):
    found = boxes(panel)
    h.check(len(found) == 1, f"{label}: {len(found)} boxes open, expected one: {found}")
    return found[0]


def close(panel, box):
    panel.focus(box.id)
    panel.key("Return")
    gone = h.wait_until(lambda: box.id not in [w.id for w in boxes(panel)], h.DEADLINE, 0.05)
    h.check(gone, f"box {box.id:#x} did not close on Return")


def new_box(panel, old_ids, label, timeout=h.DEADLINE):
    found = h.wait_until(lambda: [w for w in boxes(panel) if w.id not in old_ids], timeout, 0.05)
    h.check(found, f"{label}: no new box within {timeout} s")
    time.sleep(0.3)
    return only_box(panel, label)


def stays_one(panel, box, seconds, label):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        now = boxes(panel)
        h.check([w.id for w in now] == [box.id], f"{label}: boxes {now}, expected only "
                                                 f"{box.id:#x}")
        time.sleep(0.1)


def main(args):
    h.require_root()  # the reference boxes below are made in a private mount namespace too
    h.require_tools("xwd", "nsenter", "umount", "mount")
    missing = reference(args.binary, make_dir=False)
    directory = reference(args.binary, make_dir=True)
    h.check(missing != directory, "the two reference boxes look the same")
    with h.panel_with_port(args.binary, "xwd", "nsenter", "umount", "mount") as (panel, reader):
        try:
            panel.wait_window()
            h.switch_port_on(panel, reader)

            panel.remove_port()
            first = new_box(panel, set(), "port removed")
            h.check(h.box_face(panel.env, first.id) == missing,
                    "the first box does not say \"Datei nicht gefunden.\"")
            print(f"port removed: box {first.id:#x}")

            # Back while the box is open: bytes flow behind it.
            t = time.monotonic()
            panel.restore_port()
            h.check(h.wait_until(lambda: len(reader.since(t)) >= 5, h.DEADLINE),
                    "no bytes after the port came back while the box was open")
            n = reader.count()
            h.check(reader.wait_count(n + 5, h.DEADLINE),
                    "bytes do not keep flowing behind the box")
            only_box(panel, "port back")
            print(f"port back: {len(reader.since(t))} bytes while the box is open")

            # Gone again: the box that is open is the only one.
            panel.remove_port()
            t_gone = time.monotonic()
            stays_one(panel, first, 1.0, "port gone again")

            # Closing it reports the new failure: exactly one new box, and no bytes.
            close(panel, first)
            t_closed = time.monotonic()
            second = new_box(panel, {first.id}, "after closing the first box")
            h.check(h.box_face(panel.env, second.id) == missing,
                    "the second box does not say \"Datei nicht gefunden.\"")
            stays_one(panel, second, 1.0, "second box")
            late = [e for e in reader.since(t_gone + 0.1)]
            h.check(not late, f"{len(late)} bytes reached the port after it went away again")
            print(f"second box {second.id:#x} "
                  f"{time.monotonic() - t_closed:.2f} s after closing the first")

            # A directory where the port was, while the second box is open.
            panel.in_namespace(["mkdir", "/dev/parport0"])
            time.sleep(0.5)
            stays_one(panel, second, 0.3, "directory at the port path")
            close(panel, second)
            third = new_box(panel, {first.id, second.id}, "after closing the second box")
            h.check(h.box_face(panel.env, third.id) == directory,
                    "the third box does not say \"I/O-Fehler 1117.\"")
            stays_one(panel, third, 0.5, "third box")
            print(f"third box {third.id:#x}: I/O-Fehler 1117.")

            close(panel, third)
            panel.close()
            rc = panel.wait_exit(h.DEADLINE)
            h.check(rc == 0, f"exit code {rc} after Alt+F4, expected 0")
        except AssertionError:
            h.save_artifacts(args, "failure_during_box", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
