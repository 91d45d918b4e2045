"""The Windows pio-out.exe under wine, for the end-to-end tests in this folder.

It builds on the Linux end-to-end harness (tests/e2e/harness.py: Xvfb, xdotool, screenshots,
the FIFO port reader and the panel layout) and adds what differs under wine:

    parse_args(description)        the harness's options plus --wine-run (the build's wine
                                   wrapper), --wineserver and --prefix (the wine prefix the
                                   end-to-end tests share; made by the first wine start)
    WinePrefix(args, lpt1)         context manager: the prefix with dosdevices/lpt1 pointing at
                                   `lpt1` (a FIFO), or with no lpt1 at all when lpt1 is None.
                                   Its wineserver is stopped on entry (nothing left from an
                                   earlier test, no stale display) and on exit, so no wine
                                   process outlives the test.
    wine_panel(args, port=True, exe=None, winedebug="-all") -> (panel, reader or None)
                                   context manager: Xvfb, the prefix, the LPT1 FIFO (when port)
                                   and the program started; exe runs a copy of the program
                                   under that file name instead of the build's pio-out.exe;
                                   winedebug "-all,+msgbox" has wine log each box's text on
                                   the program's stderr (panel.stderr_text()).
    boxes(panel)                   the program's visible top-level windows other than the panel
                                   and the 1 x 1 owner window that stands for it on the taskbar
    box_texts(panel)               the texts of the boxes opened so far (needs +msgbox)

Wine maps the DOS device LPT1 to the Unix path dosdevices/lpt1 of the prefix; with no such
link it falls back to /dev/lp0, which the test machine does not have. The program's unix
process is the Windows process (the wine wrapper and loader exec in place), so the panel's
pid finds its windows and its exit code is the program's.
"""

from __future__ import annotations

import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
from typing import Optional

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

import harness as h  # noqa: E402  (the path above first)


def parse_args(description: str):
    def extra(parser):
        parser.add_argument("--wine-run", required=True, help="the build's wine wrapper")
        parser.add_argument("--wineserver", default="wineserver", help="wineserver to stop")
        parser.add_argument("--prefix", required=True, help="wine prefix for these tests")

    return h.parse_args(description, extra=extra)


class WinePrefix:
    def __init__(self, args, lpt1: Optional[str]):
        self.args = args
        self.path = os.path.abspath(args.prefix)
        self.lpt1 = lpt1
        self.link = os.path.join(self.path, "dosdevices", "lpt1")

    def env(self, winedebug: str = "-all") -> dict:
        return {"PIO_WINEPREFIX": self.path, "WINEDEBUG": winedebug}

    def stop_server(self) -> None:
        env = dict(os.environ, WINEPREFIX=self.path)
        with contextlib.suppress(subprocess.TimeoutExpired):
            subprocess.run([self.args.wineserver, "-k"], env=env, timeout=20,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        with contextlib.suppress(subprocess.TimeoutExpired):
            subprocess.run([self.args.wineserver, "-w"], env=env, timeout=20,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)

    def __enter__(self) -> "WinePrefix":
        if not os.path.isfile(os.path.join(self.path, "system.reg")):
            # The wrapper makes the prefix on its first start; no display needed for that.
            env = h.clean_env()
            env.update(self.env())
            h.run_tool([self.args.wine_run, "cmd.exe", "/c", "exit"], env, timeout=120)
        self.stop_server()
        with contextlib.suppress(FileNotFoundError):
            os.remove(self.link)
        if self.lpt1 is not None:
            os.symlink(self.lpt1, self.link)
        return self

    def __exit__(self, *exc) -> None:
        self.stop_server()
        with contextlib.suppress(FileNotFoundError):
            os.remove(self.link)


@contextlib.contextmanager
def wine_panel(args, port: bool = True, exe: Optional[str] = None, winedebug: str = "-all"):
    h.require_tools("Xvfb", "xdotool", "xwininfo", "xprop", "xwd")
    with tempfile.TemporaryDirectory(prefix="pio-e2e-wine-") as tmp:
        binary = os.path.abspath(args.binary)
        if exe is not None:
            binary = os.path.join(tmp, exe)
            shutil.copy(args.binary, binary)
        with contextlib.ExitStack() as stack:
            fifo = stack.enter_context(h.PortFifo(tmp, "lpt1")) if port else None
            x = stack.enter_context(h.Xvfb())
            prefix = stack.enter_context(WinePrefix(args, fifo.path if fifo else None))
            panel = stack.enter_context(h.Panel(args.wine_run, x, namespace=False,
                                                args=[binary], env=prefix.env(winedebug)))
            yield panel, (fifo.reader if fifo else None)


def boxes(panel) -> list:
    return [w for w in panel.windows() if w.id != panel.window and w.width > 1 and w.height > 1]


def box_texts(panel) -> list:
    # Wine's trace line: 0110:trace:msgbox:MSGBOX_OnInit L"Datei nicht gefunden."
    texts = []
    for line in panel.stderr_text().splitlines():
        if ":msgbox:" in line and 'L"' in line:
            texts.append(line[line.index('L"') + 2:line.rindex('"')])
    return texts
