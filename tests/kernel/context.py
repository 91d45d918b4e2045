# SPDX-License-Identifier: MIT
"""What the kernel rig's scenarios share: the machine's state (data-line log, Xvfb, the
reference boxes), the panels they start and the clean-up after each scenario."""
from __future__ import annotations

import contextlib
import os
import stat
import subprocess
import time

import harness as h
import guest_lib as g

L = h.LAYOUT


class Context:
    def __init__(self, outdir: str, binary: str, probe: str, results: dict):
        self.outdir = outdir
        self.binary = binary
        self.probe = probe
        self.results = results
        self.figures = results["figures"]
        self.refs: dict = {}
        self.drivers_ready = False  # from then on cleanup() restores /dev/parport0
        self.log = print
        self.sampler = ""  # PortSampler, which the GPIO scenarios start on their own lines
        self.xvfb = None
        self.lines = None
        self._panels = []

    @contextlib.contextmanager
    def start(self, sampler: str):
        g.no_port_interrupt()
        g.add_users()
        self.sampler = sampler
        if not sampler:  # the Windows program's scenarios watch relay boards only
            with h.Xvfb() as x:
                self.xvfb = x
                yield self
            return
        log_path = "/tmp/lines.log"
        proc = h.spawn([sampler, log_path], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            self.lines = g.Lines(log_path)
            ok = h.wait_until(lambda: os.path.exists(log_path) and self.lines.events(),
                              g.DEADLINE)
            h.check(ok, "the sampler logged nothing: " + (proc.stderr.read().decode()
                                                          if proc.poll() is not None else ""))
            with h.Xvfb() as x:
                self.xvfb = x
                yield self
        finally:
            h.kill_group(proc)

    def panel(self, user: str = "", channels=(), port_on: bool = True, args=()) -> h.Panel:
        """A running panel (root, or one of the guest users; `args` its command line) with its
        window up, the given channels clicked and port output switched on; ended by cleanup()
        at the latest. Its port switch as it looks while off is kept in .pout_off."""
        if user:
            binary, lead, env = g.as_user(user)
            args = lead + [self.binary] + list(args)
        else:
            binary, args, env = self.binary, list(args), None
        panel = h.Panel(binary, self.xvfb, namespace=False, args=args, env=env)
        panel.__enter__()
        self._panels.append(panel)
        panel.wait_window()
        self.log(f"panel ({user or 'root'}) up after {time.monotonic() - panel.started_at:.1f} s")
        for n in channels:
            panel.click(*L.socket(n))
        panel.pout_off = h.switch_face(panel, "pout")
        if port_on:
            panel.double_click(*L.switch("pout"))
        return panel

    def end(self, panel: h.Panel) -> None:
        panel.__exit__(None, None, None)
        self._panels.remove(panel)

    def end_panels(self) -> None:
        for panel in list(self._panels):
            self.end(panel)

    def cleanup(self) -> None:
        self.end_panels()
        for name in ("lp", "brd"):
            if g.loaded(name):
                g.rmmod(name)
        if os.path.lexists(g.NODE) and (not self.drivers_ready
                                        or not stat.S_ISCHR(os.lstat(g.NODE).st_mode)):
            os.unlink(g.NODE)  # a stand-in of the references (a link, a FIFO) left by a failure
        if not g.loaded("parport_pc"):
            g.modprobe("parport_pc")
        st = os.stat(g.NODE) if self.drivers_ready and os.path.exists(g.NODE) else None
        if self.drivers_ready and (st is None or os.minor(st.st_rdev) != 0
                                   or os.major(st.st_rdev) != g.PP_MAJOR):
            # A node of our own making: the driver's own one back, which goes with the driver
            # again (a node made with mknod would stay after rmmod ppdev).
            if st is not None:
                os.unlink(g.NODE)
            if g.loaded("ppdev"):
                g.rmmod("ppdev")
        if not g.loaded("ppdev"):
            g.modprobe("ppdev")
            h.check(g.wait_node(True), "cleanup: no /dev/parport0 after modprobe ppdev")
        if self.drivers_ready:
            g.set_node(None)

    def identify(self, panel: h.Panel, box: int, label: str) -> str:
        face = g.box_face(panel, box)
        name = g.which(face, self.refs)
        self.log(f"{label}: box {face[0][0]}x{face[0][1]} reads as '{name}'")
        if name == "unknown":
            h.screenshot(panel.env, window=box).save_png(
                os.path.join(self.outdir, f"box-{label}.png"))
        return name

    def unchanged_since(self, t: float, label: str) -> None:
        changes = self.lines.since(t)
        h.check(not changes, f"{label}: the data lines changed: {changes[:10]}")


# Messages, as the references show them.
MESSAGES = {"notfound": "Datei nicht gefunden.", "denied": "Dateizugriff verweigert.",
            "panel": "Der Port wird von einem anderen Panel benutzt."}
