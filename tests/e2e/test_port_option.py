#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""--port: the panel drives the port it names and no other. Each run has a FIFO at
/dev/parport0 in its private /dev: started with --port <a FIFO elsewhere>, the bytes arrive
there and none at /dev/parport0; started with --port LPT2, they arrive at /dev/parport1;
started without it, at /dev/parport0 as always. The credit line names the port: with LPT2
it differs from the usual "… an LPT1" only at its last character.

With --wine-run the Windows program under wine: --port LPT3 writes to the prefix's LPT3 (a
FIFO) and not to LPT1, and a second panel on LPT1 beside it drives LPT1 at the same time -
each port is held under a name of its own."""
import contextlib
import os
import tempfile
import time

import harness as h

L = h.LAYOUT
LABEL = (13, 176, 315, 18)  # the credit line's box, window coordinates


def drive(panel, chosen, others, what):
    """Port output on and channel 3 on: the bytes reach `chosen`, none reach `others`."""
    before = {id(r): r.count() for r in others}
    panel.double_click(*L.switch("pout"))
    h.check(chosen.wait_count(5, h.DEADLINE), f"{what}: no byte reached the chosen port")
    t = time.monotonic()
    panel.click(*L.socket(3))
    h.check(chosen.wait_byte(16, h.DEADLINE, after=t) is not None,
            f"{what}: channel 3 (byte 16) did not reach the chosen port")
    time.sleep(0.3)
    for r in others:
        h.check(r.count() == before[id(r)],
                f"{what}: {r.count() - before[id(r)]} bytes went to {r.path} as well")
    print(f"{what}: {chosen.count()} bytes at {chosen.path}, none elsewhere")


def credit_columns(a, b):
    """The columns of the credit line's box where two grabs of the panel differ."""
    x0, y0, w, hgt = LABEL
    return sorted({x for y in range(y0, y0 + hgt) for x in range(x0, x0 + w)
                   if a.pixel(x, y) != b.pixel(x, y)})


def check_credit(lpt_grab, usual_grab, what):
    """"… an LPTn" against "… an LPT1": the same width, so only the last digit changes."""
    changed = credit_columns(lpt_grab, usual_grab)
    print(f"credit line {what} against LPT1: columns {changed[:1]}..{changed[-1:]} differ")
    h.check(changed, f"the credit line of {what} looks like the usual one")
    h.check(changed[0] >= 200, f"{what} changed the credit line from column {changed[0]} "
                               f"on, not just its last character")


def main_wine(args):
    import winepanel  # next to harness.py
    h.require_tools("Xvfb", "xdotool", "xwininfo", "xprop", "xwd")
    binary = os.path.abspath(args.binary)
    with tempfile.TemporaryDirectory(prefix="pio-e2e-wine-") as tmp, \
            h.PortFifo(tmp, "lpt1") as lpt1, h.PortFifo(tmp, "lpt3") as lpt3, h.Xvfb() as x, \
            winepanel.WinePrefix(args, lpt1.path) as prefix:
        link = os.path.join(prefix.path, "dosdevices", "lpt3")
        with contextlib.suppress(FileNotFoundError):
            os.remove(link)
        os.symlink(lpt3.path, link)
        try:
            env = prefix.env("-all,+msgbox")
            with winepanel.WinePanel(args.wine_run, x, namespace=False,
                                     args=[binary, "--port", "LPT3"], env=env) as p3:
                try:
                    p3.wait_window()
                    lpt3_grab = p3.grab()
                    drive(p3, lpt3.reader, [lpt1.reader], "--port LPT3")
                except AssertionError:
                    h.save_artifacts(args, "port_option_lpt3", p3.env, p3)
                    raise
                # The second panel opens on top of the first, at the same place.
                with winepanel.WinePanel(args.wine_run, x, namespace=False, args=[binary],
                                         env=env) as p1:
                    try:
                        p1.wait_window()
                        usual_grab = p1.grab()
                        before = lpt3.reader.count()
                        drive(p1, lpt1.reader, [], "LPT1 beside LPT3")
                        h.check(lpt3.reader.count() > before + 20,
                                "the LPT3 panel stopped writing while the LPT1 panel ran")
                        h.check(not p1.box_texts() and not p3.box_texts(),
                                f"boxes: {p1.box_texts()} {p3.box_texts()}")
                    except AssertionError:
                        h.save_artifacts(args, "port_option_beside", p1.env, p1)
                        raise
            check_credit(lpt3_grab, usual_grab, "--port LPT3")
        finally:
            os.remove(link)


def main(args):
    if args.wine_run:
        main_wine(args)
        return
    h.require_tools("Xvfb", "xdotool", "xwininfo", "xwd", "unshare", "mount", "nsenter")
    h.require_root()
    with tempfile.TemporaryDirectory(prefix="pio-e2e-") as tmp, \
            h.PortFifo(tmp) as lpt1, h.PortFifo(tmp, "elsewhere") as elsewhere, \
            h.PortFifo(tmp, "parport1") as lpt2, h.Xvfb() as x:
        with h.Panel(args.binary, x, port=lpt1.path, args=["--port", elsewhere.path]) as p:
            try:
                p.wait_window()
                path_grab = p.grab()
                drive(p, elsewhere.reader, [lpt1.reader], f"--port {elsewhere.path}")
            except AssertionError:
                h.save_artifacts(args, "port_option_path", p.env, p)
                raise

        with h.Panel(args.binary, x, port=lpt1.path, args=["--port", "LPT2"]) as p:
            try:
                p.wait_window()
                lpt2_grab = p.grab()
                p.in_namespace(["sh", "-c", ': > /dev/parport1 && mount --bind "$0" /dev/parport1',
                                lpt2.path])
                drive(p, lpt2.reader, [lpt1.reader, elsewhere.reader], "--port LPT2")
            except AssertionError:
                h.save_artifacts(args, "port_option_lpt2", p.env, p)
                raise

        with h.Panel(args.binary, x, port=lpt1.path) as p:
            p.wait_window()
            usual_grab = p.grab()
            drive(p, lpt1.reader, [lpt2.reader, elsewhere.reader], "no option")

        check_credit(lpt2_grab, usual_grab, "--port LPT2")
        h.check(credit_columns(path_grab, usual_grab),
                "the credit line of --port <path> looks like the usual one")


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
