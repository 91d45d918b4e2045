# SPDX-License-Identifier: MIT
"""The kernel's GPIO simulator (gpio-sim) for the rig's kernel. Debian builds its kernels
without it (CONFIG_GPIO_SIM is not set in 6.1 nor in 6.12), so the rig builds it as a module
of its own from Debian's linux-source package of the kernel's exact version, against the
installed linux-headers package of that kernel (the same version, so the private gpiolib.h
the simulator includes matches the running kernel).

The simulator selects the kernel's interrupt simulator (CONFIG_IRQ_SIM), which Debian's
kernels leave out too: its one file is built into the module. It calls
handle_simple_irq(irq_to_desc(irq)), and the kernel exports no irq_to_desc(); the module's
copy calls generic_handle_irq(irq) instead, which ends in the same handler (the one the
simulator's domain sets for each of its interrupts). The rig never raises those interrupts:
the panel only sets outputs."""
from __future__ import annotations

import glob
import os
import shutil
import subprocess
import tempfile

from kernel_tree import RigError

SOURCES = {  # in the source tree -> in the module's folder
    "drivers/gpio/gpio-sim.c": "gpio_sim_main.c",
    "drivers/gpio/gpiolib.h": "gpiolib.h",
    "kernel/irq/irq_sim.c": "irq_sim.c",
}
IRQ_CALL = "handle_simple_irq(irq_to_desc(irqnum));"
KBUILD = "obj-m := gpio-sim.o\ngpio-sim-y := gpio_sim_main.o irq_sim.o\n"


def run(argv, **kw) -> subprocess.CompletedProcess:
    r = subprocess.run(argv, capture_output=True, text=True, **kw)
    if r.returncode != 0:
        raise RigError(f"{' '.join(argv)} failed ({r.returncode}): "
                       f"{(r.stderr or r.stdout).strip()[-2000:]}")
    return r


def headers_version(version: str) -> str:
    """The Debian version of the installed headers of kernel `version` (6.1.192-3)."""
    package = f"linux-headers-{version}"
    r = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package], capture_output=True,
                       text=True)
    if r.returncode != 0 or not os.path.isdir(f"/usr/src/{package}"):
        raise RigError(f"{package} is not installed (scripts/run-tests installs "
                       f"linux-headers-amd64, whose kernel is the rig's)")
    return r.stdout.strip()


def fetch_sources(series: str, debian_version: str, into: str, cache: str) -> None:
    """The simulator's files from linux-source-<series> at `debian_version`."""
    package = f"linux-source-{series}"
    with tempfile.TemporaryDirectory(dir=cache) as tmp:
        print(f"rig: downloading {package} {debian_version} for gpio-sim", flush=True)
        run(["apt-get", "download", f"{package}={debian_version}"], cwd=tmp, timeout=600)
        debs = glob.glob(os.path.join(tmp, "*.deb"))
        if len(debs) != 1:
            raise RigError(f"apt-get download {package} gave {debs}")
        root = os.path.join(tmp, "root")
        run(["dpkg", "-x", debs[0], root], timeout=300)
        tarballs = glob.glob(os.path.join(root, "usr", "src", f"{package}.tar.*"))
        if len(tarballs) != 1:
            raise RigError(f"{package} holds no single source tarball: {tarballs}")
        top = f"linux-source-{series}"
        run(["tar", "-xf", tarballs[0], "-C", tmp] + [f"{top}/{rel}" for rel in SOURCES],
            timeout=600)
        for rel, name in SOURCES.items():
            shutil.copy(os.path.join(tmp, top, rel), os.path.join(into, name))


def build(cache: str, version: str) -> str:
    """gpio-sim.ko for kernel `version` (6.1.0-57-amd64), built at most once per version."""
    debian_version = headers_version(version)
    series = ".".join(version.split(".")[:2])
    folder = os.path.join(cache, f"gpio-sim-{version}-{debian_version}")
    module = os.path.join(folder, "gpio-sim.ko")
    if os.path.exists(module):
        return module
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    fetch_sources(series, debian_version, folder, cache)
    irq_sim = os.path.join(folder, "irq_sim.c")
    with open(irq_sim) as f:
        text = f.read()
    if text.count(IRQ_CALL) != 1:
        raise RigError(f"irq_sim.c of {series} does not call {IRQ_CALL} once: the module "
                       f"cannot stand in for the kernel's interrupt simulator as it is")
    with open(irq_sim, "w") as f:
        f.write(text.replace(IRQ_CALL, "generic_handle_irq(irqnum);"))
    with open(os.path.join(folder, "Kbuild"), "w") as f:
        f.write(KBUILD)
    print(f"rig: building gpio-sim for {version}", flush=True)
    run(["make", "-C", f"/usr/src/linux-headers-{version}", f"M={folder}", "modules"],
        timeout=900)
    if not os.path.exists(module):
        raise RigError(f"make built no {module}")
    return module
