# SPDX-License-Identifier: MIT
"""The Windows pio-out.exe under wine, for the end-to-end tests both platforms share.

harness.launch() comes here when a test is given --wine-run; the test itself is the same as on
Linux. What differs under wine is kept here:

    WinePrefix(args, lpt1)         context manager: the prefix (--prefix) with dosdevices/lpt1
                                   pointing at `lpt1` (a FIFO), or with no lpt1 at all when
                                   lpt1 is None. Its wineserver (--wineserver) is stopped on
                                   entry (nothing left from an earlier test, no stale display)
                                   and on exit, so no wine process outlives the test.
    WinePanel(harness.Panel)       the program started as `<--wine-run> pio-out.exe`, with wine
                                   logging each box's text (+msgbox) on the program's stderr:
        .stand_ins()               the 1 x 1 owner window that stands for the panel on the
                                   taskbar (so .boxes() leaves it out)
        .box_texts()               the texts of the boxes opened so far, from that log
        WINDOW_TIMEOUT             wine's longer start
    wine_panel(args, port=True, name=None, tools=()) -> (panel, reader or None)
                                   context manager: Xvfb, the prefix, the LPT1 FIFO (when port)
                                   and the program started; name runs a copy of the program as
                                   <name>.exe instead of the build's pio-out.exe.

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
import tempfile
from typing import List, Optional, Sequence

import harness as h


class WinePrefix:
    def __init__(self, args, lpt1: Optional[str]):
        h.check(args.prefix, "--wine-run needs --prefix")
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


class WinePanel(h.Panel):
    # Wine starts its server and loads the program first, so the window comes later.
    WINDOW_TIMEOUT = 2 * h.DEADLINE

    def stand_ins(self) -> List[int]:
        # The owner window that puts the program on the taskbar: zero-sized for Windows, 1 x 1
        # as an X window, titled like the panel.
        return [w.id for w in self.windows() if w.width <= 1 or w.height <= 1]

    def box_texts(self) -> Optional[List[str]]:
        # Wine's trace line: 0110:trace:msgbox:MSGBOX_OnInit L"Datei nicht gefunden."
        texts = []
        for line in self.stderr_text().splitlines():
            if ":msgbox:" in line and 'L"' in line:
                texts.append(line[line.index('L"') + 2:line.rindex('"')])
        return texts


@contextlib.contextmanager
def wine_panel(args, port: bool = True, name: Optional[str] = None, tools: Sequence[str] = ()):
    h.require_tools("Xvfb", "xdotool", "xwininfo", "xprop", "xwd", *tools)
    with tempfile.TemporaryDirectory(prefix="pio-e2e-wine-") as tmp:
        binary = os.path.abspath(args.binary)
        if name is not None:
            binary = os.path.join(tmp, name + ".exe")
            shutil.copy(args.binary, binary)
        with contextlib.ExitStack() as stack:
            fifo = stack.enter_context(h.PortFifo(tmp, "lpt1")) if port else None
            x = stack.enter_context(h.Xvfb())
            prefix = stack.enter_context(WinePrefix(args, fifo.path if fifo else None))
            panel = stack.enter_context(WinePanel(args.wine_run, x, namespace=False,
                                                  args=[binary],
                                                  env=prefix.env("-all,+msgbox")))
            yield panel, (fifo.reader if fifo else None)
