#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The kernel rig: boots Debian's own kernel in QEMU with an emulated PC parallel port
(0x378) and runs the scenarios of guest.py there against the real parport_pc and ppdev, with
the host's build of pio-out and the host's Xvfb (the host's root is the guest's, read-only
over 9p under a tmpfs overlay).

    rig.py --binary PIO_OUT --sampler PortSampler --probe PortCycleProbe --work DIR
    rig.py --wine PIO_OUT_EXE --wine-run WRAPPER --prefix PREFIX --work DIR
           (the Windows program under wine, on a relay board: wine_rig.py)

DIR keeps the kernel (downloaded once with apt-get download, unpacked with dpkg -x, depmod
-b), the initramfs and, per run, out/: results.json (read by check.py), console.log and
pictures of boxes nobody could read. Exit 0 when the guest ran all scenarios (each one's
verdict is check.py's to tell), 1 with a message when the machine could not be set up or
booted or did not finish in time, 77 (skipped) without root, or without QEMU unless
PIO_REQUIRE_KERNEL_RIG is set (scripts/run-tests sets it: there a missing QEMU fails)."""
from __future__ import annotations

import argparse
import contextlib
import glob
import gzip
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gpio_sim_build  # noqa: E402
import wine_rig  # noqa: E402
from kernel_tree import (RigError, copy_unpacked, modules_root, suite,  # noqa: E402
                         unpacked_name, SUITE_KERNELS)
QEMU = "qemu-system-x86_64"
SKIP = 77
# Modules the initramfs loads for the shares and the overlay, and the ones the guest loads
# itself (with what they need, from modules.dep): the port drivers, a RAM disk for a
# block device named as the port, uhid with the generic HID driver for relay boards, and
# configfs for the GPIO simulator (built for the kernel by gpio_sim_build.py).
BOOT_MODULES = ["kernel/drivers/virtio/virtio_pci.ko", "kernel/net/9p/9pnet_virtio.ko",
                "kernel/fs/9p/9p.ko", "kernel/fs/overlayfs/overlay.ko"]
PORT_MODULES = ["kernel/drivers/parport/parport_pc.ko", "kernel/drivers/char/ppdev.ko",
                "kernel/drivers/char/lp.ko", "kernel/drivers/block/brd.ko",
                "kernel/drivers/hid/uhid.ko", "kernel/drivers/hid/hid-generic.ko",
                "kernel/fs/configfs/configfs.ko"]
# What the guest's GPIO scenarios report when the rig could not build the simulator.
GPIO_SIM_ERROR = "gpio-sim-error.txt"


def run(argv, **kw) -> subprocess.CompletedProcess:
    r = subprocess.run(argv, capture_output=True, text=True, **kw)
    if r.returncode != 0:
        raise RigError(f"{' '.join(argv)} failed ({r.returncode}): {r.stderr.strip()[-2000:]}")
    return r


def kernel_package() -> str:
    """The running suite's kernel package apt offers: what linux-image-amd64 depends on. Without
    package lists (a machine that had everything installed already) they are fetched once."""
    for attempt in range(2):
        r = subprocess.run(["apt-cache", "depends", "linux-image-amd64"], capture_output=True,
                           text=True)
        for line in r.stdout.splitlines():
            line = line.strip()
            if line.startswith("Depends: linux-image-"):
                return line.split()[1]
        if attempt == 0:
            print("rig: no kernel package known to apt, updating its lists", flush=True)
            run(["apt-get", "update", "-qq"], timeout=300)
    raise RigError("apt-cache names no kernel package for linux-image-amd64")


def prepare_kernel(cache: str) -> tuple:
    """(vmlinuz, modules dir, version) of the unpacked kernel, downloaded at most once."""
    os.makedirs(cache, exist_ok=True)
    pkg = kernel_package()
    root = os.path.join(cache, pkg)
    done = os.path.join(root, ".unpacked")
    if not os.path.exists(done):
        shutil.rmtree(root, ignore_errors=True)
        with tempfile.TemporaryDirectory(dir=cache) as tmp:
            print(f"rig: downloading {pkg}", flush=True)
            run(["apt-get", "download", pkg], cwd=tmp, timeout=300)
            debs = glob.glob(os.path.join(tmp, "*.deb"))
            if len(debs) != 1:
                raise RigError(f"apt-get download {pkg} gave {debs}")
            run(["dpkg", "-x", debs[0], root], timeout=300)
        modules = modules_root(root)
        # depmod -b looks in <root>/lib/modules; dpkg -x makes no merged-/usr link.
        if not os.path.exists(os.path.join(root, "lib")):
            os.symlink(os.path.join("usr", "lib"), os.path.join(root, "lib"))
        run(["depmod", "-b", root, os.listdir(modules)[0]], timeout=120)
        open(done, "w").close()
    modules = modules_root(root)
    version = os.listdir(modules)[0]
    series = SUITE_KERNELS.get(suite())
    if series and not version.startswith(series):
        raise RigError(f"{pkg} is Linux {version}, not {suite()}'s {series}*")
    return (os.path.join(root, "boot", f"vmlinuz-{version}"),
            os.path.join(modules, version), version)


def load_order(modules: str, wanted: list) -> list:
    """The modules in `wanted` and all they depend on, each after its dependencies, as
    modules.dep names them (Debian 13's are xz-compressed: .ko.xz). One built into the kernel
    (Debian 13's virtio_pci) is left out."""
    deps = {}
    with open(os.path.join(modules, "modules.dep")) as f:
        for line in f:
            name, _, rest = line.partition(":")
            deps[name] = rest.split()
    builtin = set()
    with contextlib.suppress(OSError), open(os.path.join(modules, "modules.builtin")) as f:
        builtin = {line.strip() for line in f}
    order = []

    def visit(name):
        if name in order:
            return
        if name not in deps:
            if name + ".xz" in deps:
                return visit(name + ".xz")
            if name in builtin:
                return
            raise RigError(f"{name} is not a module of this kernel")
        for dep in deps[name]:
            visit(dep)
        order.append(name)

    for name in wanted:
        visit(name)
    return order


def build_initramfs(modules: str, version: str, path: str, extra: list) -> None:
    """The initramfs: busybox, init.sh, the kernel's modules the rig loads, and `extra`
    modules of the rig's own making (under extra/, as modules built out of tree are)."""
    busybox = shutil.which("busybox")
    if busybox is None:
        raise RigError("busybox not found (Debian package busybox-static)")
    if "statically linked" not in run(["file", "-L", busybox]).stdout:
        raise RigError(f"{busybox} is not statically linked (install busybox-static)")
    with tempfile.TemporaryDirectory() as tmp:
        for d in ("bin", "proc", "sys", "dev", "tmp"):
            os.makedirs(os.path.join(tmp, d))
        shutil.copy(busybox, os.path.join(tmp, "bin", "busybox"))
        shutil.copy(os.path.join(HERE, "init.sh"), os.path.join(tmp, "init"))
        os.chmod(os.path.join(tmp, "init"), 0o755)
        target = os.path.join(tmp, "lib", "modules", version)
        boot_order = [unpacked_name(m) for m in load_order(modules, BOOT_MODULES)]
        for rel in load_order(modules, BOOT_MODULES) + load_order(modules, PORT_MODULES):
            os.makedirs(os.path.dirname(os.path.join(target, rel)), exist_ok=True)
            copy_unpacked(os.path.join(modules, rel), os.path.join(target, unpacked_name(rel)))
        os.makedirs(os.path.join(target, "extra"))
        for module in extra:
            shutil.copy(module, os.path.join(target, "extra"))
        for meta in glob.glob(os.path.join(modules, "modules.*")):
            shutil.copy(meta, target)
        # The modules are unpacked (busybox's insmod takes plain .ko files), so the index is
        # made anew for what is there; under usr/lib too, for a depmod of a merged /usr.
        os.makedirs(os.path.join(tmp, "usr", "lib"))
        os.symlink(os.path.join("..", "..", "lib", "modules"),
                   os.path.join(tmp, "usr", "lib", "modules"))
        run(["depmod", "-b", tmp, version], timeout=120)
        with open(os.path.join(tmp, "modules.load"), "w") as f:
            f.write("\n".join(boot_order) + "\n")
        files = run(["find", "."], cwd=tmp).stdout
        packed = subprocess.run(["cpio", "-o", "-H", "newc", "--quiet"], cwd=tmp,
                                input=files.encode(), capture_output=True)
        if packed.returncode != 0:
            raise RigError(f"cpio failed: {packed.stderr.decode(errors='replace')}")
        archive = packed.stdout
    with gzip.open(path, "wb", compresslevel=1) as f:
        f.write(archive)


# The guest's console stays silent this long only when the whole machine stopped: a scenario
# ends (or is ended by its own limit, 300 s) and logs well within it, and the guest's first
# process reports every process's state 330 s into a silent scenario.
SILENCE_LIMIT = 420.0


def cpu_state(monitor: str) -> str:
    """The processor's registers, from QEMU's monitor: where a stopped machine stands (RIP;
    CPL=0 is the kernel; RFL without 0x200, interrupts off)."""
    try:
        with socket.socket(socket.AF_UNIX) as sock:
            sock.settimeout(5)
            sock.connect(monitor)
            text = b""
            for command in (b"", b"info registers\n"):
                sock.sendall(command)
                while not text.endswith(b"(qemu) "):
                    chunk = sock.recv(65536)
                    if not chunk:
                        break
                    text += chunk
                if command:
                    break
                text = b""
    except OSError as e:
        return f"(no registers from QEMU's monitor: {e})"
    lines = text.decode(errors="replace").splitlines()
    return "\n".join(line for line in lines if line.startswith(("RAX=", "RSI=", "RIP=")))


def boot(args, kernel: str, initrd: str, version: str, out: str, accel: str,
         timeout: float, start_timeout: float = 0.0):
    """Runs the machine until it restarts itself (-no-reboot ends QEMU) or `timeout`, or until
    `start_timeout` when the guest program has not started by then, or until its console has
    been silent for SILENCE_LIMIT; returns QEMU's exit code, or None on time-out (QEMU then
    killed with its process group, after its registers were shown)."""
    append = " ".join([
        "console=ttyS0", "panic=-1", "loglevel=4", "rdinit=/init", "transparent_hugepage=never",
        f"pio_kver={version}", f"pio_guest={os.path.join(HERE, 'guest.py')}",
    ] + [f"pio_{name}={os.path.abspath(path)}" for name, path in
         (("binary", args.binary), ("sampler", args.sampler), ("probe", args.probe),
          ("wine", args.wine), ("wine_run", args.wine_run), ("prefix", args.prefix)) if path]
      + ([f"pio_only={args.only}"] if args.only else []))
    argv = [QEMU, "-machine", "pc", "-accel", accel, "-cpu", wine_rig.cpu(args, accel),
            "-smp", str(args.cpus), "-m", "1024", "-nodefaults", "-no-user-config",
            "-display", "none",
            "-no-reboot", "-kernel", kernel, "-initrd", initrd, "-append", append,
            "-serial", f"file:{os.path.join(out, 'console.log')}",
            "-parallel", f"file:{os.path.join(out, 'printer.out')}",
            "-virtfs", "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,"
                       "multidevs=remap",
            "-virtfs", f"local,path={out},mount_tag=rigout,security_model=none"]
    # The monitor's socket lives in a short path of its own (a socket's path has a limit).
    sockets = tempfile.mkdtemp(prefix="pio-rig-")
    monitor = os.path.join(sockets, "monitor")
    argv += ["-monitor", f"unix:{monitor},server=on,wait=off"]
    print(f"rig: booting Linux {version} ({accel}), at most {timeout:.0f} s", flush=True)
    results = os.path.join(out, "results.json")
    console = os.path.join(out, "console.log")
    started = time.monotonic()
    proc = subprocess.Popen(argv, start_new_session=True, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    heard, heard_at = -1, started
    try:
        while proc.poll() is None:
            now = time.monotonic()
            elapsed = now - started
            size = os.path.getsize(console) if os.path.exists(console) else 0
            if size != heard:
                heard, heard_at = size, now
            if elapsed > timeout:
                print(f"rig: the machine still ran after {timeout:.0f} s; its processor:\n"
                      f"{cpu_state(monitor)}", flush=True)
                return None
            if now - heard_at > SILENCE_LIMIT:
                print(f"rig: the machine stopped: its console has been silent for "
                      f"{SILENCE_LIMIT:.0f} s; its processor:\n{cpu_state(monitor)}", flush=True)
                return None
            if start_timeout and elapsed > start_timeout and not os.path.exists(results):
                print(f"rig: the guest program did not start within {start_timeout:.0f} s",
                      flush=True)
                return None
            time.sleep(0.2)
        if proc.returncode != 0:
            print(proc.stdout.read().decode(errors="replace")[-3000:], flush=True)
        return proc.returncode
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
        shutil.rmtree(sockets, ignore_errors=True)


# What a package installed or removed on the host changes; the guest runs on the host's root.
HOST_PACKAGES = ("/var/lib/dpkg/status", "/etc/ld.so.cache")


def host_changes(since: float) -> str:
    """A note when the host's packages changed after `since` (wall clock): the guest sees the
    host's root live as the lower layer of its overlay, and changes to that layer while it is
    mounted have undefined effects."""
    changed = [p for p in HOST_PACKAGES if os.path.exists(p) and os.stat(p).st_mtime > since]
    if not changed:
        return ""
    return (f"\nrig: note: {', '.join(changed)} changed on the host during the run (packages "
            f"installed or removed): the guest sees the host's root, so that alone can break it")


def console_tail(out: str, n: int = 60) -> str:
    try:
        with open(os.path.join(out, "console.log"), errors="replace") as f:
            return "".join(f.readlines()[-n:])
    except OSError:
        return "(no console log)"


def main() -> int:
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--binary", default="")
    p.add_argument("--sampler", default="")
    p.add_argument("--probe", default="")
    p.add_argument("--work", required=True)
    # The Windows program under wine instead (wine_rig.py): its scenarios only.
    p.add_argument("--wine", default="", help="pio-out.exe")
    p.add_argument("--wine-run", default="", help="the Windows build's wine wrapper")
    p.add_argument("--prefix", default="", help="the wine prefix to start from")
    p.add_argument("--timeout", type=float, default=2400.0, help="the whole run in the guest")
    # One processor: with two, a run on a busy host once stalled both of them (an RCU stall
    # and a soft lock-up in khugepaged under TCG) until the time-out.
    p.add_argument("--cpus", type=int, default=1, help="processors of the machine")
    p.add_argument("--only", default="",
                   help="comma-separated scenarios to run (besides references and drivers)")
    p.add_argument("--kvm", action="store_true",
                   help="try KVM first (30 s to start the guest program, else TCG)")
    args = p.parse_args()
    if not (args.wine and args.wine_run and args.prefix) and \
            not (args.binary and args.sampler and args.probe):
        p.error("either --binary, --sampler and --probe, or --wine, --wine-run and --prefix")

    work = os.path.abspath(args.work)
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)

    def skip(reason: str) -> int:
        # check.py reports each scenario as skipped for the same reason.
        with open(os.path.join(out, "skipped.txt"), "w") as f:
            f.write(reason + "\n")
        print(f"SKIP: {reason}")
        return SKIP

    if shutil.which(QEMU) is None:
        if os.environ.get("PIO_REQUIRE_KERNEL_RIG"):
            print(f"rig: FAIL: {QEMU} not found (Debian package qemu-system-x86)")
            return 1
        return skip(f"{QEMU} not found (scripts/run-tests installs qemu-system-x86)")
    if os.geteuid() != 0:
        return skip("needs root (apt-get download of the kernel; QEMU exports / over 9p)")
    try:
        started = time.monotonic()
        kernel, modules, version = prepare_kernel(os.path.join(work, "kernel"))
        extra = []
        if args.wine:
            args.prefix = wine_rig.prepare_prefix(args)
        try:
            if not args.wine:  # the GPIO scenarios are the Linux program's
                extra.append(gpio_sim_build.build(os.path.join(work, "kernel"), version))
        except (RigError, OSError, subprocess.TimeoutExpired) as e:
            # Only the GPIO scenarios need it: they fail with this, the others run.
            with open(os.path.join(out, GPIO_SIM_ERROR), "w") as f:
                f.write(f"no GPIO simulator: {e}\n")
            print(f"rig: no GPIO simulator: {e}", flush=True)
        initrd = os.path.join(work, "initrd.gz")
        build_initramfs(modules, version, initrd, extra)
        print(f"rig: kernel and initramfs ready in {time.monotonic() - started:.1f} s",
              flush=True)
    except (RigError, OSError, subprocess.TimeoutExpired) as e:
        print(f"rig: FAIL: could not set up the machine: {e}")
        return 1

    started = time.monotonic()
    started_wall = time.time()
    results = os.path.join(out, "results.json")
    accel = "tcg"
    if args.kvm and os.access("/dev/kvm", os.R_OK | os.W_OK):
        accel = "kvm"
        rc = boot(args, kernel, initrd, version, out, "kvm", args.timeout, 30.0)
        if not os.path.exists(results):
            print("rig: no guest under KVM, TCG instead", flush=True)
            shutil.rmtree(out)
            os.makedirs(out)
            accel = "tcg"
    if accel == "tcg":
        rc = boot(args, kernel, initrd, version, out, "tcg", args.timeout)
    seconds = time.monotonic() - started
    if rc is None:
        print(f"rig: FAIL: the machine did not finish; console:\n{console_tail(out)}"
              f"{host_changes(started_wall)}")
        return 1
    if not os.path.exists(results):
        print(f"rig: FAIL: the machine did not boot into the guest program (QEMU exit {rc}); "
              f"console:\n{console_tail(out)}{host_changes(started_wall)}")
        return 1
    with open(results) as f:
        data = json.load(f)
    if not data.get("finished"):
        print(f"rig: FAIL: the guest program did not finish; console:\n{console_tail(out)}"
              f"{host_changes(started_wall)}")
        return 1
    print(f"rig: Linux {data['kernel']} ({accel}): {len(data['scenarios'])} scenarios in "
          f"{seconds:.0f} s")
    for name, entry in data["scenarios"].items():
        print(f"  {name}: {'ok' if entry['ok'] else 'FAILED'} ({entry['seconds']} s)")
    print("rig: figures: " + json.dumps(data["figures"]) + host_changes(started_wall))
    return 0


if __name__ == "__main__":
    sys.exit(main())
