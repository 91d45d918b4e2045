#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The panel under weston (headless, pixman renderer), as on a desktop whose session is
Wayland. With Xwayland (--xwayland) the program takes the X server and the panel stands at
its own place, 321,112, on the compositor's output too (weston's screenshooter). With Wayland
alone it runs natively and the compositor places it: a 340x200 panel appears on the output.
(Debian's weston offers no way to inject input; the clicks, hints and Alt+F4 of a Wayland
session are tested under sway, test_wayland_sway.py.)"""
import harness as h
import wayland as w

PLACE = (321, 112)
TOP_BAR = 32  # weston's panel with its clock, which changes by itself


def changed_box(before: h.Image, after: h.Image):
    """The smallest rectangle holding every pixel that changed below the top bar."""
    xs, ys = [], []
    for y in range(TOP_BAR, after.height, 2):
        row = y * after.width * 3
        a, b = after.rgb[row:row + after.width * 3], before.rgb[row:row + after.width * 3]
        if a == b:
            continue
        for x in range(after.width):
            if a[x * 3:x * 3 + 3] != b[x * 3:x * 3 + 3]:
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 2


def under_xwayland(args) -> None:
    with w.Weston(True) as weston, h.Panel(args.binary, weston) as panel:
        h.check(weston.display, "weston started no Xwayland")
        wid = h.wait_until(lambda: h.visible_windows(weston.env(), pid=panel.pid,
                                                     name="^pio-out$"), h.DEADLINE, 0.1)
        h.check(wid, f"no X window of the panel under Xwayland; {panel.stderr_text()}")
        # weston's window manager frames the window first, then moves the frame to the
        # place the panel asked for: until then its corner reads as the frame's margin.
        infos = []

        def placed():
            infos.append(h.window_info(weston.env(), wid[0]))
            return (infos[-1].x, infos[-1].y) == PLACE
        h.wait_until(placed, h.DEADLINE, 0.1)
        info = infos[-1]
        print(f"X window {info}")
        h.check((info.width, info.height) == (panel.WIDTH, panel.HEIGHT),
                f"the panel's X window is {info.width}x{info.height}")
        h.check((info.x, info.y) == PLACE,
                f"the panel's X window stands at {info.x},{info.y}, not {PLACE}")

        # Where the compositor shows it: the screenshot holds the panel's own picture there.
        grab = h.screenshot(weston.env(), window=wid[0])

        def matching():
            shot = weston.screenshot()
            same = sum(shot.pixel(PLACE[0] + x, PLACE[1] + y) == grab.pixel(x, y)
                       for y in range(0, panel.HEIGHT, 4) for x in range(0, panel.WIDTH, 4))
            return same / ((panel.HEIGHT // 4) * (panel.WIDTH // 4)), shot
        share, shot = h.wait_until(lambda: (lambda r: r if r[0] > 0.95 else None)(matching()),
                                   h.DEADLINE, 0.5) or matching()
        print(f"the output shows the panel's picture at {PLACE}: {share:.0%} of pixels alike")
        if share <= 0.95 and args.artifacts:
            shot.save_png(f"{args.artifacts}/weston-xwayland.png")
        h.check(share > 0.95, f"the output at {PLACE} is not the panel ({share:.0%} alike)")
        kill_check(panel)


def natively(args) -> None:
    with w.Weston(False) as weston:
        before = weston.settled()
        with h.Panel(args.binary, weston) as panel:
            def appeared():
                box = changed_box(before, weston.screenshot())
                return box if box and box[2:] == (panel.WIDTH, panel.HEIGHT) else None
            box = h.wait_until(appeared, h.DEADLINE, 0.5)
            if not box and args.artifacts:
                weston.screenshot().save_png(f"{args.artifacts}/weston-native.png")
            h.check(box, f"no 340x200 panel on the output (changed: "
                         f"{changed_box(before, weston.screenshot())}); {panel.stderr_text()}")
            print(f"natively the compositor placed the panel at {box[0]},{box[1]}")
            kill_check(panel)


def kill_check(panel: "h.Panel") -> None:
    h.check(panel.proc.poll() is None, f"the panel ended: {panel.stderr_text()}")


def main(args):
    if args.xwayland:
        under_xwayland(args)
    else:
        natively(args)


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__, extra=lambda p: p.add_argument(
        "--xwayland", action="store_true", help="weston with Xwayland")))
