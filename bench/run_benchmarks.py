#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""End-to-end benchmarks of the real pio-out binary under Xvfb, with a FIFO standing in for
/dev/parport0 (the e2e harness: tests/e2e/harness.py). Run as root (the private mount
namespace that holds the stand-in port needs it), on a quiet machine, with a Release build:

    cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON
    cmake --build build-bench -j2 --target pio-out PortStamp PortCycleBench
    python3 bench/run_benchmarks.py all             # everything, 3 runs each (about 6 min)
    python3 bench/run_benchmarks.py cpu --runs 5    # one benchmark

Sub-commands (each prints every run, then the median over the runs next to its target):
    cpu        CPU share of one core over 10 s, from /proc/<pid>/stat utime+stime (with the
               per-thread schedstat run time as a cross-check): idle panel with port output
               on, running light on, load view on (each with port output on); --display
               adds the same three with the display switch (v5) on as well.
    cadence    intervals between the refresh bytes at the port over 10 s; --perf also
               records the program's write(2) calls with perf, so the reader's own delay
               and the program's write intervals are known exactly.
    click      a click on a channel socket to the first port byte that carries the change.
    startup    process start to the first screen capture that equals the settled panel.
    memory     VmRSS and VmHWM 10 s after the start (port output on).
    portcycle  the PortCycleBench program (the port cycle alone).
    close      Alt+F4 while the running light runs, to the program's exit.
    all        every one of the above.

Port bytes are time-stamped by PortStamp (bench/PortStamp.cpp), a C++ reader that takes
CLOCK_MONOTONIC right after read(2) returns; clicks are sent through XTEST on an open X
connection (bench/xdirect.py), so no process start lands in a figure.
"""

from __future__ import annotations

import argparse
import contextlib
import json
import os
import platform
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from typing import Dict, List, Optional, Tuple

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, HERE)

import harness as h  # noqa: E402
import xdirect  # noqa: E402

L = h.LAYOUT
CLK_TCK = os.sysconf("SC_CLK_TCK")

TARGETS = {
    "cpu.idle": ("<=", 2.0, "% of one core"),
    "cpu.light": ("<=", 3.0, "% of one core"),
    "cpu.load": ("<=", 3.0, "% of one core"),
    "cadence.median": ("==", 10.0, "ms"),
    "cadence.p99": ("<=", 15.0, "ms"),
    "click.p99": ("<=", 15.0, "ms"),
    "startup": ("<=", 150.0, "ms"),
    "close": ("<=", 500.0, "ms"),
    "memory.rss": ("<=", 60.0, "MB"),
    "memory.hwm": ("<=", 60.0, "MB"),
}


# ---------------------------------------------------------------------------------------------
# Figures


def percentile(values: List[float], p: float) -> float:
    """Nearest-rank percentile (p in 0..100) of a non-empty list."""
    s = sorted(values)
    k = max(0, min(len(s) - 1, int(-(-p * len(s) // 100)) - 1))
    return s[k]


def verdict(key: str, value: float) -> str:
    op, target, unit = TARGETS[key]
    if op == "<=":
        ok = value <= target
        return f"target <= {target:g} {unit}: {'met' if ok else 'MISSED'}"
    # "==": a rate target; within 1 % counts as met.
    ok = abs(value - target) <= 0.01 * target
    return f"target {target:g} {unit} (±1 %): {'met' if ok else 'MISSED'}"


class Machine:
    """Load figures around a run: 1-minute load average and the busy share of all CPUs."""

    @staticmethod
    def cpu_times() -> Tuple[int, int]:
        with open("/proc/stat") as f:
            fields = [int(v) for v in f.readline().split()[1:]]
        idle = fields[3] + fields[4]
        return sum(fields), idle

    def __enter__(self) -> "Machine":
        self.load_before = os.getloadavg()[0]
        self._t0 = self.cpu_times()
        return self

    def __exit__(self, *exc) -> None:
        t1 = self.cpu_times()
        total = t1[0] - self._t0[0]
        self.busy = 100.0 * (total - (t1[1] - self._t0[1])) / total if total else 0.0
        self.load_after = os.getloadavg()[0]

    def text(self) -> str:
        return (f"load {self.load_before:.2f}->{self.load_after:.2f}, "
                f"all CPUs {self.busy:.0f} % busy")


def machine_description() -> Dict[str, str]:
    model = "?"
    with contextlib.suppress(OSError):
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    return {"nproc": str(os.cpu_count()), "cpu": model, "kernel": platform.release(),
            "python": platform.python_version()}


# ---------------------------------------------------------------------------------------------
# Port bytes, time-stamped by PortStamp


class StampReader(h.TimedBytes):
    """Runs PortStamp on a FIFO; the same queries as the harness's PortReader."""

    def __init__(self, exe: str, path: str):
        super().__init__()
        self.exe, self.path = exe, path
        self.proc: Optional[subprocess.Popen] = None
        self._thread: Optional[threading.Thread] = None

    def __enter__(self) -> "StampReader":
        self.proc = h.spawn([self.exe, self.path], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, text=True, bufsize=1)
        line = self.proc.stdout.readline()
        if line.strip() != "ready":
            raise RuntimeError(f"PortStamp did not start: {line!r}")
        self._thread = threading.Thread(target=self._loop, daemon=True)
        self._thread.start()
        return self

    def _loop(self) -> None:
        for line in self.proc.stdout:
            t, b = line.split()
            self._add(float(t), (int(b),))

    def __exit__(self, *exc) -> None:
        if self.proc:
            with contextlib.suppress(OSError):
                self.proc.stdin.close()
            with contextlib.suppress(subprocess.TimeoutExpired):
                self.proc.wait(timeout=5)
            h.kill_group(self.proc)
        if self._thread:
            self._thread.join(timeout=5)


# ---------------------------------------------------------------------------------------------
# A session: Xvfb, the FIFO with its reader, the program


class Session:
    def __init__(self, args, port: bool = True, namespace: Optional[bool] = None):
        self.args = args
        self.port = port
        self.namespace = namespace
        self._stack = contextlib.ExitStack()

    def __enter__(self) -> "Session":
        s = self._stack
        try:
            tmp = s.enter_context(tempfile.TemporaryDirectory(prefix="pio-bench-"))
            fifo = None
            self.reader = None
            if self.port:
                fifo = os.path.join(tmp, "parport0")
                os.mkfifo(fifo, 0o666)
                self.reader = s.enter_context(StampReader(self.args.stamp, fifo))
            self.x = s.enter_context(h.Xvfb())
            self.xd = s.enter_context(xdirect.XDirect(self.x.display))
            self.xd.move(5, 5)  # off the panel: no hint, no hover
            self.panel = s.enter_context(self.make_panel(fifo))
        except BaseException:
            s.close()
            raise
        return self

    def make_panel(self, fifo: Optional[str]) -> h.Panel:
        """The program, not yet started; run_wine_benchmarks.py starts it through wine."""
        return h.Panel(self.args.binary, self.x, port=fifo, namespace=self.namespace,
                       env=getattr(self.args, "program_env", None) or None)

    def __exit__(self, *exc) -> None:
        self._stack.close()

    def double_click(self, name: str) -> None:
        """Double click on a switch, through XTEST; the pointer then leaves the panel."""
        sx, sy = self.panel.screen(*L.switch(name))
        self.xd.move(sx, sy)
        time.sleep(0.05)
        self.xd.click()
        time.sleep(0.06)
        self.xd.click()
        self.xd.sync()
        time.sleep(0.05)
        self.xd.move(5, 5)

    def port_on(self) -> None:
        before = self.reader.count()
        self.double_click("pout")
        if not self.reader.wait_count(before + 10, 2.0):
            raise RuntimeError("port output did not start")


def cpu_seconds(pid: int) -> Tuple[float, float]:
    """(utime+stime from /proc/<pid>/stat, sum of the threads' schedstat run time), seconds."""
    with open(f"/proc/{pid}/stat") as f:
        rest = f.read().rsplit(")", 1)[1].split()
    ticks = int(rest[11]) + int(rest[12])
    run_ns = 0
    with contextlib.suppress(OSError):
        for tid in os.listdir(f"/proc/{pid}/task"):
            with contextlib.suppress(OSError):
                with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                    run_ns += int(f.read().split()[0])
    return ticks / CLK_TCK, run_ns / 1e9


def memory_kb(pid: int) -> Dict[str, int]:
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "VmHWM", "RssAnon", "RssFile", "RssShmem", "Threads"):
                out[key] = int(value.split()[0])
    return out


# ---------------------------------------------------------------------------------------------
# cpu


SCENARIOS = {
    "idle": [],
    "light": ["vl"],
    "load": ["peak"],
}


def setup_scenario(s: Session, switches: List[str], display: bool) -> None:
    s.port_on()
    if display:
        before = s.panel.grab()
        s.double_click("v5")
        x, y = L.switch("v5")
        h.check(h.wait_until(lambda: not s.panel.grab().crop_equal(before, x - 3, y - 3, 7, 7),
                             2.0, 0.05), "the display switch did not change")
    for name in switches:
        before = s.panel.grab()
        t = time.monotonic()
        s.double_click(name)
        x, y = L.switch(name)
        h.check(h.wait_until(lambda: not s.panel.grab().crop_equal(before, x - 3, y - 3, 7, 7),
                             2.0, 0.05), f"the {name} switch did not change")
        if name == "vl":
            time.sleep(0.8)
            values = {b for _, b in s.reader.between(t, time.monotonic())}
            h.check(len(values) >= 4, f"the running light does not run: bytes {values}")


def run_cpu(args) -> Dict:
    results = {}
    names = list(SCENARIOS)
    variants = [(n, False) for n in names] + ([(n, True) for n in names] if args.display else [])
    for name, display in variants:
        label = name + ("+display" if display else "")
        rows = []
        for run in range(args.runs):
            with Session(args) as s:
                s.panel.wait_window()
                setup_scenario(s, SCENARIOS[name], display)
                time.sleep(1.0)
                pid, xpid = s.panel.pid, s.x.proc.pid
                n0 = s.reader.count()
                with Machine() as m:
                    w0 = time.monotonic()
                    c0, x0 = cpu_seconds(pid), cpu_seconds(xpid)
                    time.sleep(args.seconds)
                    c1, x1 = cpu_seconds(pid), cpu_seconds(xpid)
                    w1 = time.monotonic()
                mem = memory_kb(pid)
                wall = w1 - w0
                share = 100.0 * (c1[0] - c0[0]) / wall
                share_sched = 100.0 * (c1[1] - c0[1]) / wall
                xvfb = 100.0 * (x1[1] - x0[1]) / wall  # schedstat: finer than ticks
                nbytes = s.reader.count() - n0
                h.check(nbytes >= 0.9 * 100 * args.seconds,
                        f"only {nbytes} port bytes in {args.seconds} s: port output not on")
                rows.append({"share": share, "sched": share_sched, "xvfb": xvfb,
                             "bytes": nbytes, "rss_kb": mem["VmRSS"], "hwm_kb": mem["VmHWM"],
                             "threads": mem["Threads"], "load": m.text()})
                print(f"cpu {label:14s} run {run + 1}: {share:5.2f} % of one core "
                      f"(schedstat {share_sched:5.2f} %), Xvfb {xvfb:5.2f} % (schedstat), "
                      f"{nbytes} port bytes, VmRSS {mem['VmRSS'] / 1024:.1f} MB, "
                      f"{m.text()}", flush=True)
        med = statistics.median(r["share"] for r in rows)
        key = "cpu." + name
        line = f"cpu {label:14s} median {med:5.2f} % over {len(rows)} runs"
        if not display:
            line += "; " + verdict(key, med)
        print(line, flush=True)
        results[label] = {"runs": rows, "median": med}
    return results


# ---------------------------------------------------------------------------------------------
# cadence


def perf_events(perf_data: str, pid: int) -> Tuple[List[float], List[Tuple[str, float, int]]]:
    """From a perf recording of the program: the entry times (CLOCK_MONOTONIC s) of its
    one-byte write(2) calls, and the main thread's poll/ppoll events as
    (event, time, poll timeout in ms or -1)."""
    out = subprocess.run(["perf", "script", "-i", perf_data, "-F", "tid,time,event,trace"],
                         capture_output=True, text=True, check=True).stdout
    writes, polls = [], []
    for line in out.splitlines():
        # "  TID  SECONDS:   syscalls:EVENT: ARGS"
        fields = line.split(None, 3)
        if len(fields) < 3 or not fields[2].startswith("syscalls:"):
            continue
        tid, t = int(fields[0]), float(fields[1].rstrip(":"))
        event = fields[2][len("syscalls:"):].rstrip(":")
        trace = fields[3] if len(fields) > 3 else ""
        if event == "sys_enter_write" and "count: 0x00000001" in trace:
            writes.append(t)
        elif tid == pid and event in ("sys_enter_poll", "sys_exit_poll", "sys_enter_ppoll",
                                      "sys_exit_ppoll"):
            timeout = -1
            if "timeout_msecs: " in trace:
                timeout = int(trace.split("timeout_msecs: ")[1].split()[0], 16)
                timeout = timeout if timeout < 1 << 31 else -1
            polls.append((event, t, timeout))
    return writes, polls


def poll_summary(polls: List[Tuple[str, float, int]]) -> Dict:
    """How the main thread waits between refreshes: poll timeouts asked for, how late the
    timed-out polls return, and how long the thread is awake between two polls."""
    timeouts: Dict[int, int] = {}
    late, awake = [], []
    enter = None
    last_exit = None
    for event, t, timeout in polls:
        if event.startswith("sys_enter"):
            if last_exit is not None:
                awake.append(1000.0 * (t - last_exit))
            enter = (t, timeout)
            timeouts[timeout] = timeouts.get(timeout, 0) + 1
        elif enter is not None:
            if enter[1] > 0:
                late.append(1000.0 * (t - enter[0]) - enter[1])
            last_exit = t
            enter = None
    out: Dict = {"timeouts_ms": timeouts}
    if late:
        out["late_ms"] = {"median": statistics.median(late), "min": min(late),
                          "max": max(late), "n": len(late)}
    if awake:
        out["awake_ms"] = {"median": statistics.median(awake), "max": max(awake),
                           "p90": percentile(awake, 90), "n": len(awake)}
    return out


def interval_stats(times: List[float]) -> Dict:
    iv = [1000.0 * (b - a) for a, b in zip(times, times[1:])]
    bins: Dict[str, int] = {}
    for v in iv:  # 0.2 ms bins, labelled by their centre
        key = f"{round(v * 5) / 5:.1f}"
        bins[key] = bins.get(key, 0) + 1
    return {"n": len(iv), "median": statistics.median(iv), "p99": percentile(iv, 99),
            "max": max(iv), "min": min(iv), "mean": statistics.fmean(iv),
            "histogram": dict(sorted(bins.items(), key=lambda kv: float(kv[0])))}


def strace_waits(pid: int, seconds: float, path: str) -> Dict[str, int]:
    """Traces poll/ppoll of the program for a while; counts the waits asked for."""
    subprocess.run(["timeout", str(seconds), "strace", "-tt", "-e", "trace=poll,ppoll",
                    "-p", str(pid), "-o", path], capture_output=True)
    waits: Dict[str, int] = {}
    with open(path) as f:
        for line in f:
            if "<detached" in line:
                continue
            if "ppoll(" in line and "tv_nsec=" in line:
                sec = int(line.split("tv_sec=")[1].split(",")[0])
                nsec = int(line.split("tv_nsec=")[1].split("}")[0])
                key = f"{sec * 1000 + nsec / 1e6:.3f} ms (ppoll)"
            elif " poll(" in line or line.split(" ", 1)[-1].startswith("poll("):
                key = line.split(")")[0].rsplit(",", 1)[-1].strip() + " ms (poll)"
            else:
                continue
            waits[key] = waits.get(key, 0) + 1
    return dict(sorted(waits.items(), key=lambda kv: -kv[1]))


def run_cadence(args) -> Dict:
    import bisect
    rows = []
    if args.perf and shutil.which("perf") is None:
        raise SystemExit("--perf: perf is not installed")
    if args.strace and shutil.which("strace") is None:
        raise SystemExit("--strace: strace is not installed")
    for run in range(args.runs):
        with Session(args) as s, tempfile.TemporaryDirectory(prefix="pio-perf-") as ptmp:
            s.panel.wait_window()
            s.port_on()
            time.sleep(1.0)
            perf = None
            data = os.path.join(ptmp, "perf.data")
            if args.perf:
                events = []
                for e in ("sys_enter_write", "sys_enter_poll", "sys_exit_poll",
                          "sys_enter_ppoll", "sys_exit_ppoll"):
                    events += ["-e", "syscalls:" + e]
                perf = h.spawn(["perf", "record", "-q", "-k", "mono", *events,
                                "-p", str(s.panel.pid), "-o", data],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                time.sleep(1.0)  # perf attaches
            with Machine() as m:
                t0 = time.monotonic()
                time.sleep(args.seconds)
                t1 = time.monotonic()
            stamps = [t for t, _ in s.reader.between(t0, t1)]
            row = {"reader": interval_stats(stamps), "load": m.text(),
                   "rate": (len(stamps) - 1) / (stamps[-1] - stamps[0])}
            r = row["reader"]
            line = (f"cadence run {run + 1}: {len(stamps)} bytes, interval median "
                    f"{r['median']:.3f} ms, p99 {r['p99']:.3f} ms, max {r['max']:.3f} ms, "
                    f"mean {r['mean']:.3f} ms ({row['rate']:.2f} bytes/s), {m.text()}\n"
                    f"  intervals in 0.2 ms bins: "
                    + ", ".join(f"{k}: {v}" for k, v in r["histogram"].items()))
            if perf:
                perf.send_signal(2)  # SIGINT: perf writes its file and ends
                perf.wait(timeout=20)
                writes, polls = perf_events(data, s.panel.pid)
                # Each byte's delay: arrival at the reader minus the write(2) entry before it.
                lat = []
                for t in stamps:
                    i = bisect.bisect_right(writes, t) - 1
                    if i >= 0 and t - writes[i] < 0.05:
                        lat.append(1000.0 * (t - writes[i]))
                inside = [t for t in writes if t0 <= t < t1]
                row["writes"] = interval_stats(inside)
                row["reader_delay"] = {"median": statistics.median(lat),
                                       "p99": percentile(lat, 99), "max": max(lat),
                                       "n": len(lat)}
                row["polls"] = poll_summary([p for p in polls if t0 <= p[1] < t1])
                w, d, pl = row["writes"], row["reader_delay"], row["polls"]
                line += (f"\n  perf: the program's write(2) intervals median {w['median']:.3f} ms,"
                         f" p99 {w['p99']:.3f} ms, max {w['max']:.3f} ms; reader delay after "
                         f"write(2) median {d['median'] * 1000:.0f} µs, p99 "
                         f"{d['p99'] * 1000:.0f} µs, max {d['max'] * 1000:.0f} µs")
                line += ("\n  perf: main thread poll timeouts (ms: count) "
                         + ", ".join(f"{k}: {v}" for k, v in
                                     sorted(pl["timeouts_ms"].items())))
                if "late_ms" in pl:
                    line += (f"; timed polls return late by median "
                             f"{pl['late_ms']['median']:.3f} ms (min {pl['late_ms']['min']:.3f},"
                             f" max {pl['late_ms']['max']:.3f})")
                if "awake_ms" in pl:
                    line += (f"; awake between polls median {pl['awake_ms']['median']:.3f} ms "
                             f"(p90 {pl['awake_ms']['p90']:.3f}, max "
                             f"{pl['awake_ms']['max']:.3f})")
            if args.strace:
                waits = strace_waits(s.panel.pid, 1.0, f"{args.strace}.{run + 1}")
                row["strace_waits"] = waits
                line += ("\n  strace (1 s after the measurement, slows the program): waits "
                         "asked for: " + ", ".join(f"{k} x{v}" for k, v in
                                                    list(waits.items())[:6]))
            print(line, flush=True)
            rows.append(row)
    med = statistics.median(r["reader"]["median"] for r in rows)
    p99 = statistics.median(r["reader"]["p99"] for r in rows)
    mean = statistics.median(r["reader"]["mean"] for r in rows)
    print(f"cadence median of the runs: interval median {med:.3f} ms "
          f"({verdict('cadence.median', med)}), p99 {p99:.3f} ms "
          f"({verdict('cadence.p99', p99)}); mean {mean:.3f} ms", flush=True)
    return {"runs": rows, "median": med, "p99": p99, "mean": mean}


# ---------------------------------------------------------------------------------------------
# click


def port_byte(word: int) -> int:
    return ((word & 255) << 2) & 255


def run_click(args) -> Dict:
    rng = random.Random(args.seed)
    rows = []
    pooled: List[float] = []
    for run in range(args.runs):
        lat: List[float] = []
        missed = 0
        with Session(args) as s:
            s.panel.wait_window()
            s.port_on()
            time.sleep(0.5)
            word = 0
            with Machine() as m:
                channel = 1
                for i in range(args.clicks):
                    # Never the same socket twice in a row (no double click), random pause.
                    channel = rng.choice([c for c in range(1, 7) if c != channel])
                    sx, sy = s.panel.screen(*L.socket(channel))
                    s.xd.move(sx + rng.randint(-5, 5), sy + rng.randint(-5, 5))
                    time.sleep(rng.uniform(0.45, 0.6))  # > the double-click interval
                    word ^= 1 << (channel - 1)
                    t_click = s.xd.click()
                    t_byte = s.reader.wait_byte(port_byte(word), 1.0, after=t_click)
                    if t_byte is None:
                        missed += 1
                        last = s.reader.quiet_since()
                        events = s.reader.events()
                        word = (events[-1][1] >> 2) if events else 0
                        print(f"  click {i + 1} on channel {channel}: no byte "
                              f"{port_byte(word)} within 1 s (last at {last})", flush=True)
                        continue
                    lat.append(1000.0 * (t_byte - t_click))
        pooled += lat
        row = {"n": len(lat), "missed": missed, "median": statistics.median(lat),
               "p99": percentile(lat, 99), "max": max(lat), "min": min(lat),
               "load": m.text()}
        rows.append(row)
        print(f"click run {run + 1}: {row['n']} clicks ({missed} without their byte), "
              f"latency min {row['min']:.2f} ms, median {row['median']:.2f} ms, p99 "
              f"{row['p99']:.2f} ms, max {row['max']:.2f} ms, {m.text()}", flush=True)
    p99 = percentile(pooled, 99)
    med = statistics.median(pooled)
    print(f"click all {len(pooled)} clicks: median {med:.2f} ms, p99 {p99:.2f} ms, "
          f"max {max(pooled):.2f} ms; median of the runs' p99 "
          f"{statistics.median(r['p99'] for r in rows):.2f} ms; {verdict('click.p99', p99)}",
          flush=True)
    return {"runs": rows, "pooled_median": med, "pooled_p99": p99, "pooled_max": max(pooled),
            "pooled_n": len(pooled)}


# ---------------------------------------------------------------------------------------------
# startup


def time_to_panel(xd, rect, started_at: float, reference: bytes, blank: bytes,
                  timeout: float) -> Dict:
    """Grabs `rect` every ~1 ms from the launch at `started_at` until it equals `reference`:
    milliseconds to the first change on screen and to the complete panel."""
    first_change = first_right = None
    deadline = started_at + timeout
    while time.monotonic() < deadline:
        img = xd.grab(*rect)
        t = time.monotonic()
        if first_change is None and img != blank:
            first_change = t
        if img == reference:
            first_right = t
            break
        time.sleep(0.001)
    h.check(first_right is not None, f"the panel never matched the reference in {timeout} s")
    return {"ms": 1000.0 * (first_right - started_at),
            "first_change_ms": 1000.0 * (first_change - started_at)}


def run_startup(args) -> Dict:
    rows = []
    with h.Xvfb() as x, xdirect.XDirect(x.display) as xd:
        xd.move(5, 5)
        rect = None
        reference = None
        for run in range(-1, args.runs):
            blank = xd.grab(321, 112, 340, 200)
            with h.Panel(args.binary, x, namespace=False,
                         env=args.program_env or None) as panel:
                if reference is not None:
                    row = time_to_panel(xd, rect, panel.started_at, reference, blank, 5.0)
                panel.wait_window()
                if reference is None:
                    # The warm-up run: the settled panel is the reference picture.
                    time.sleep(1.0)
                    rect = (*panel.origin, panel.WIDTH, panel.HEIGHT)
                    h.check(rect[:2] == (321, 112), f"the panel is at {rect[:2]}")
                    reference = xd.grab(*rect)
                    colours = {reference[i:i + 3] for i in range(0, len(reference), 4)}
                    h.check(len(colours) > 100, f"the reference shows {len(colours)} colours")
                    again = xd.grab(*rect)
                    h.check(again == reference, "the settled panel is not steady")
                    print(f"startup: reference taken in a warm-up run "
                          f"({len(colours)} colours)", flush=True)
                    continue
                ms, first_ms = row["ms"], row["first_change_ms"]
                rows.append({**row, "load": os.getloadavg()[0]})
                print(f"startup run {run + 1}: first change on screen {first_ms:.1f} ms, "
                      f"panel complete {ms:.1f} ms after the launch "
                      f"(load {os.getloadavg()[0]:.2f})", flush=True)
            time.sleep(0.5)  # the window is gone; the next run starts on the bare root
    med = statistics.median(r["ms"] for r in rows)
    print(f"startup median {med:.1f} ms over {len(rows)} runs (max "
          f"{max(r['ms'] for r in rows):.1f} ms); {verdict('startup', med)}", flush=True)
    return {"runs": rows, "median": med}


# ---------------------------------------------------------------------------------------------
# memory


def run_memory(args) -> Dict:
    rows = []
    for run in range(args.runs):
        with Session(args) as s:
            s.panel.wait_window()
            s.port_on()
            left = s.panel.started_at + 10.0 - time.monotonic()
            time.sleep(max(0.0, left))
            mem = memory_kb(s.panel.pid)
            rows.append(mem)
            print(f"memory run {run + 1}: VmRSS {mem['VmRSS'] / 1024:.1f} MB "
                  f"(anon {mem['RssAnon'] / 1024:.1f}, file {mem['RssFile'] / 1024:.1f}, shmem "
                  f"{mem['RssShmem'] / 1024:.1f}), VmHWM {mem['VmHWM'] / 1024:.1f} MB, "
                  f"{mem['Threads']} threads, 10 s after the start "
                  f"(load {os.getloadavg()[0]:.2f})", flush=True)
    rss = statistics.median(r["VmRSS"] for r in rows) / 1024
    hwm = statistics.median(r["VmHWM"] for r in rows) / 1024
    print(f"memory median VmRSS {rss:.1f} MB ({verdict('memory.rss', rss)}), VmHWM {hwm:.1f} MB "
          f"({verdict('memory.hwm', hwm)})", flush=True)
    return {"runs": rows, "rss_mb": rss, "hwm_mb": hwm}


# ---------------------------------------------------------------------------------------------
# portcycle


def run_portcycle(args) -> Dict:
    exe = os.path.join(args.build, "bench", "PortCycleBench")
    if not os.access(exe, os.X_OK):
        raise SystemExit(f"{exe} is missing: build the PortCycleBench target")
    outputs = []
    for run in range(args.runs):
        load = os.getloadavg()[0]
        out = subprocess.run([exe], capture_output=True, text=True, check=True).stdout
        print(f"portcycle run {run + 1} (load {load:.2f}):\n{out.rstrip()}", flush=True)
        outputs.append({"load": load, "output": out})
    return {"runs": outputs}


# ---------------------------------------------------------------------------------------------


# ---------------------------------------------------------------------------------------------
# close


def run_close(args) -> Dict:
    """Alt+F4 while the running light runs: from the key (xdotool, through XTEST) to the
    program's exit."""
    rows = []
    for run in range(args.runs):
        with Session(args) as s:
            s.panel.wait_window()
            s.port_on()
            time.sleep(0.6)
            s.double_click("vl")
            if not s.reader.wait_count(s.reader.count() + 20, 2.0):
                raise RuntimeError("the running light did not start")
            time.sleep(0.25)
            with Machine() as m:
                s.panel.focus()
                t_key = time.monotonic()
                s.panel.key("alt+F4")
                rc = s.panel.wait_exit(h.DEADLINE)
                took = 1000.0 * (time.monotonic() - t_key)
            if rc != 0:
                raise RuntimeError(f"Alt+F4 during the light: exit code {rc}")
        rows.append({"ms": took, "load": m.text()})
        print(f"close run {run + 1}: ended {took:.0f} ms after Alt+F4, {m.text()}", flush=True)
    med = statistics.median(r["ms"] for r in rows)
    print(f"close median {med:.0f} ms over {len(rows)} runs (max "
          f"{max(r['ms'] for r in rows):.0f} ms); {verdict('close', med)}", flush=True)
    return {"runs": rows, "median_ms": med}


COMMANDS = {"cpu": run_cpu, "cadence": run_cadence, "click": run_click,
            "startup": run_startup, "memory": run_memory, "portcycle": run_portcycle,
            "close": run_close}


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=list(COMMANDS) + ["all"])
    parser.add_argument("--build", default=os.path.join(ROOT, "build-bench"),
                        help="build directory (default: build-bench beside this folder)")
    parser.add_argument("--binary", help="pio-out (default: BUILD/src/pio-out)")
    parser.add_argument("--stamp", help="PortStamp (default: BUILD/bench/PortStamp)")
    parser.add_argument("--runs", type=int, default=3, help="runs of each benchmark")
    parser.add_argument("--seconds", type=float, default=10.0,
                        help="measuring time of cpu and cadence, seconds")
    parser.add_argument("--clicks", type=int, default=60, help="clicks a run (click)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the click order")
    parser.add_argument("--display", action="store_true",
                        help="cpu: also measure with the display switch (v5) on")
    parser.add_argument("--perf", action="store_true",
                        help="cadence: also record the program's write(2) calls with perf")
    parser.add_argument("--strace", metavar="FILE",
                        help="cadence: after each run trace the program's poll/ppoll waits "
                             "for 1 s with strace into FILE.N and count them")
    parser.add_argument("--env", action="append", default=[], metavar="NAME=VALUE",
                        help="extra environment for the program (repeatable), e.g. "
                             "QT_NO_GLIB=1")
    parser.add_argument("--json", help="write all figures to this file as well")
    args = parser.parse_args()
    args.binary = args.binary or os.path.join(args.build, "src", "pio-out")
    args.stamp = args.stamp or os.path.join(args.build, "bench", "PortStamp")
    args.program_env = dict(e.split("=", 1) for e in args.env)

    if os.geteuid() != 0:
        raise SystemExit("run as root: the stand-in port lives in a private mount namespace")
    for tool in ("Xvfb", "xdotool", "xwininfo", "xwd", "unshare"):
        if shutil.which(tool) is None:
            raise SystemExit(f"missing tool: {tool}")
    if not xdirect.available():
        raise SystemExit("libX11.so.6 / libXtst.so.6 not found")
    for exe in (args.binary, args.stamp):
        if not os.access(exe, os.X_OK):
            raise SystemExit(f"{exe} is missing: build the pio-out and PortStamp targets")

    info = machine_description()
    print(f"machine: nproc {info['nproc']}, {info['cpu']}, Linux {info['kernel']}; "
          f"binary {args.binary}; load {os.getloadavg()[0]:.2f}", flush=True)
    results = {"machine": info, "binary": args.binary, "argv": sys.argv}
    commands = list(COMMANDS) if args.command == "all" else [args.command]
    for name in commands:
        results[name] = COMMANDS[name](args)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)


if __name__ == "__main__":
    main()
