#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Out of descriptors while the port works: with the limit lowered to the count in use, the
port cycle (which opens the port every tick) fails with "Zu viele Dateien geoeffnet". The box
that reports it is mapped and drawn - its own background, its text in anti-aliased glyphs,
not empty squares and not whatever was on the screen below it - and can be closed, with
Return the first time and with a click on OK the second. The panel goes on afterwards (the
port gets its bytes again once the box has given back what it used). A third time the limit
leaves nothing at all, not even what the program keeps in reserve: the box is still drawn and
closed, the port stays without bytes with no second box for the same failure, and Alt+F4
ends the program with exit code 0."""
import os
import subprocess
import time
from collections import Counter

import harness as h

L = h.LAYOUT


def boxes(panel):
    return [w for w in panel.windows() if w.id != panel.window]


def descriptors(pid):
    return sorted(int(n) for n in os.listdir(f"/proc/{pid}/fd"))


def lowest_free(pid):
    fds = set(descriptors(pid))
    return next(i for i in range(len(fds) + 1) if i not in fds)


def limit_to_open(panel):
    """Lowers the descriptor limit so that the next open fails: to the lowest number not in
    use. While every number below the count is taken that is the count of open descriptors;
    after a first box some low numbers may be free and higher ones taken, and the higher ones
    stay open under a limit below them.
    The port cycle holds the port open for a moment every tick, on that very number. A look
    that falls into the moment sees the number taken and the next one free, and a limit one
    higher lets the port open forever. So the number is the lowest seen free in looks spread
    over many ticks."""
    n = lowest_free(panel.pid)
    for _ in range(24):
        time.sleep(0.02)
        n = min(n, lowest_free(panel.pid))
    h.run_tool(["prlimit", "--pid", str(panel.pid), f"--nofile={n}:{n}"], panel.env)
    return n


def check_drawn(img, label):
    """The box's own pixels: its background covers most of it, and its text is drawn."""
    counts = Counter(img.pixel(x, y) for x in range(img.width) for y in range(img.height))
    top, top_count = counts.most_common(1)[0]
    share = top_count / float(img.width * img.height)
    print(f"{label}: {img.width}x{img.height}, background {top} on {share:.0%}")
    h.check(min(top) > 200 and share > 0.5,
            f"{label}: not drawn - its most common colour is {top} on {share:.0%} "
            f"(a box shows its light background on most of it)")
    # The text: right of the icon, upper part. Glyphs bring dark pixels and the mid tones of
    # their smoothed edges; a font that could not be opened gives empty squares, which have
    # hardly any mid tones.
    area = [img.pixel(x, y) for x in range(60, img.width) for y in range(0, img.height * 3 // 5)]
    dark = sum(1 for p in area if sum(p) < 300)
    mid = len({p for p in area if 150 < sum(p) < 600})
    print(f"{label}: text area {dark} dark pixels, {mid} mid tones")
    h.check(dark >= 100, f"{label}: no text in the box ({dark} dark pixels)")
    h.check(mid >= 30, f"{label}: the text is not drawn in glyphs ({mid} mid tones; "
                       f"empty squares for want of a font file?)")


def episode(panel, reader, label, close, goes_on=True):
    n = limit_to_open(panel)
    t_limit = time.monotonic()
    found = h.wait_until(lambda: boxes(panel), h.DEADLINE, 0.05)
    h.check(found, f"{label}: no box after the limit was set to {n}")
    h.check(len(found) == 1, f"{label}: {len(found)} boxes: {found}")
    box = found[0]
    print(f"{label}: limit {n}, box {box.id:#x} after "
          f"{time.monotonic() - t_limit:.2f} s")
    h.box_face(panel.env, box.id)  # drawn, and holding still
    h.check(panel.proc.poll() is None, f"{label}: the program ended")
    check_drawn(h.screenshot(panel.env, window=box.id), label)
    title = h.window_property(panel.env, box.id, "WM_NAME")
    h.check(title.endswith('= "pio-out"'), f"{label}: box title {title!r}")

    close(box)
    gone = h.wait_until(lambda: box.id not in [w.id for w in boxes(panel)], h.DEADLINE, 0.05)
    h.check(gone, f"{label}: the box did not close")
    t_closed = time.monotonic()
    if goes_on:
        # The panel goes on: no further box, and the port gets bytes again.
        h.check(reader.wait_count(reader.count() + 20, h.DEADLINE),
                f"{label}: no bytes at the port after the box was closed")
        h.check(reader.since(t_closed), f"{label}: no bytes since the box was closed")
    else:
        # Nothing to open the port with: it stays without bytes, and the failure, shown
        # once, is not shown again.
        time.sleep(1.0)
        h.check(not reader.since(t_closed + 0.05),
                f"{label}: bytes reached the port with no descriptor left")
    time.sleep(0.5)
    h.check(not boxes(panel), f"{label}: another box opened: {boxes(panel)}")


def main(args):
    h.require_tools("xwd", "xprop", "prlimit")
    if h.sanitized(args.binary):
        # Out of descriptors, UBSan's type check cannot probe memory (it needs a pipe) and
        # reports a false error in the first exception the port cycle throws.
        h.skip("a sanitizer build: its runtime needs descriptors of its own")
    with h.panel_with_port(args.binary, "xwd", "xprop", "prlimit") as (panel, reader):
        try:
            panel.wait_window()
            h.switch_port_on(panel, reader)
            time.sleep(0.3)

            def by_return(box):
                panel.focus(box.id)
                panel.key("Return")

            def by_click(box):
                # OK is the box's only button, at its lower right.
                info = h.window_info(panel.env, box.id)
                x, y = info.x + info.width - 35, info.y + info.height - 21
                h.run_tool(["xdotool", "mousemove", "--sync", str(x), str(y)], panel.env)
                h.run_tool(["xdotool", "click", "1"], panel.env)

            episode(panel, reader, "first", by_return)
            episode(panel, reader, "second", by_click)
            episode(panel, reader, "third", by_return, goes_on=False)

            t = time.monotonic()
            panel.close()
            rc = panel.wait_exit(h.DEADLINE)
            h.check(rc is not None, f"Alt+F4 did not end the program within {h.DEADLINE:.0f} s")
            h.check(rc == 0, f"exit code {rc} after Alt+F4, expected 0")
            print(f"Alt+F4: exit 0 after {1000 * (time.monotonic() - t):.0f} ms")
        except AssertionError:
            h.save_artifacts(args, "out_of_descriptors", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
