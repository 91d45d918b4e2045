# SPDX-License-Identifier: MIT
"""The guest side of the kernel rig: runs as the first process of the virtual machine, with
the host's root read-only under a tmpfs overlay, Debian's kernel and the host's build of
pio-out. It loads the parallel-port drivers, starts the sampler on the data register, runs
every scenario in turn and writes what it saw to results.json in the output share; then it
restarts the machine, which ends QEMU (-no-reboot).

    guest.py OUTDIR BINARY SAMPLER PROBE

Each scenario is a function here; it fails with AssertionError (h.check) and its log lines
go into the results as they are, for the host's tests to report."""
from __future__ import annotations

import json
import os
import signal
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
sys.path.insert(0, HERE)

import harness as h  # noqa: E402
import guest_lib as g  # noqa: E402
import scenarios  # noqa: E402

# The machine is emulated: everything takes longer than on the host (a window 12 s after
# the start on a busy host), so a window's wait is one for a hang too.
h.Panel.WINDOW_TIMEOUT = g.DEADLINE


# One scenario may take this long (seconds); a hang ends it as failed and the next one runs.
# Its own waits end at the events they wait for (the references, three panels, needed more
# than 60 s on a busy host), and each of them gives up after g.DEADLINE, well before this.
SCENARIO_LIMIT = 300


def overdue(signum, frame):
    raise AssertionError(f"the scenario did not end within {SCENARIO_LIMIT} s:\n"
                         + "".join(traceback.format_stack(frame)))


# Touched at every scenario's start and log line: the first process watches it (stalled()).
HEARTBEAT = "/run/rig-heartbeat"


def beat() -> None:
    with open(HEARTBEAT, "a"):
        pass
    os.utime(HEARTBEAT)


def logger(lines: list, started: float):
    """A scenario's log: kept for the results, and on the console with the time."""
    def log(text: str) -> None:
        lines.append(text)
        print(f"guest: {time.monotonic() - started:6.1f} s  {text}", flush=True)
        beat()
    return log


def stalled() -> None:
    """Shows on the console what every process waits in, for a run whose scenario neither
    logs nor ends, not even by its own time limit (a wait the limit's signal cannot break).
    Reads /proc only: whatever is stuck may take the programs it would run with it."""
    print("guest: no progress; every process's state, kernel function and stack:", flush=True)
    for pid in sorted(int(p) for p in os.listdir("/proc") if p.isdigit()):
        def read(name):
            try:
                with open(f"/proc/{pid}/{name}") as f:
                    return f.read().strip()
            except OSError:
                return "?"
        fields = read("stat").rsplit(")", 1)
        state = fields[1].split()[0] if len(fields) == 2 else "?"
        cmd = read("cmdline").replace("\0", " ")[:120]
        if cmd:  # kernel threads have none
            print(f"guest:   {pid} {state} {read('wchan')} {cmd}\n"
                  + "\n".join("guest:       " + line for line in read("stack").splitlines()),
                  flush=True)
    with open("/proc/sysrq-trigger", "w") as f:
        f.write("w")  # the kernel's own list of blocked tasks


def write_results(outdir: str, results: dict) -> None:
    tmp = os.path.join(outdir, "results.json.tmp")
    with open(tmp, "w") as f:
        json.dump(results, f, indent=1)
    os.replace(tmp, os.path.join(outdir, "results.json"))


def run(outdir: str, binary: str, sampler: str, probe: str) -> None:
    results = {"kernel": os.uname().release, "scenarios": {}, "figures": {},
               "finished": False}
    write_results(outdir, results)
    ctx = scenarios.Context(outdir, binary, probe, results)
    # Given the Windows program (rig.py --wine), only its scenarios run, without a sampler.
    order = scenarios.WINE_ORDER if os.environ.get("PIO_WINE") else scenarios.ORDER
    with ctx.start(sampler):
        only = [n for n in os.environ.get("PIO_ONLY", "").split(",") if n]
        for name, scenario in order:
            if only and name not in only + ["references", "drivers"]:
                continue
            log = []
            started = time.monotonic()
            ctx.log = logger(log, started)
            entry = {"ok": False, "log": log}
            results["scenarios"][name] = entry
            print(f"guest: scenario {name}", flush=True)
            beat()
            signal.signal(signal.SIGALRM, overdue)
            signal.alarm(SCENARIO_LIMIT)
            try:
                scenario(ctx)
                entry["ok"] = True
            except AssertionError as e:
                entry["error"] = str(e)
            except Exception:  # noqa: BLE001 - reported as the scenario's failure
                entry["error"] = traceback.format_exc()
            finally:
                signal.alarm(0)
            entry["seconds"] = round(time.monotonic() - started, 1)
            print(f"guest: {name}: {'ok' if entry['ok'] else 'FAILED'} "
                  f"({entry['seconds']} s) {entry.get('error', '')}", flush=True)
            signal.alarm(SCENARIO_LIMIT)
            try:
                ctx.cleanup()
            except Exception:  # noqa: BLE001 - the next scenarios still run
                entry["ok"] = False
                entry["error"] = (entry.get("error", "") + "\nclean-up after it failed:\n"
                                  + traceback.format_exc())
                print(f"guest: {name}: clean-up FAILED {entry['error']}", flush=True)
            finally:
                signal.alarm(0)
            write_results(outdir, results)
    results["dmesg"] = g.dmesg()[-20000:]
    results["finished"] = True
    write_results(outdir, results)


def main() -> None:
    outdir, binary, sampler, probe = sys.argv[1:5]
    # As the first process this one adopts every orphan: the work runs in a child, this one
    # reaps until the child is done, then restarts the machine.
    child = os.fork()
    if child == 0:
        try:
            run(outdir, binary, sampler, probe)
            code = 0
        except BaseException:  # noqa: BLE001 - the host reads the console
            traceback.print_exc()
            code = 1
        sys.stdout.flush()
        os._exit(code)
    beat()
    reported = 0.0
    while True:
        pid, status = os.waitpid(-1, os.WNOHANG)
        if pid == child:
            break
        if pid == 0:
            quiet = time.time() - os.stat(HEARTBEAT).st_mtime
            if quiet > SCENARIO_LIMIT + 30 and time.time() - reported > 120:
                reported = time.time()
                stalled()
            time.sleep(1)
    print(f"guest: done, status {status}", flush=True)
    os.sync()
    with open("/proc/sysrq-trigger", "w") as f:
        f.write("b")


if __name__ == "__main__":
    main()
