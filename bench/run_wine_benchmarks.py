#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""End-to-end benchmarks of the Windows build (pio-out.exe) under wine, on Linux, with the
same rig as run_benchmarks.py: Xvfb from the e2e harness, port bytes time-stamped by
PortStamp on a FIFO, clicks through XTEST. The FIFO stands in for LPT1: under wine
CreateFileA("LPT1") opens whatever the prefix's dosdevices/lpt1 points to, so each session
points that link at its own FIFO. No root and no mount namespace are needed.

    cmake --preset win64 -B build-bench-win && cmake --build build-bench-win -j2 --target pio-out
    cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON
    cmake --build build-bench -j2 --target PortStamp
    python3 bench/run_wine_benchmarks.py all            # cpu, cadence, startup; 3 runs each
    python3 bench/run_wine_benchmarks.py cpu --runs 5   # one at a time

Sub-commands (each prints every run, then the median over the runs):
    cpu        CPU share of one core over 10 s, port output on: idle panel, running light on.
               The exe's own Linux process (utime+stime of /proc/<pid>/stat, schedstat as a
               cross-check) is the figure; wineserver (which serves the program's calls),
               the prefix's other wine processes (services, explorer, ...) and Xvfb are
               printed beside it.
    cadence    intervals between the refresh bytes at the FIFO over 10 s.
    startup    process start (`wine pio-out.exe`) to the first screen capture that equals
               the settled panel: warm (prefix initialised, its wineserver already running
               and kept running, wine's services up) and cold (a prefix that does not exist
               yet, made by that very start).
    all        every one of the above.

Options: --runs N (default 3), --seconds S (cpu, cadence; default 10), --scenarios
idle,light[,load] (cpu), --no-cold (startup), --max-busy PCT (a run on a machine busier than
that is printed, not counted, and done again), --exe, --stamp, --workdir, --json FILE.

The exe is copied into --workdir first, so a rebuild cannot change it during the runs. All
wine programs get WINEDEBUG=-all and WINEDLLOVERRIDES=mscoree,mshtml= (no Mono or Gecko
installer when a prefix is made, as in the project's own wine test runner). Every session
ends with `wineserver -k` for its prefix and a check that no process of the prefix is left.
"""

from __future__ import annotations

import argparse
import contextlib
import hashlib
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time
from typing import Dict, List, Optional

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)

import run_benchmarks as rb  # noqa: E402  (also puts tests/e2e on the path)

h = rb.h
xdirect = rb.xdirect
L = h.LAYOUT

WINE = shutil.which("wine") or "/usr/bin/wine"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver64"
PANEL_RECT = (321, 112, h.Panel.WIDTH, h.Panel.HEIGHT)


def wine_env(prefix: str) -> Dict[str, str]:
    return {"WINEPREFIX": prefix, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}


def prefix_processes(prefix: str) -> Dict[int, str]:
    """Live processes whose environment names this WINEPREFIX: {pid: comm}."""
    key = ("WINEPREFIX=" + prefix).encode()
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                env = f.read().split(b"\0")
            with open(f"/proc/{entry}/comm") as f:
                comm = f.read().strip()
        except OSError:
            continue
        if key in env:
            found[int(entry)] = comm
    return found


class WinePrefix:
    """A throwaway wine prefix; stop() ends every process of it."""

    def __init__(self, path: str):
        self.path = os.path.abspath(path)

    def env(self) -> Dict[str, str]:
        return wine_env(self.path)

    def initialised(self) -> bool:
        return os.path.isfile(os.path.join(self.path, "system.reg"))

    def init(self, x: h.Xvfb) -> float:
        """Makes the prefix as the project's wine runner does; returns the seconds taken."""
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        t = time.monotonic()
        h.run_tool([WINE, "wineboot.exe", "--init"], x.env(self.env()), timeout=180,
                   check_rc=False)
        # wineboot returns before the registry is written; the server writes it as it ends.
        h.run_tool([WINESERVER, "-w"], x.env(self.env()), timeout=180, check_rc=False)
        h.check(self.initialised(), f"wineboot did not make the prefix {self.path}")
        return time.monotonic() - t

    def set_port(self, fifo: str) -> None:
        link = os.path.join(self.path, "dosdevices", "lpt1")
        with contextlib.suppress(FileNotFoundError):
            os.unlink(link)
        os.symlink(fifo, link)

    def server_pid(self) -> Optional[int]:
        for pid, comm in prefix_processes(self.path).items():
            if comm.startswith("wineserver"):
                return pid
        return None

    def stop(self) -> None:
        """`wineserver -k`, then waits until no process of the prefix is left (SIGKILL to
        any that is still there after 10 s); raises if one survives that."""
        env = h.clean_env()
        env.update(self.env())
        subprocess.run([WINESERVER, "-k"], env=env, capture_output=True, timeout=30)
        if h.wait_until(lambda: not prefix_processes(self.path), 10.0, 0.05):
            return
        for pid in prefix_processes(self.path):
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)
        left = h.wait_until(lambda: not prefix_processes(self.path), 5.0, 0.05)
        h.check(left, f"wine processes of {self.path} left: {prefix_processes(self.path)}")

    def remove(self) -> None:
        self.stop()
        shutil.rmtree(self.path, ignore_errors=True)
        with contextlib.suppress(FileNotFoundError):
            os.unlink(self.path + ".lock")


class WinePanel(h.Panel):
    """The harness's Panel, started as `wine EXE`. .pid is the exe's own Linux process
    (found by its name and its WINEPREFIX), which owns the windows (_NET_WM_PID)."""

    def __init__(self, exe: str, xvfb: h.Xvfb, prefix: WinePrefix):
        super().__init__(WINE, xvfb, port=None, namespace=False, args=[exe],
                         env=prefix.env())
        self.prefix = prefix
        self.exe_name = os.path.basename(exe)[:15]  # comm holds 15 characters
        self._exe_pid: Optional[int] = None

    def find_exe(self) -> Optional[int]:
        for pid, comm in prefix_processes(self.prefix.path).items():
            if comm == self.exe_name:
                return pid
        return None

    @property
    def pid(self) -> int:
        if self._exe_pid is None:
            self._exe_pid = self.find_exe()
        return self._exe_pid if self._exe_pid is not None else self.proc.pid

    def exe_pid(self) -> int:
        pid = h.wait_until(self.find_exe, 10.0, 0.02)
        h.check(pid is not None, f"no {self.exe_name} process of {self.prefix.path}")
        self._exe_pid = pid
        return pid


class WineSession(rb.Session):
    """run_benchmarks' Session (Xvfb, FIFO with PortStamp, XTEST), the program under wine;
    the prefix's processes end with the session."""

    def __init__(self, args, prefix: WinePrefix):
        super().__init__(args, port=True, namespace=False)
        self.prefix = prefix

    def make_panel(self, fifo: Optional[str]) -> h.Panel:
        self.prefix.set_port(fifo)
        self._stack.callback(self.prefix.stop)  # runs after the panel's own clean-up
        return WinePanel(self.args.exe_copy, self.x, self.prefix)


def thread_names(pid: int) -> Dict[str, int]:
    names: Dict[str, int] = {}
    with contextlib.suppress(OSError):
        for tid in os.listdir(f"/proc/{pid}/task"):
            with contextlib.suppress(OSError):
                with open(f"/proc/{pid}/task/{tid}/comm") as f:
                    n = f.read().strip()
                names[n] = names.get(n, 0) + 1
    return names


class Runs:
    """Run numbers 0..runs-1. With --max-busy, a run during which the machine was busier than
    that (all CPUs, from /proc/stat) is printed but not counted, and done again (at most
    2 x runs times in all)."""

    def __init__(self, args):
        self.runs, self.max_busy = args.runs, args.max_busy
        self.done = self.repeats = 0
        self.discarded: List[Dict] = []

    def __iter__(self):
        while self.done < self.runs:
            yield self.done

    def keep(self, busy: float, row: Dict, what: str) -> bool:
        if self.max_busy is not None and busy > self.max_busy \
                and self.repeats < 2 * self.runs:
            self.repeats += 1
            self.discarded.append(row)
            print(f"  (not counted: {what} {busy:.0f} % busy, over --max-busy "
                  f"{self.max_busy:g} %; run again)", flush=True)
            return False
        self.done += 1
        return True


# ---------------------------------------------------------------------------------------------
# cpu


def run_cpu(args, prefix: WinePrefix) -> Dict:
    results = {}
    for name in args.scenarios:
        rows = []
        runs = Runs(args)
        for run in runs:
            with WineSession(args, prefix) as s:
                s.panel.wait_window(timeout=60)
                rb.setup_scenario(s, rb.SCENARIOS[name], False)
                time.sleep(1.0)
                pid = s.panel.exe_pid()
                server = prefix.server_pid()
                h.check(server is not None, "no wineserver for the prefix")
                others0 = {p: c for p, c in prefix_processes(prefix.path).items()
                           if p not in (pid, server)}
                n0 = s.reader.count()
                with rb.Machine() as m:
                    w0 = time.monotonic()
                    c0, sv0, x0 = (rb.cpu_seconds(pid), rb.cpu_seconds(server),
                                   rb.cpu_seconds(s.x.proc.pid))
                    o0 = {p: rb.cpu_seconds(p) for p in others0}
                    time.sleep(args.seconds)
                    c1, sv1, x1 = (rb.cpu_seconds(pid), rb.cpu_seconds(server),
                                   rb.cpu_seconds(s.x.proc.pid))
                    o1 = {}
                    for p in others0:
                        with contextlib.suppress(OSError, IndexError):
                            o1[p] = rb.cpu_seconds(p)
                    w1 = time.monotonic()
                wall = w1 - w0
                share = 100.0 * (c1[0] - c0[0]) / wall
                sched = 100.0 * (c1[1] - c0[1]) / wall
                ws = 100.0 * (sv1[0] - sv0[0]) / wall
                ws_sched = 100.0 * (sv1[1] - sv0[1]) / wall
                others = {}
                for p in o1:  # utime+stime: schedstat would lose the threads that ended
                    others[others0[p]] = others.get(others0[p], 0.0) + \
                        100.0 * (o1[p][0] - o0[p][0]) / wall
                others_sum = sum(others.values())
                xvfb = 100.0 * (x1[1] - x0[1]) / wall
                nbytes = s.reader.count() - n0
                h.check(nbytes >= 0.9 * 100 * args.seconds,
                        f"only {nbytes} port bytes in {args.seconds} s: port output not on")
                mem = rb.memory_kb(pid)
                threads = thread_names(pid)
                row = {"share": share, "sched": sched, "wineserver": ws,
                       "wineserver_sched": ws_sched, "others": others,
                       "others_sum": others_sum, "xvfb": xvfb, "bytes": nbytes,
                       "rss_kb": mem["VmRSS"], "threads": mem["Threads"],
                       "thread_names": threads, "load": m.text(),
                       "load_before": m.load_before, "load_after": m.load_after,
                       "busy": m.busy}
                busiest = ", ".join(f"{k} {v:.2f}" for k, v in
                                    sorted(others.items(), key=lambda kv: -kv[1])[:3])
                print(f"cpu {name:6s} run {run + 1}: exe {share:5.2f} % of one core "
                      f"(schedstat {sched:5.2f} %), wineserver {ws:5.2f} % (schedstat "
                      f"{ws_sched:5.2f} %), other wine processes {others_sum:5.2f} % "
                      f"({busiest}), Xvfb {xvfb:5.2f} %, {nbytes} port bytes, "
                      f"{mem['Threads']} threads, VmRSS {mem['VmRSS'] / 1024:.1f} MB, "
                      f"{m.text()}", flush=True)
                if runs.keep(m.busy, row, "all CPUs"):
                    rows.append(row)
        med = {k: statistics.median(r[k] for r in rows)
               for k in ("share", "sched", "wineserver", "wineserver_sched", "others_sum",
                         "xvfb")}
        print(f"cpu {name:6s} median over {len(rows)} runs: exe {med['share']:5.2f} % "
              f"(schedstat {med['sched']:5.2f} %), wineserver {med['wineserver']:5.2f} % "
              f"(schedstat {med['wineserver_sched']:5.2f} %), other wine processes "
              f"{med['others_sum']:5.2f} %, Xvfb {med['xvfb']:5.2f} %", flush=True)
        results[name] = {"runs": rows, "median": med, "not_counted": runs.discarded}
    return results


# ---------------------------------------------------------------------------------------------
# cadence


def run_cadence(args, prefix: WinePrefix) -> Dict:
    rows = []
    runs = Runs(args)
    for run in runs:
        with WineSession(args, prefix) as s:
            s.panel.wait_window(timeout=60)
            s.port_on()
            time.sleep(1.0)
            with rb.Machine() as m:
                t0 = time.monotonic()
                time.sleep(args.seconds)
                t1 = time.monotonic()
            stamps = [t for t, _ in s.reader.between(t0, t1)]
            r = rb.interval_stats(stamps)
            iv = [1000.0 * (b - a) for a, b in zip(stamps, stamps[1:])]
            rate = len(stamps) / (t1 - t0)
            row = {"reader": r, "rate": rate, "bytes": len(stamps),
                   "under_2ms": sum(v < 2.0 for v in iv), "over_15ms": sum(v > 15.0 for v in iv),
                   "load": m.text(), "load_before": m.load_before,
                   "load_after": m.load_after, "busy": m.busy}
            top = sorted(r["histogram"].items(), key=lambda kv: -kv[1])[:8]
            rest = r["n"] - sum(v for _, v in top)
            print(f"cadence run {run + 1}: {len(stamps)} bytes in {t1 - t0:.2f} s "
                  f"({rate:.2f} bytes/s), interval median {r['median']:.3f} ms, p99 "
                  f"{r['p99']:.3f} ms, min {r['min']:.3f} ms, max {r['max']:.3f} ms, mean "
                  f"{r['mean']:.3f} ms; {row['under_2ms']} intervals < 2 ms, "
                  f"{row['over_15ms']} > 15 ms; {m.text()}\n"
                  f"  most frequent 0.2 ms bins: "
                  + ", ".join(f"{k}: {v}" for k, v in sorted(top, key=lambda kv: float(kv[0])))
                  + f" (others {rest})", flush=True)
            if runs.keep(m.busy, row, "all CPUs"):
                rows.append(row)
    med = statistics.median(r["reader"]["median"] for r in rows)
    p99 = statistics.median(r["reader"]["p99"] for r in rows)
    rate = statistics.median(r["rate"] for r in rows)
    print(f"cadence median of the runs: interval median {med:.3f} ms "
          f"({rb.verdict('cadence.median', med)}), p99 {p99:.3f} ms "
          f"({rb.verdict('cadence.p99', p99)}), {rate:.2f} bytes/s", flush=True)
    return {"runs": rows, "median": med, "p99": p99, "rate": rate,
            "not_counted": runs.discarded}


# ---------------------------------------------------------------------------------------------
# startup


def wait_bare(xd, blank: bytes) -> None:
    h.check(h.wait_until(lambda: xd.grab(*PANEL_RECT) == blank, 10.0, 0.02),
            "the panel's rectangle did not clear after the program ended")


def run_startup(args, prefix: WinePrefix) -> Dict:
    warm, cold = [], []
    env = h.clean_env()
    env.update(prefix.env())
    with h.Xvfb() as x, xdirect.XDirect(x.display) as xd, contextlib.ExitStack() as stack:
        xd.move(5, 5)
        blank = xd.grab(*PANEL_RECT)
        stack.callback(prefix.stop)
        # The prefix's server, kept running between the launches (-p: no exit when idle).
        server = stack.enter_context(contextlib.closing(_Closer(
            h.spawn([WINESERVER, "-f", "-p"], env=env, stdin=subprocess.DEVNULL,
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))))
        h.check(h.wait_until(prefix.server_pid, 10.0, 0.02), "wineserver did not start")
        reference = None
        warm_runs = Runs(args)

        def launches():
            yield -1  # the warm-up launch: its settled panel is the reference
            yield from warm_runs

        for run in launches():
            running = sorted(prefix_processes(prefix.path).values())
            with rb.Machine() as quiet:  # what the rest of the machine does: 1 s before
                time.sleep(1.0)
            with WinePanel(args.exe_copy, x, prefix) as panel:
                if reference is not None:
                    with rb.Machine() as m:
                        row = rb.time_to_panel(xd, PANEL_RECT, panel.started_at, reference,
                                               blank, 30.0)
                panel.wait_window(timeout=60)
                if reference is None:
                    time.sleep(1.0)
                    h.check(panel.origin == PANEL_RECT[:2], f"the panel is at {panel.origin}")
                    reference = xd.grab(*PANEL_RECT)
                    colours = {reference[i:i + 3] for i in range(0, len(reference), 4)}
                    h.check(len(colours) > 100, f"the reference shows {len(colours)} colours")
                    h.check(xd.grab(*PANEL_RECT) == reference, "the settled panel is not steady")
                    print(f"startup: reference taken in a warm-up run ({len(colours)} colours)",
                          flush=True)
                else:
                    row.update({"load": m.text(), "running_before": running,
                                "load_before": m.load_before, "load_after": m.load_after,
                                "busy": m.busy, "busy_before": quiet.busy})
                    print(f"startup warm run {run + 1}: first change on screen "
                          f"{row['first_change_ms']:.1f} ms, panel complete {row['ms']:.1f} ms "
                          f"after the launch ({m.text()} during the start, "
                          f"{quiet.busy:.0f} % in the second before it; running before: "
                          f"{', '.join(running)})", flush=True)
                    if warm_runs.keep(quiet.busy, row, "the second before the launch: all CPUs"):
                        warm.append(row)
            wait_bare(xd, blank)
            # Explorer's desktop process ends a moment after the program: let it, so each
            # warm launch finds the same processes (the server and wine's services).
            h.wait_until(lambda: not {"explorer.exe", panel.exe_name}
                         & set(prefix_processes(prefix.path).values()), 10.0, 0.05)
            time.sleep(0.5)
        prefix.stop()
        server.close()
        med = statistics.median(r["ms"] for r in warm)
        print(f"startup warm median {med:.1f} ms over {len(warm)} runs (max "
              f"{max(r['ms'] for r in warm):.1f} ms); {rb.verdict('startup', med)}",
              flush=True)

        cold_runs = Runs(args)
        for run in ([] if args.no_cold else cold_runs):
            fresh = WinePrefix(os.path.join(args.workdir, "prefix-cold"))
            fresh.remove()
            h.check(not os.path.exists(fresh.path), "the cold prefix is still there")
            with rb.Machine() as quiet:
                time.sleep(1.0)
            try:
                with WinePanel(args.exe_copy, x, fresh) as panel, rb.Machine() as m:
                    row = rb.time_to_panel(xd, PANEL_RECT, panel.started_at, reference,
                                           blank, 180.0)
                row.update({"load": m.text(), "load_before": m.load_before,
                            "load_after": m.load_after, "busy": m.busy,
                            "busy_before": quiet.busy})
                print(f"startup cold run {run + 1} (prefix made by this start): first "
                      f"change on screen {row['first_change_ms']:.1f} ms, panel complete "
                      f"{row['ms']:.1f} ms after the launch ({m.text()} during the start, "
                      f"{quiet.busy:.0f} % in the second before it)", flush=True)
                if cold_runs.keep(quiet.busy, row, "the second before the launch: all CPUs"):
                    cold.append(row)
            finally:
                fresh.remove()
            wait_bare(xd, blank)
        if cold:
            cmed = statistics.median(r["ms"] for r in cold)
            print(f"startup cold median {cmed:.1f} ms over {len(cold)} runs", flush=True)
    out = {"warm": {"runs": warm, "median": med, "not_counted": warm_runs.discarded}}
    if cold:
        out["cold"] = {"runs": cold, "median": statistics.median(r["ms"] for r in cold),
                       "not_counted": cold_runs.discarded}
    return out


class _Closer:
    """A spawned process as something contextlib.closing can end."""

    def __init__(self, proc: subprocess.Popen):
        self.proc = proc

    def close(self) -> None:
        h.kill_group(self.proc)


# ---------------------------------------------------------------------------------------------


COMMANDS = {"cpu": run_cpu, "cadence": run_cadence, "startup": run_startup}


def sha256(path: str) -> str:
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=list(COMMANDS) + ["all"])
    parser.add_argument("--exe", default=os.path.join(ROOT, "build-bench-win", "src",
                                                      "pio-out.exe"),
                        help="the Windows program (default: build-bench-win/src/pio-out.exe)")
    parser.add_argument("--stamp", default=os.path.join(ROOT, "build-bench", "bench",
                                                        "PortStamp"),
                        help="PortStamp of the Linux build (default: build-bench/bench/PortStamp)")
    parser.add_argument("--workdir", default="/tmp/pio-wine-bench",
                        help="the exe's copy and the throwaway prefixes (default: %(default)s)")
    parser.add_argument("--fresh-prefix", action="store_true",
                        help="make the benchmark prefix anew even if one is there")
    parser.add_argument("--runs", type=int, default=3, help="runs of each benchmark")
    parser.add_argument("--seconds", type=float, default=10.0,
                        help="measuring time of cpu and cadence, seconds")
    parser.add_argument("--scenarios", default="idle,light",
                        help="cpu: comma-separated, of " + ", ".join(rb.SCENARIOS)
                             + " (default: %(default)s)")
    parser.add_argument("--no-cold", action="store_true", help="startup: warm runs only")
    parser.add_argument("--max-busy", type=float, metavar="PCT",
                        help="a run during which all CPUs were more than PCT %% busy (for "
                             "startup: in the second before the launch) is printed, not "
                             "counted, and done again (at most 2 x --runs repeats)")
    parser.add_argument("--json", help="write all figures to this file as well")
    args = parser.parse_args()
    args.scenarios = [n for n in args.scenarios.split(",") if n]
    for n in args.scenarios:
        if n not in rb.SCENARIOS:
            raise SystemExit(f"unknown scenario {n}")

    for tool in ("Xvfb", "xdotool", "xwininfo", "xwd", WINE, WINESERVER):
        if shutil.which(tool) is None:
            raise SystemExit(f"missing tool: {tool}")
    if not xdirect.available():
        raise SystemExit("libX11.so.6 / libXtst.so.6 not found")
    if not os.path.isfile(args.exe):
        raise SystemExit(f"{args.exe} is missing: build the win64 pio-out target")
    if not os.access(args.stamp, os.X_OK):
        raise SystemExit(f"{args.stamp} is missing: build the PortStamp target")

    def on_term(signum, frame):
        raise SystemExit(128 + signum)  # unwinds the context managers: wine is stopped

    signal.signal(signal.SIGTERM, on_term)

    os.makedirs(args.workdir, exist_ok=True)
    args.workdir = os.path.abspath(args.workdir)
    args.exe_copy = os.path.join(args.workdir, "pio-out.exe")
    shutil.copy2(args.exe, args.exe_copy)
    digest = sha256(args.exe_copy)
    mtime = time.strftime("%Y-%m-%d %H:%M:%S UTC", time.gmtime(os.stat(args.exe).st_mtime))
    wine_version = subprocess.run([WINE, "--version"], capture_output=True, text=True,
                                  env=dict(h.clean_env(), WINEDEBUG="-all")).stdout.strip()
    info = rb.machine_description()
    print(f"machine: nproc {info['nproc']}, {info['cpu']}, Linux {info['kernel']}; "
          f"{wine_version}; exe {args.exe} (modified {mtime}, sha256 {digest[:16]}), "
          f"copied to {args.exe_copy}; load {os.getloadavg()[0]:.2f}", flush=True)
    results = {"machine": info, "wine": wine_version, "exe": args.exe, "exe_sha256": digest,
               "exe_mtime": mtime, "argv": sys.argv}

    prefix = WinePrefix(os.path.join(args.workdir, "prefix"))
    try:
        if args.fresh_prefix:
            prefix.remove()
        if not prefix.initialised():
            prefix.remove()
            with h.Xvfb() as x:
                secs = prefix.init(x)
                prefix.stop()
            print(f"prefix {prefix.path} made in {secs:.1f} s", flush=True)
        commands = list(COMMANDS) if args.command == "all" else [args.command]
        for name in commands:
            results[name] = COMMANDS[name](args, prefix)
    finally:
        prefix.stop()
        left = prefix_processes(prefix.path)
        left.update(prefix_processes(os.path.join(args.workdir, "prefix-cold")))
        print("wine processes left: " + (", ".join(f"{p} {c}" for p, c in left.items())
                                         if left else "none"), flush=True)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)


if __name__ == "__main__":
    main()
