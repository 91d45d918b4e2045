#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""On a screen scaled by 2 the panel keeps its logical place and size, its pictures are
enlarged without smoothing (every picture pixel a uniform 2x2 block) and its text is drawn at
the screen's own resolution."""
import harness as h

SCALE = 2


def uniform_blocks(img, x0, y0, x1, y1):
    """How many of the SCALE x SCALE blocks in the area are one colour, and how many in all."""
    same = total = 0
    for y in range(y0, y1, SCALE):
        for x in range(x0, x1, SCALE):
            block = {img.pixel(x + dx, y + dy) for dx in range(SCALE) for dy in range(SCALE)}
            same += len(block) == 1
            total += 1
    return same, total


def main(args):
    h.require_tools("Xvfb", "xdotool", "xwininfo", "xwd")
    # Scaled by 2, a 1280x1024 screen is 640x512 logical pixels, where the panel would be
    # moved to fit; 1600x1200 (800x600 logical) keeps it at its own place.
    with h.Xvfb(width=1600, height=1200) as x, h.Panel(args.binary, x, namespace=False,
                                env={"QT_SCALE_FACTOR": str(SCALE)}) as panel:
        try:
            panel.WIDTH, panel.HEIGHT = 340 * SCALE, 200 * SCALE
            wid = panel.wait_window()
            info = h.window_info(panel.env, wid)
            h.check((info.x, info.y) == (321 * SCALE, 112 * SCALE),
                    f"window at {info.x},{info.y}: not the logical 321,112")
            img = panel.grab()
            # The grained face (window 100..140 x 110..150): per-pixel grain, so only an
            # unsmoothed enlargement gives uniform blocks.
            same, total = uniform_blocks(img, 200, 220, 280, 300)
            h.check(same == total, f"only {same} of {total} face blocks are uniform: smoothed")
            # A socket (a1 at 40,24, 30x31), sharp edges included.
            same, total = uniform_blocks(img, 80, 48, 140, 110)
            h.check(same == total, f"only {same} of {total} socket blocks are uniform")
            # The digit on tag 1 (51,60, 8x13) is drawn at full resolution, not enlarged.
            same, total = uniform_blocks(img, 102, 120, 118, 146)
            h.check(same < total, "the number tag's text is an enlarged low-resolution drawing")
            print(f"tag 1: {total - same} of {total} blocks carry detail finer than a pixel")
        except AssertionError:
            h.save_artifacts(args, "hidpi", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
