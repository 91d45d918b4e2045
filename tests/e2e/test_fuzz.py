#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Random input on the real program for two minutes: clicks, double clicks (also on the four
switches, so port output, display, running light and load view are switched at random, now
and then with hundreds of clicks 1 ms apart, and once with 6000 on the running light), drags,
right, middle and wheel clicks, pointer moves and keys over the panel. For the first half a
FIFO stands in for /dev/parport0; then it is taken away, so every port cycle fails. At a
quarter of the time a second instance starts in the same private /dev, below the first on the
screen, sharing the port; from then on the input goes to either panel.

Checked all along: both programs stay alive, each shows at most one message box at a time
(and, before the second starts, none while the port works), at most one hint, and the first
one's descriptor count stays flat. After the port is gone, port output on must bring up a
box. At the end, with every box closed and port output switched off, the first one holds no
lock of its port and at most one descriptor more than at the start (a cache of the toolkit's),
and Alt+F4 ends each program with exit code 0.

The run is driven by a seeded random generator; the seed is printed first. To replay a
failure: --seed N (and the same --duration). Timing still differs between runs, so a replay
repeats the same actions, not always the same interleaving with the program's timers.
"""
import contextlib
import os
import random
import subprocess
import time

import harness as h

L = h.LAYOUT
W, H = h.Panel.WIDTH, h.Panel.HEIGHT

DEFAULT_SEED = 20240611
FD_TOLERANCE = 4          # the port's own descriptor during a cycle, a box's resources
CHECK_EVERY = 0.4         # seconds between two rounds of checks

# Keys that cannot end the program or the X server: no Alt at all (Alt+F4 closes the
# panel), no Ctrl+Alt+anything (server zap, VT switch).
PLAIN_KEYS = (
    [chr(c) for c in range(ord("a"), ord("z") + 1)] + [str(d) for d in range(10)]
    + ["space", "Return", "KP_Enter", "Escape", "Tab", "BackSpace", "Delete", "Insert",
       "Left", "Right", "Up", "Down", "Home", "End", "Prior", "Next", "Menu", "Shift_L",
       "Control_L", "F1", "F2", "F3", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12"])
MODIFIERS = ["", "", "", "shift+", "ctrl+", "ctrl+shift+"]
SECOND_AT = (321, 112 + 200 + 20)   # where the second instance's panel is moved to
BIG_STORM = 6000          # clicks 1 ms apart on vl, once: enough to nest lights thousands deep

HOT_SPOTS = ([L.socket(n) for n in range(1, 7)] + [L.tag(n) for n in range(1, 7)]
             + [L.led(n) for n in range(1, 7)] + list(L.SWITCHES.values()))


def add_options(parser):
    parser.add_argument("--duration", type=float, default=120.0,
                        help="seconds of random input (the port goes away at half time)")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED,
                        help=f"seed of the random input (default {DEFAULT_SEED})")


class Fuzzer:
    def __init__(self, panel, reader, rng):
        self.panel = panel            # the panel the current action goes to
        self.panels = [panel]
        self.reader = reader
        self.rng = rng
        self.log = []                 # (seconds since start, action) of the recent actions
        self.counts = {}
        self.started = time.monotonic()

    # -- input ---------------------------------------------------------------------------

    def xdo(self, *argv):
        h.run_tool(["xdotool", *map(str, argv)], self.panel.env)

    def note(self, kind, text):
        self.counts[kind] = self.counts.get(kind, 0) + 1
        self.log.append((time.monotonic() - self.started, text))
        del self.log[:-60]

    def point(self, margin=0):
        """A random point in window coordinates: often on a part of the panel."""
        if margin == 0 and self.rng.random() < 0.4:
            x, y = self.rng.choice(HOT_SPOTS)
            return x + self.rng.randint(-4, 4), y + self.rng.randint(-4, 4)
        return (self.rng.randint(-margin, W - 1 + margin),
                self.rng.randint(-margin, H - 1 + margin))

    def screen(self, p):
        sx, sy = self.panel.screen(*p)
        return max(sx, 0), max(sy, 0)

    def step(self):
        if len(self.panels) > 1:
            self.panel = self.rng.choice(self.panels)
        r = self.rng.random()
        if r < 0.02:
            # Input at machine speed: the running light nests, port output flickers.
            name = self.rng.choice(list(L.SWITCHES))
            clicks = self.rng.randint(20, 400)
            self.note("storm", f"{clicks} clicks 1 ms apart on {name}")
            self.xdo("mousemove", *self.screen(L.switch(name)),
                     "click", "--repeat", clicks, "--delay", 1, 1)
        elif r < 0.28:
            p = self.point()
            self.note("click", f"click {p}")
            self.xdo("mousemove", *self.screen(p), "click", 1)
        elif r < 0.36:
            name = self.rng.choice(list(L.SWITCHES))
            p = L.switch(name)
            delay = self.rng.randint(20, 150)
            self.note("switch", f"double click {name} {p} delay {delay} ms")
            self.xdo("mousemove", *self.screen(p), "click", "--repeat", 2, "--delay", delay, 1)
        elif r < 0.44:
            p = self.point()
            delay = self.rng.randint(20, 150)
            self.note("double", f"double click {p} delay {delay} ms")
            self.xdo("mousemove", *self.screen(p), "click", "--repeat", 2, "--delay", delay, 1)
        elif r < 0.54:
            a, b = self.point(), self.point(margin=40)
            button = self.rng.choice((1, 1, 1, 2, 3))
            self.note("drag", f"drag {a} -> {b} button {button}")
            self.xdo("mousemove", *self.screen(a), "mousedown", button,
                     "mousemove", *self.screen(b), "sleep", 0.03, "mouseup", button)
        elif r < 0.62:
            p = self.point()
            button = self.rng.choice((2, 3))
            self.note("other", f"button {button} click {p}")
            self.xdo("mousemove", *self.screen(p), "click", button)
        elif r < 0.65:
            p = self.point()
            button = self.rng.choice((4, 5))
            self.note("wheel", f"wheel {button} at {p}")
            self.xdo("mousemove", *self.screen(p), "click", button)
        elif r < 0.80:
            combo = self.rng.choice(MODIFIERS) + self.rng.choice(PLAIN_KEYS)
            self.note("key", f"key {combo}")
            self.xdo("key", "--clearmodifiers", combo)
        elif r < 0.88:
            p = self.point(margin=20)
            self.note("move", f"move {p}")
            self.xdo("mousemove", *self.screen(p))
        elif r < 0.91:
            # Rest on a switch long enough for its hint (shown only while the panel is
            # active: there is no window manager to give it the focus, so do that here).
            name = self.rng.choice(list(L.SWITCHES))
            p = L.switch(name)
            rest = self.rng.uniform(0.6, 1.5)
            self.note("rest", f"focus the panel, rest {rest:.2f} s on {name}")
            self.xdo("windowfocus", self.panel.window, "mousemove", *self.screen(p))
            time.sleep(rest)
        elif r < 0.92:
            self.note("focus", "focus the panel")
            self.xdo("windowfocus", self.panel.window)
        else:
            pause = self.rng.uniform(0.1, 0.6)
            self.note("pause", f"pause {pause:.2f} s")
            time.sleep(pause)
        time.sleep(self.rng.uniform(0.0, 0.06))

    # -- observation ---------------------------------------------------------------------

    def windows(self, panel=None):
        """(boxes, hints): a program's visible top-levels other than its panel; of all the
        programs when no panel is given."""
        boxes, hints = [], []
        for p in ([panel] if panel else self.panels):
            for w in p.windows():
                if w.id == p.window:
                    continue
                (hints if w.override_redirect else boxes).append(w)
        return boxes, hints

    def close_box(self, box, how):
        """Focus on the box, then a key that closes it. The box may be gone by now (a
        random key closed it): then the focus fails, which is fine."""
        self.note("close", f"close box {box.id:#x} with {how}")
        try:
            focused = h.run_tool(["xdotool", "windowfocus", "--sync", str(box.id)],
                                 self.panel.env, timeout=3, check_rc=False).returncode == 0
        except subprocess.TimeoutExpired:
            focused = False
        if focused:
            self.panel.key(how)

    def close_all_boxes(self, check):
        """Closes the boxes of every program, and any that a report already on its way
        opens next."""
        for _ in range(10):
            boxes, _ = self.windows()
            if not boxes:
                time.sleep(0.3)  # a report already posted would show now
                boxes, _ = self.windows()
                if not boxes:
                    break
            self.close_box(boxes[0], "Return")
            h.wait_until(lambda: boxes[0].id not in [b.id for b in self.windows()[0]],
                         h.DEADLINE, 0.05)
        boxes, _ = self.windows()
        check(not boxes, f"message boxes still open after 10 closes: {boxes}")

    def switch_pout_until(self, done, what, check):
        """Double clicks on pout of the first panel, at most three, until done() holds. A
        click may land while a box is up or a random action is still on its way, hence
        more than one try; a box that a try brings up is closed before the next."""
        self.panel = self.panels[0]
        for _ in range(3):
            if done():
                return True
            self.note("switch", f"double click pout ({what})")
            self.panel.double_click(*L.switch("pout"))
            if h.wait_until(done, h.DEADLINE, 0.05):
                return True
            self.close_all_boxes(check)
        return done()

    def port_active(self):
        """True when bytes reached the port in the last 100 ms (port output is on)."""
        last = self.reader.quiet_since()
        return last is not None and time.monotonic() - last < 0.1

    def recent(self):
        return "\n".join(f"  {t:7.2f} s  {a}" for t, a in self.log[-25:])


def fd_targets(pid):
    """{descriptor: what it refers to} of the process."""
    out = {}
    path = f"/proc/{pid}/fd"
    for name in os.listdir(path):
        try:
            out[int(name)] = os.readlink(os.path.join(path, name))
        except OSError:
            pass
    return out


def main(args):
    h.require_tools("Xvfb", "xdotool", "xwininfo", "unshare", "nsenter", "umount")
    h.require_root()
    seed = args.seed
    print(f"seed {seed}, duration {args.duration:.0f} s (replay: --seed {seed} "
          f"--duration {args.duration:g})", flush=True)
    rng = random.Random(seed)
    with h.panel_with_port(args.binary, "nsenter", "umount") as (panel, reader), \
            contextlib.ExitStack() as stack:
        fz = Fuzzer(panel, reader, rng)

        def check(cond, message):
            if not cond:
                raise AssertionError(f"{message}\nseed {seed}; the last actions "
                                     f"(seconds since the start):\n{fz.recent()}")

        def alive(what):
            for i, p in enumerate(fz.panels, 1):
                rc = p.proc.poll()
                check(rc is None, f"pio-out #{i} ended with {rc} {what}; stderr:\n"
                                  f"{p.stderr_text().strip()[-2000:]}")

        try:
            panel.wait_window()
            time.sleep(0.5)
            base_targets = fd_targets(panel.pid)
            base_fds = len(base_targets)
            pout_off = h.switch_face(panel, "pout")
            fd_seen = [base_fds]
            print(f"pid {panel.pid}, window {panel.window:#x}, {base_fds} descriptors at start")

            box_ids = set()
            box_since = {}
            max_boxes = max_hints = 0
            port_gone = False
            second = None
            big_storm = False
            failure_box_seen = False
            t0 = time.monotonic()
            quarter = t0 + args.duration / 4
            half = t0 + args.duration / 2
            end = t0 + args.duration
            next_check = t0

            while time.monotonic() < end:
                now = time.monotonic()
                if not big_storm and now >= t0 + args.duration * 0.15:
                    big_storm = True
                    fz.panel = panel
                    fz.note("storm", f"{BIG_STORM} clicks 1 ms apart on vl")
                    h.run_tool(["xdotool", "mousemove", *map(str, panel.screen(*L.switch("vl"))),
                                "click", "--repeat", str(BIG_STORM), "--delay", "1", "1"],
                               panel.env, timeout=120)
                    alive("after the big storm")

                if second is None and now >= quarter:
                    # A second instance on the same port, moved below the first so that
                    # both can be reached; from now on either may hold the port.
                    alive("before the second instance started")
                    second = stack.enter_context(h.SecondPanel(args.binary, panel.xvfb, panel))
                    second.wait_window()
                    h.run_tool(["xdotool", "windowmove", "--sync", str(second.window),
                                *map(str, SECOND_AT)], second.env, check_rc=False)
                    moved = h.wait_until(lambda: (h.window_info(second.env, second.window).x,
                                                  h.window_info(second.env, second.window).y)
                                         == SECOND_AT, h.DEADLINE, 0.05)
                    check(moved, "the second panel could not be moved below the first")
                    second.origin = SECOND_AT
                    fz.panels.append(second)
                    fz.note("second", f"second instance, pid {second.pid}")
                    print(f"{now - t0:.1f} s: second instance started, pid {second.pid}",
                          flush=True)

                if not port_gone and now >= half:
                    # Take the port away with port output on, so the failure shows at once:
                    # first every box closed, and some panel writing to the port.
                    alive("before the port was taken away")
                    fz.close_all_boxes(check)
                    check(fz.switch_pout_until(fz.port_active, "on, before the port goes",
                                               check),
                          "no panel writes to the port after double clicks on pout")
                    before = reader.count()
                    panel.remove_port()
                    fz.note("port", "/dev/parport0 removed")
                    port_gone = True
                    print(f"{now - t0:.1f} s: /dev/parport0 removed "
                          f"({before} bytes written before)", flush=True)
                    shown = h.wait_until(lambda: fz.windows()[0], h.DEADLINE, 0.05)
                    check(shown, "no message box after the port went away with port output "
                                 "on")
                    failure_box_seen = True

                fz.step()

                if time.monotonic() >= next_check:
                    next_check = time.monotonic() + CHECK_EVERY
                    alive("during the fuzz")
                    all_boxes = []
                    for i, p in enumerate(fz.panels, 1):
                        boxes, hints = fz.windows(p)
                        all_boxes += boxes
                        max_boxes = max(max_boxes, len(boxes))
                        max_hints = max(max_hints, len(hints))
                        check(len(boxes) <= 1, f"pio-out #{i}: {len(boxes)} message boxes "
                                               f"open at once: {[hex(b.id) for b in boxes]}")
                        check(len(hints) <= 1, f"pio-out #{i}: {len(hints)} hints at once")
                    # Alone on a working port nothing fails; a second panel on it does.
                    check(port_gone or second is not None or not all_boxes,
                          f"a message box opened while the port works: {all_boxes}")
                    fds = len(os.listdir(f"/proc/{panel.pid}/fd"))
                    fd_seen.append(fds)
                    check(fds <= base_fds + FD_TOLERANCE,
                          f"{fds} descriptors open, {base_fds} at the start")
                    for b in all_boxes:
                        if b.id not in box_ids:
                            box_ids.add(b.id)
                            box_since[b.id] = time.monotonic()
                            fz.note("box", f"box {b.id:#x} {b.width}x{b.height} at {b.x},{b.y}")
                        # Leave it open for a while (input goes on meanwhile), then close it.
                        if time.monotonic() - box_since[b.id] > rng.uniform(0.3, 2.5):
                            fz.close_box(b, rng.choice(("Return", "Return", "space",
                                                        "Escape", "KP_Enter")))

            # Close whatever box is open, make sure none follows, then Alt+F4.
            alive("at the end of the fuzz")
            fz.close_all_boxes(check)
            # While port output is on the panel rightly keeps its port's lock open, also with
            # the port gone: switched off, what is left open is what the fuzz left behind.
            if h.switch_face(panel, "pout") != pout_off:
                print("port output on at the end: switching it off", flush=True)
            check(fz.switch_pout_until(lambda: h.switch_face(panel, "pout") == pout_off,
                                       "off, at the end", check),
                  "port output still on after double clicks on pout")
            # What a box took is given back once the program has come back from it, which on
            # a loaded machine may be a while after its window went: a leak stays for good.
            h.wait_until(lambda: len(fd_targets(panel.pid)) <= base_fds + 1, h.DEADLINE, 0.1)
            final_targets = fd_targets(panel.pid)
            final_fds = len(final_targets)
            fd_seen.append(final_fds)
            changed = {fd: final_targets.get(fd) for fd in set(base_targets) | set(final_targets)
                       if base_targets.get(fd) != final_targets.get(fd)}
            if changed:
                print(f"descriptors opened or changed (closed: None) since the start: {changed}")
            summary = ", ".join(f"{k} {v}" for k, v in sorted(fz.counts.items()))
            print(f"actions: {summary}")
            print(f"message boxes: {len(box_ids)} seen, at most {max_boxes} at once in one "
                  f"program; hints: at most {max_hints} at once")
            print(f"descriptors: {base_fds} at the start, {min(fd_seen)}..{max(fd_seen)} "
                  f"over {len(fd_seen)} samples, {final_fds} at the end")
            print(f"port: {reader.count()} bytes while it was there")
            check(failure_box_seen, "the port failure was never reported")
            check(second is not None, "the second instance never started")
            locks = [t for t in final_targets.values() if "/pio-out-port-" in t]
            check(not locks, f"port output off, yet the panel holds {locks}")
            check(final_fds <= base_fds + 1,
                  f"{final_fds} descriptors at the end, {base_fds} at the start")

            for i, p in reversed(list(enumerate(fz.panels, 1))):
                p.focus()
                t_key = time.monotonic()
                p.key("alt+F4")
                rc = p.wait_exit(h.DEADLINE)
                took = time.monotonic() - t_key
                check(rc is not None, f"pio-out #{i} still running {h.DEADLINE:.0f} s after "
                                      f"Alt+F4")
                print(f"pio-out #{i}: Alt+F4: exit code {rc} after {1000 * took:.0f} ms")
                lines = p.stderr_text().splitlines()
                distinct = list(dict.fromkeys(lines))
                print(f"stderr: {len(lines)} lines" + "".join(f"\n  {l}" for l in distinct[:10]))
                check(rc == 0, f"pio-out #{i}: exit code {rc} after Alt+F4, expected 0; "
                               f"stderr:\n{p.stderr_text().strip()[-2000:]}")
        except AssertionError:
            h.save_artifacts(args, "fuzz", panel.env, panel)
            raise


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__, extra=add_options))
