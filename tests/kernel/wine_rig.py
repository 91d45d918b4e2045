# SPDX-License-Identifier: MIT
"""The kernel rig with the Windows program (rig.py --wine): pio-out.exe under wine in the
machine, on relay boards made through uhid (wine_scenarios.py), so that the Windows HID code
meets the kernel's HID core and hidraw through wine's own HID bus, as under wine on a Linux
desktop with a real board. What wine needs there, found by trying (wine 8.0, QEMU 7.2):

- An emulated processor without SMAP. With it, every wine process died at its first system
  call: the guest kernel reported "supervisor read access in user mode" at the iretq of
  wine's return to user mode, which TCG checks as the kernel's access.
- A prefix whose winebus has its SDL backend off ("Enable SDL" = 0; wine_scenarios.py sets
  it in the machine). With SDL on, wine does not start its udev backend, the one that opens
  hidraw nodes, and sees no board at all."""
from __future__ import annotations

import os
import subprocess


def cpu(args, accel: str) -> str:
    if accel != "tcg":
        return "host"
    return "max,smap=off" if args.wine else "max"


def prepare_prefix(args) -> str:
    """The prefix the machine starts from (made here by the wrapper if it is not there yet:
    seconds on the host, minutes under emulation). The machine writes to it only in its own
    overlay, so the host's prefix stays as it is."""
    prefix = os.path.abspath(args.prefix)
    if not os.path.isfile(os.path.join(prefix, "system.reg")):
        env = dict(os.environ, PIO_WINEPREFIX=prefix, WINEDEBUG="-all")
        r = subprocess.run([args.wine_run, "cmd.exe", "/c", "exit"], env=env,
                           stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=300)
        if r.returncode != 0 or not os.path.isfile(os.path.join(prefix, "system.reg")):
            raise OSError(f"no wine prefix at {prefix}: {r.stderr.strip()[-1000:]}")
    return prefix
