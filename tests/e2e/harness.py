# SPDX-License-Identifier: MIT
"""End-to-end harness for pio-out: the real binary under Xvfb, driven by xdotool.

Everything here cleans up after itself: each helper is a context manager, every process it
starts runs in its own process group (killed as a group on exit) and dies with the Python
process that started it (PR_SET_PDEATHSIG), so nothing survives a failed or killed test.

API
---
Test scaffolding
    SKIP = 77                      exit code CTest treats as "skipped" (SKIP_RETURN_CODE 77)
    DEADLINE = 20.0                seconds a wait for something the program is sure to do (a
                                   window, a box, a byte) gives up after: only a hang gets there,
                                   the wait itself ends when the thing happens
    skip(reason)                   raise Skip: run_test prints the reason, exits with SKIP
    require_tools(*names)          skip unless every program is on PATH
    require_root()                 skip unless root (the private mount namespace needs it)
    sanitized(binary) -> bool      the program is built with AddressSanitizer or UBSan
    parse_args(description, argv=None, extra=None)
                                   --binary PATH (required), --artifacts DIR (optional),
                                   --timeout SECONDS (whole-test watchdog, default 60),
                                   --wine-run, --wineserver, --prefix (the Windows program
                                   under wine: see launch); extra(parser), if given, adds a
                                   test's own options
    run_test(main, args)           runs main(args) under the watchdog; AssertionError -> exit 1
                                   (message on stderr), Skip -> 77, anything else -> exit 2
    check(cond, message)           raise AssertionError(message) unless cond
    wait_until(pred, timeout, interval=0.01) -> the first truthy pred() or None on time-out

Processes and tools
    spawn(argv, **popen_kw) -> Popen   own process group, killed with the test (PDEATHSIG)
    kill_group(proc, grace=1.0)        SIGTERM to the group, SIGKILL after `grace`, reap
    run_tool(argv, env, timeout=10, check_rc=True) -> CompletedProcess (text, captured)
    clean_env() -> os.environ less DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM, scaling vars
    dead_display() -> ":77", or the next display number with no X server (socket or lock)

Display
    Xvfb(width=1280, height=1024, depth=24)   context manager; .display (":N"), .env(extra)
        Started with -displayfd, so concurrent tests never fight over a display number.

Port stand-in
    PortFifo(dir)                  context manager: a FIFO in dir (.path) plus a PortReader
                                   (.reader) already reading it, opened O_RDONLY|O_NONBLOCK
                                   before any writer exists. A second, never-written write end
                                   is kept open so the reader never sees EOF between the
                                   program's open/write/close cycles (no busy loop).
    PortReader(TimedBytes)         records every byte with its arrival time (time.monotonic()).
        .events()                  copy of [(t, byte), ...] so far
        .since(t)                  events with arrival time >= t
        .between(t0, t1)           events with t0 <= time < t1
        .count()                   number of bytes so far
        .wait_count(n, timeout)    wait until at least n bytes have arrived; True/False
        .wait_byte(value, timeout, after=None)  wait for a byte == value (arrived >= after);
                                   returns its arrival time or None
        .quiet_since()             arrival time of the last byte (None if none)
      Bytes read together in one read() share a timestamp.

The program
    launch(args, port=None, name=None, tools=()) -> (panel, reader or None)
                                   context manager for the tests both platforms share: the
                                   Linux program, or with --wine-run the Windows one under wine
                                   (winepanel.py). port "fifo": a stand-in port the reader
                                   records; "absent": no port at all, every open fails; None:
                                   the port is left alone (Linux: no private namespace, so no
                                   root needed). name: a copy of the program under that file
                                   name runs instead (the title comes from it; wine adds .exe).
                                   tools: programs the test needs besides Xvfb, xdotool and
                                   xwininfo.
    panel_with_port(binary, *tools) -> (panel, reader)   context manager: root and the tools
                                   required, then Xvfb, a PortFifo and the program started with
                                   it at /dev/parport0 in its own mount namespace
    switch_port_on(panel, reader)  double-clicks pout and waits for the first bytes
    switch_face(panel, name) -> bytes  the pixels of a switch's LED (window grab)
    wait_switch(panel, name, face, label)  waits until the switch shows `face`: the panel has
                                   taken the double click that changed it
    start_light(panel, reader) -> t  port output on, then the running light (switched at t)
    Panel(binary, xvfb, port=..., namespace=..., workdir=..., args=(), env=None)
        port: path of a FIFO to appear as /dev/parport0, or None for no /dev/parport0.
        namespace: True (default when port is given) runs the program in a private mount
            namespace with a fresh tmpfs /dev (null, zero, full, random, urandom, tty, shm,
            fd/stdin/stdout/stderr) and the FIFO bind-mounted at /dev/parport0; the host's
            /dev is never touched. Needs root. namespace=False runs it directly.
        The process is exec'ed in place (unshare -> sh -> exec), so .pid is the program.
        Context manager; on exit kills the process group if still running.
        .wait_window(timeout=WINDOW_TIMEOUT) -> window id of the 340x200 main window, once
                                 mapped (and, for up to DEADLINE more, once its first picture
                                 is on the screen)
        WINDOW_TIMEOUT           DEADLINE; wine starts slower (WinePanel: twice that)
        .stand_ins()             windows that only stand for the main one on a taskbar (wine's
                                 1 x 1 owner window; none on Linux)
        .boxes()                 the program's visible top-level windows but the main one and
                                 its stand-ins
        .box_texts()             the texts of the boxes opened so far, or None where they
                                 cannot be read (Linux: a Qt box's text is only pixels)
        .window, .origin (screen x, y of the window), .pid, .proc, .env,
        .started_at (time.monotonic() just before the launch)
        .windows()               visible top-level windows of the program: [WinInfo]
        .screen(x, y)            window coordinates -> screen coordinates
        .click(x, y) / .double_click(x, y)   window coordinates, button 1
        .pointer() -> (x, y)     pointer position, screen coordinates
        .focus(wid=None)         keyboard focus to the main window, or to wid
                                 (xdotool windowfocus --sync; there is no window manager)
        .key(combo)              e.g. "alt+F4", sent to the focused window
        .close()                 focus + Alt+F4
        .grab() -> Image of the main window only (window coordinates)
        .wait_exit(timeout) -> exit code or None while still running
        .stderr_text()           what the program wrote on stderr so far
        .in_namespace(argv)      runs argv inside the program's mount namespace and root
                                 (nsenter --root) -> CompletedProcess; needs root. Like the
                                 namespace's set-up it first checks that it is not in the
                                 test's own namespace and fails otherwise
        .remove_port()           takes /dev/parport0 away inside that namespace (lazy unmount
                                 of the FIFO, then the node itself): from then on every open
                                 of the port fails with ENOENT; the FIFO itself stays
        .restore_port()          puts the FIFO back at /dev/parport0 after remove_port()
    SecondPanel(binary, xvfb, first)   another instance in the first's mount namespace, so
                                 both share its /dev/parport0 (nsenter execs it in place);
                                 otherwise a Panel
    WinInfo(id, x, y, width, height, border, rel_x, rel_y, map_state, override_redirect,
            parent, root, name)
    window_info(env, wid) -> WinInfo   (xwininfo -id / -children)
    window_property(env, wid, name) -> xprop's line, e.g. 'WM_NAME(STRING) = "pio-out"'
    visible_windows(env, pid=None, name=None) -> [window id]   (xdotool search --onlyvisible)

Screen
    screenshot(env, window=None) -> Image   (xwd -root, or -id window; parsed here)
        Under Xvfb without a window manager a freshly opened Qt dialog (the error box) can
        read as black in a root screenshot until something exposes it, while `xwd -id` of
        the dialog shows its contents: shoot dialogs with window=<id>.
    box_face(env, window) -> ((width, height), bytes)   a box's size and the pixels of its
                                   text area (right of the icon, above the button), once drawn:
                                   shot until two shots agree and show text
    parse_xwd(bytes) -> Image          ZPixmap, 24/32 bpp, either byte order
    Image: .width, .height, .pixel(x, y) -> (r, g, b),
           .mean(x, y, w, h) -> (r, g, b) floats, .crop_equal(other, x, y, w, h) -> bool,
           .save_png(path)

Panel geometry
    LAYOUT.socket(n), .tag(n), .led(n) (n = 1..6), .switch("pout"|"v5"|"vl"|"peak"):
        centres in window coordinates
    led_mean(image, panel.origin, centre) -> mean (r, g, b) of the 5x5 block at an LED centre
    LED_LIT(rgb) (red > 200) / LED_DARK(rgb) (red < 150) classify such a mean
    save_artifacts(args, name, env, panel=None)  screenshot (+ stderr) into --artifacts
"""

from __future__ import annotations

import argparse
import contextlib
import ctypes
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib
from dataclasses import dataclass
from typing import Callable, List, Optional, Sequence, Tuple

SKIP = 77
# A wait for something the program is sure to do ends when it happens; it gives up only after
# this long, which only a hang reaches. Fixed windows of 2 or 3 s failed on busy machines.
DEADLINE = 20.0

# ---------------------------------------------------------------------------------------------
# Scaffolding


class Skip(Exception):
    """Raised to end a test as skipped (exit code SKIP)."""


def skip(reason: str) -> None:
    raise Skip(reason)


def require_tools(*names: str) -> None:
    missing = [n for n in names if shutil.which(n) is None]
    if missing:
        skip("missing tools: " + ", ".join(missing))


def require_root() -> None:
    if os.geteuid() != 0:
        skip("needs root for a private mount namespace with a stand-in /dev/parport0")


def sanitized(binary: str) -> bool:
    """True for a build with AddressSanitizer or UndefinedBehaviorSanitizer: their runtimes
    reserve terabytes of address space and need descriptors of their own (UBSan's type check
    probes memory through a pipe), so tests of those limits do not apply to them."""
    with open(binary, "rb") as f:
        data = f.read()
    return b"__asan_init" in data or b"__ubsan_handle" in data


def check(cond, message: str) -> None:
    if not cond:
        raise AssertionError(message)


def wait_until(pred: Callable[[], object], timeout: float, interval: float = 0.01):
    deadline = time.monotonic() + timeout
    while True:
        value = pred()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


def parse_args(description: str, argv: Optional[Sequence[str]] = None,
               extra: Optional[Callable[[argparse.ArgumentParser], None]] = None
               ) -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--binary", required=True, help="path of the pio-out executable")
    parser.add_argument("--artifacts", default=None,
                        help="directory for screenshots and logs of a failed run")
    parser.add_argument("--timeout", type=float, default=60.0,
                        help="watchdog for the whole test, seconds")
    # The Windows program under wine (see launch): --binary is then pio-out.exe.
    parser.add_argument("--wine-run", default=None, help="the build's wine wrapper")
    parser.add_argument("--wineserver", default="wineserver", help="wineserver to stop")
    parser.add_argument("--prefix", default=None, help="wine prefix for the tests")
    if extra is not None:
        extra(parser)
    return parser.parse_args(argv)


class _Watchdog(Exception):
    pass


def run_test(main: Callable[[argparse.Namespace], None], args: argparse.Namespace) -> None:
    """Runs main under a watchdog and maps the outcome to an exit code. Never returns."""

    def on_alarm(signum, frame):
        raise _Watchdog(f"test exceeded its {args.timeout:.0f} s watchdog")

    def on_term(signum, frame):
        raise SystemExit(128 + signum)  # unwinds the context managers: clean-up runs

    signal.signal(signal.SIGALRM, on_alarm)
    signal.signal(signal.SIGTERM, on_term)
    signal.signal(signal.SIGINT, on_term)
    signal.setitimer(signal.ITIMER_REAL, args.timeout)
    code = 0
    started = time.monotonic()
    try:
        main(args)
        print(f"PASS ({time.monotonic() - started:.1f} s)")
    except Skip as e:
        print(f"SKIP: {e}")
        code = SKIP
    except AssertionError as e:
        print(f"FAIL: {e}", file=sys.stderr)
        code = 1
    except _Watchdog as e:
        print(f"FAIL: {e}", file=sys.stderr)
        code = 1
    except Exception as e:  # noqa: BLE001 - any other error is a broken test or rig
        import traceback
        traceback.print_exc()
        print(f"ERROR: {e!r}", file=sys.stderr)
        code = 2
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
    sys.stdout.flush()
    sys.stderr.flush()
    os._exit(code)  # the context managers have run; no thread may hold the exit up


# ---------------------------------------------------------------------------------------------
# Processes

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1


def _child_setup() -> None:
    # Runs in the child between fork and exec: die with the test, whatever kills it.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


def spawn(argv: Sequence[str], **kw) -> subprocess.Popen:
    """Starts a process in its own session/process group, bound to our lifetime."""
    return subprocess.Popen(list(argv), start_new_session=True, preexec_fn=_child_setup, **kw)


def kill_group(proc: subprocess.Popen, grace: float = 1.0) -> None:
    if proc.poll() is None:
        with contextlib.suppress(ProcessLookupError, PermissionError):
            os.killpg(proc.pid, signal.SIGTERM)
        try:
            proc.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            pass
    # Whatever is left in the group (also children of an already-ended leader).
    with contextlib.suppress(ProcessLookupError, PermissionError):
        os.killpg(proc.pid, signal.SIGKILL)
    with contextlib.suppress(subprocess.TimeoutExpired):
        proc.wait(timeout=5)


def run_tool(argv: Sequence[str], env: dict, timeout: float = 10.0,
         check_rc: bool = True) -> subprocess.CompletedProcess:
    result = subprocess.run(list(argv), env=env, capture_output=True, text=True,
                            timeout=timeout, preexec_fn=_child_setup)
    if check_rc and result.returncode != 0:
        raise RuntimeError(f"{' '.join(argv)} failed ({result.returncode}): "
                           f"{result.stderr.strip()}")
    return result


# ---------------------------------------------------------------------------------------------
# Xvfb


def dead_display() -> str:
    """":77", or the next number from there with no X server (no socket, no lock file)."""
    for n in range(77, 200):
        if not (os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock")):
            return f":{n}"
    skip("no free display number between :77 and :199")


def clean_env() -> dict:
    env = dict(os.environ)
    for var in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY",
                "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR",
                "QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI"):
        env.pop(var, None)
    return env


class Xvfb:
    def __init__(self, width: int = 1280, height: int = 1024, depth: int = 24,
                 start_timeout: float = 15.0):
        self.size = (width, height, depth)
        self.start_timeout = start_timeout
        self.proc: Optional[subprocess.Popen] = None
        self.display: Optional[str] = None
        self._log = None

    def __enter__(self) -> "Xvfb":
        width, height, depth = self.size
        r, w = os.pipe()
        self._log = tempfile.TemporaryFile()
        try:
            self.proc = spawn(["Xvfb", "-displayfd", str(w), "-screen", "0",
                                f"{width}x{height}x{depth}", "-nolisten", "tcp", "-noreset"],
                               pass_fds=(w,), stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=self._log)
            os.close(w)
            w = -1
            data = b""
            deadline = time.monotonic() + self.start_timeout
            while not data.endswith(b"\n"):
                left = deadline - time.monotonic()
                ready, _, _ = select.select([r], [], [], max(left, 0))
                if not ready:
                    raise RuntimeError("Xvfb did not report a display in time" + self._tail())
                chunk = os.read(r, 64)
                if not chunk:
                    raise RuntimeError("Xvfb ended before reporting a display" + self._tail())
                data += chunk
            self.display = ":" + data.decode().strip()
        except BaseException:
            if w >= 0:
                os.close(w)
            os.close(r)
            self.__exit__(None, None, None)
            raise
        os.close(r)
        return self

    def _tail(self) -> str:
        if not self._log:
            return ""
        self._log.seek(0)
        return ": " + self._log.read()[-2000:].decode(errors="replace")

    def env(self, extra: Optional[dict] = None) -> dict:
        env = clean_env()
        env["DISPLAY"] = self.display
        env["QT_QPA_PLATFORM"] = "xcb"
        if extra:
            env.update(extra)
        return env

    def __exit__(self, *exc) -> None:
        if self.proc is not None:
            kill_group(self.proc)
        if self._log:
            self._log.close()


# ---------------------------------------------------------------------------------------------
# Port stand-in


class TimedBytes:
    """Bytes with their arrival times, and the queries the tests and benchmarks ask of them.
    A subclass's reading thread calls _add()."""

    def __init__(self):
        self._events: List[Tuple[float, int]] = []
        self._lock = threading.Lock()
        self._cond = threading.Condition(self._lock)

    def _add(self, t: float, data) -> None:
        with self._cond:
            self._events.extend((t, b) for b in data)
            self._cond.notify_all()

    def events(self) -> List[Tuple[float, int]]:
        with self._lock:
            return list(self._events)

    def since(self, t: float) -> List[Tuple[float, int]]:
        return [e for e in self.events() if e[0] >= t]

    def between(self, t0: float, t1: float) -> List[Tuple[float, int]]:
        return [e for e in self.events() if t0 <= e[0] < t1]

    def count(self) -> int:
        with self._lock:
            return len(self._events)

    def quiet_since(self) -> Optional[float]:
        with self._lock:
            return self._events[-1][0] if self._events else None

    def wait_count(self, n: int, timeout: float) -> bool:
        deadline = time.monotonic() + timeout
        with self._cond:
            while len(self._events) < n:
                left = deadline - time.monotonic()
                if left <= 0:
                    return False
                self._cond.wait(left)
            return True

    def wait_byte(self, value: int, timeout: float, after: Optional[float] = None
                  ) -> Optional[float]:
        deadline = time.monotonic() + timeout
        start = 0
        with self._cond:
            while True:
                for i in range(start, len(self._events)):
                    t, b = self._events[i]
                    if b == value and (after is None or t >= after):
                        return t
                start = len(self._events)
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._cond.wait(left)


class PortReader(TimedBytes):
    def __init__(self, path: str):
        super().__init__()
        self.path = path
        self._fd = -1
        self._keep = -1
        self._wake_r, self._wake_w = -1, -1
        self._thread: Optional[threading.Thread] = None
        self.error: Optional[BaseException] = None

    def start(self) -> "PortReader":
        self._fd = os.open(self.path, os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC)
        # A write end that is never written: without a writer a FIFO reads as EOF and select
        # would report it readable all the time.
        self._keep = os.open(self.path, os.O_WRONLY | os.O_NONBLOCK | os.O_CLOEXEC)
        self._wake_r, self._wake_w = os.pipe2(os.O_CLOEXEC | os.O_NONBLOCK)
        self._thread = threading.Thread(target=self._loop, name="port-reader", daemon=True)
        self._thread.start()
        return self

    def _loop(self) -> None:
        try:
            while True:
                ready, _, _ = select.select([self._fd, self._wake_r], [], [])
                if self._fd in ready:
                    try:
                        data = os.read(self._fd, 65536)
                    except BlockingIOError:
                        data = b""
                    if data:
                        self._add(time.monotonic(), data)
                if self._wake_r in ready:
                    return
        except BaseException as e:  # noqa: BLE001 - reported through .error
            self.error = e

    def stall(self) -> None:
        """Stops reading, the FIFO kept open, and fills it to the brim: a reader that hangs."""
        self._stop_thread()
        with contextlib.suppress(BlockingIOError):
            while os.write(self._keep, b"\0" * 4096):
                pass
        with contextlib.suppress(BlockingIOError):
            while os.write(self._keep, b"\0"):
                pass

    def resume(self) -> None:
        """Reads again after stall(), dropping what was filled in."""
        with contextlib.suppress(BlockingIOError):
            while os.read(self._fd, 65536):
                pass
        self._thread = threading.Thread(target=self._loop, name="port-reader", daemon=True)
        self._thread.start()

    def _stop_thread(self) -> None:
        if self._thread is not None:
            os.write(self._wake_w, b"x")
            self._thread.join(timeout=5)
            self._thread = None
            with contextlib.suppress(BlockingIOError):
                os.read(self._wake_r, 16)

    def stop(self) -> None:
        if self._thread is not None:
            os.write(self._wake_w, b"x")
            self._thread.join(timeout=5)
            self._thread = None
        for fd in (self._fd, self._keep, self._wake_r, self._wake_w):
            if fd >= 0:
                with contextlib.suppress(OSError):
                    os.close(fd)
        self._fd = self._keep = self._wake_r = self._wake_w = -1



class PortFifo:
    def __init__(self, directory: str, name: str = "parport0"):
        self.path = os.path.join(directory, name)
        self.reader = PortReader(self.path)

    def __enter__(self) -> "PortFifo":
        os.mkfifo(self.path, 0o666)
        self.reader.start()
        return self

    def __exit__(self, *exc) -> None:
        self.reader.stop()


# ---------------------------------------------------------------------------------------------
# Windows


@dataclass
class WinInfo:
    id: int
    x: int
    y: int
    width: int
    height: int
    border: int
    rel_x: int
    rel_y: int
    map_state: str
    override_redirect: bool
    parent: int
    root: int
    name: str


def window_info(env: dict, wid: int) -> WinInfo:
    out = run_tool(["xwininfo", "-id", str(wid)], env).stdout
    fields = {}
    for line in out.splitlines():
        if ":" in line:
            k, _, v = line.strip().partition(":")
            fields[k.strip()] = v.strip()
    tree = run_tool(["xwininfo", "-children", "-id", str(wid)], env).stdout
    parent = root = 0
    name = ""
    for line in tree.splitlines():
        line = line.strip()
        if line.startswith("Root window id:"):
            root = int(line.split()[3], 16)
        elif line.startswith("Parent window id:"):
            parent = int(line.split()[3], 16)
        elif line.startswith("xwininfo: Window id:"):
            q = line.find('"')
            name = line[q + 1:line.rfind('"')] if q >= 0 else ""
    return WinInfo(
        id=wid,
        x=int(fields["Absolute upper-left X"]), y=int(fields["Absolute upper-left Y"]),
        width=int(fields["Width"]), height=int(fields["Height"]),
        border=int(fields["Border width"]),
        rel_x=int(fields["Relative upper-left X"]), rel_y=int(fields["Relative upper-left Y"]),
        map_state=fields.get("Map State", ""),
        override_redirect=fields.get("Override Redirect State", "no") == "yes",
        parent=parent, root=root, name=name)


def visible_windows(env: dict, pid: Optional[int] = None, name: Optional[str] = None
                    ) -> List[int]:
    argv = ["xdotool", "search", "--onlyvisible"]
    if pid is not None:
        argv += ["--pid", str(pid)]
    if name is not None:
        argv += ["--name", name]
    elif pid is None:
        argv += ["--name", "."]
    result = run_tool(argv, env, check_rc=False)
    return [int(x) for x in result.stdout.split()]


def window_property(env: dict, wid: int, prop: str) -> str:
    return run_tool(["xprop", "-id", str(wid), prop], env).stdout.strip()


# ---------------------------------------------------------------------------------------------
# The program

# Everything that mounts or creates something in the program's namespace runs behind this
# guard, given the test's own mount namespace and root (namespace_identity()): it must be in
# another mount namespace under the same root, or it changes nothing and ends with 97. Run in
# a chroot, `nsenter -m` without --root lands at the namespace's real root, the host's, whose
# /dev is the host's own; an unshare that made no namespace would leave the test's own.
_NAMESPACE_GUARD = r"""
if [ "$(readlink /proc/self/ns/mnt)" = "$1" ]; then
    echo "pio-e2e: not in a mount namespace of its own ($1): nothing mounted or made" >&2
    exit 97
fi
if [ "$(stat -L -c %d:%i /)" != "$2" ]; then
    echo "pio-e2e: / is not the test's root ($2): nothing mounted or made" >&2
    exit 97
fi
shift 2
"""


def namespace_identity() -> List[str]:
    """The test's own mount namespace and root directory (device:inode), for the guard."""
    st = os.stat("/")
    return [os.readlink("/proc/self/ns/mnt"), f"{st.st_dev}:{st.st_ino}"]


def in_namespace_argv(pid: int, argv: Sequence[str]) -> List[str]:
    """argv run behind the guard in the mount namespace and under the root of process pid."""
    return ["nsenter", "-t", str(pid), "-m", "--root", "--", "sh", "-c",
            _NAMESPACE_GUARD + 'exec "$@"', "pio-e2e", *namespace_identity(), *argv]


# Builds a private /dev and execs the program; "$1" is the FIFO path ("" for none), then argv.
_NAMESPACE_SCRIPT = "set -e\n" + _NAMESPACE_GUARD + r"""
mount -t tmpfs -o mode=755,nosuid tmpfs /dev
mknod -m 666 /dev/null c 1 3
mknod -m 666 /dev/zero c 1 5
mknod -m 666 /dev/full c 1 7
mknod -m 666 /dev/random c 1 8
mknod -m 666 /dev/urandom c 1 9
mknod -m 666 /dev/tty c 5 0
mkdir -m 1777 /dev/shm
mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs /dev/shm
ln -s /proc/self/fd /dev/fd
ln -s /proc/self/fd/0 /dev/stdin
ln -s /proc/self/fd/1 /dev/stdout
ln -s /proc/self/fd/2 /dev/stderr
if [ -n "$1" ]; then
    : > /dev/parport0
    mount --bind "$1" /dev/parport0
fi
shift
exec "$@"
"""


class Panel:
    WIDTH, HEIGHT = 340, 200
    WINDOW_TIMEOUT = DEADLINE

    def __init__(self, binary: str, xvfb: Xvfb, port: Optional[str] = None,
                 namespace: Optional[bool] = None, workdir: Optional[str] = None,
                 args: Sequence[str] = (), env: Optional[dict] = None):
        self.binary = os.path.abspath(binary)
        self.xvfb = xvfb
        self.port = port
        self.namespace = (port is not None) if namespace is None else namespace
        self.args = list(args)
        self.env = xvfb.env(env)
        self._tmp = None
        self.workdir = workdir
        self.proc: Optional[subprocess.Popen] = None
        self.window: Optional[int] = None
        self.origin: Tuple[int, int] = (0, 0)
        self.started_at: float = 0.0
        self._stderr_path = ""

    @property
    def pid(self) -> int:
        return self.proc.pid

    def __enter__(self) -> "Panel":
        if self.workdir is None:
            self._tmp = tempfile.TemporaryDirectory(prefix="pio-e2e-")
            self.workdir = self._tmp.name
        self._stderr_path = os.path.join(self.workdir, "pio-out.stderr")
        if self.namespace:
            require_tools("unshare", "mount", "mknod")
            argv = ["unshare", "-m", "--propagation", "private", "sh", "-c", _NAMESPACE_SCRIPT,
                    "pio-e2e", *namespace_identity(), self.port or "", self.binary,
                    *self.args]
        else:
            argv = [self.binary, *self.args]
        with open(self._stderr_path, "wb") as err:
            self.started_at = time.monotonic()
            self.proc = spawn(argv, env=self.env, cwd=self.workdir, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=err)
        return self

    def __exit__(self, *exc) -> None:
        if self.proc is not None:
            kill_group(self.proc)
        if self._tmp is not None:
            self._tmp.cleanup()

    def stderr_text(self) -> str:
        try:
            with open(self._stderr_path, "rb") as f:
                return f.read().decode(errors="replace")
        except OSError:
            return ""

    def windows(self) -> List[WinInfo]:
        infos = []
        for wid in visible_windows(self.env, pid=self.pid):
            with contextlib.suppress(RuntimeError, KeyError, ValueError):
                infos.append(window_info(self.env, wid))
        return infos

    def wait_window(self, timeout: Optional[float] = None) -> int:
        timeout = self.WINDOW_TIMEOUT if timeout is None else timeout

        def find():
            if self.proc.poll() is not None:
                raise AssertionError(
                    f"pio-out ended with {self.proc.returncode} before its window showed: "
                    f"{self.stderr_text().strip()}")
            for info in self.windows():
                if (info.width, info.height) == (self.WIDTH, self.HEIGHT) \
                        and info.map_state == "IsViewable":
                    return info
            return None

        info = wait_until(find, timeout, 0.02)
        check(info is not None, f"the main window did not appear within {timeout} s")
        self.window = info.id
        self.origin = (info.x, info.y)
        self._wait_painted(info)
        return info.id

    def _wait_painted(self, info: "WinInfo", timeout: float = DEADLINE) -> None:
        """Waits (at most `timeout`, without failing) until the first picture has reached
        the screen: the program sends it as plain image requests, top to bottom, which can
        still be on their way when the window is already mapped. The panel's face is grained
        everywhere, so its top and bottom rows show many colours once drawn. A window partly
        off the screen cannot be shot by itself: then the part on the screen is looked at in
        a shot of the whole screen."""
        root = window_info(self.env, info.root)
        x0, y0 = max(info.x, 0), max(info.y, 0)
        x1, y1 = min(info.x + info.width, root.width), min(info.y + info.height, root.height)
        whole = (x0, y0, x1, y1) == (info.x, info.y, info.x + info.width, info.y + info.height)

        def painted():
            try:
                if whole:
                    img, left, top, right, bottom = (screenshot(self.env, window=info.id), 0,
                                                     0, info.width, info.height)
                else:
                    img, left, top, right, bottom = screenshot(self.env), x0, y0, x1, y1
            except (RuntimeError, ValueError, subprocess.TimeoutExpired):
                return False
            rows = (top, top + 1, bottom - 2, bottom - 1)
            return all(len({img.pixel(x, y) for x in range(left, right, 3)}) > 3 for y in rows)

        wait_until(painted, timeout, 0.05)

    def stand_ins(self) -> List[int]:
        """Windows of the program that only stand for the panel (on a taskbar): none here."""
        return []

    def boxes(self) -> List[WinInfo]:
        """The program's visible top-level windows other than the panel and its stand-ins."""
        others = set(self.stand_ins()) | {self.window}
        return [w for w in self.windows() if w.id not in others]

    def box_texts(self) -> Optional[List[str]]:
        """A Qt box's text reaches the screen only as pixels: the tests check those instead."""
        return None

    def screen(self, x: int, y: int) -> Tuple[int, int]:
        return self.origin[0] + x, self.origin[1] + y

    def pointer(self) -> Tuple[int, int]:
        """Pointer position, screen coordinates."""
        out = run_tool(["xdotool", "getmouselocation", "--shell"], self.env).stdout
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"])

    def _move(self, x: int, y: int) -> None:
        sx, sy = self.screen(x, y)
        # "mousemove --sync" waits for the pointer to leave where it is: it would hang when
        # the pointer is already at the target.
        if self.pointer() != (sx, sy):
            run_tool(["xdotool", "mousemove", "--sync", str(sx), str(sy)], self.env)

    def click(self, x: int, y: int) -> None:
        self._move(x, y)
        run_tool(["xdotool", "click", "1"], self.env)

    def double_click(self, x: int, y: int, delay_ms: int = 60) -> None:
        self._move(x, y)
        run_tool(["xdotool", "click", "--repeat", "2", "--delay", str(delay_ms), "1"], self.env)

    def focus(self, wid: Optional[int] = None) -> None:
        run_tool(["xdotool", "windowfocus", "--sync", str(wid or self.window)], self.env)

    def key(self, combo: str) -> None:
        run_tool(["xdotool", "key", "--clearmodifiers", combo], self.env)

    def close(self) -> None:
        self.focus()
        self.key("alt+F4")

    def grab(self) -> "Image":
        """Screenshot of the main window alone (origin 0,0 = the window's corner)."""
        return screenshot(self.env, window=self.window)

    def wait_exit(self, timeout: float) -> Optional[int]:
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def in_namespace(self, argv: Sequence[str], timeout: float = 10.0,
                     check_rc: bool = True) -> subprocess.CompletedProcess:
        """Runs argv in the program's mount namespace (its private /dev)."""
        check(self.namespace, "the program runs without a private namespace")
        require_tools("nsenter")
        result = run_tool(in_namespace_argv(self.pid, argv), self.env, timeout=timeout,
                          check_rc=False)
        check(result.returncode != 97, result.stderr.strip())
        if check_rc and result.returncode != 0:
            raise RuntimeError(f"{' '.join(argv)} failed ({result.returncode}): "
                               f"{result.stderr.strip()}")
        return result

    @contextlib.contextmanager
    def _stopped(self):
        """The program stopped (SIGSTOP) meanwhile, so that no port cycle sees a half-made
        change: between the unmount and the removal, and between making the mount point and
        the mount, /dev/parport0 is an empty plain file, which the program would rightly
        refuse as no port."""
        os.kill(self.pid, signal.SIGSTOP)
        try:
            def stopped():
                with open(f"/proc/{self.pid}/stat") as f:
                    return f.read().rsplit(")", 1)[1].split()[0] == "T"
            check(wait_until(stopped, DEADLINE, 0.005), "the program did not stop")
            yield
        finally:
            os.kill(self.pid, signal.SIGCONT)

    def remove_port(self) -> None:
        """/dev/parport0 disappears for the program: opens fail with ENOENT from now on.

        The unmount is lazy, so a cycle that has the FIFO open right now does not make it
        fail with EBUSY; the empty node the FIFO was bound over is removed after it."""
        with self._stopped():
            self.in_namespace(["sh", "-c", "umount -l /dev/parport0 && rm -f /dev/parport0"])
        gone = self.in_namespace(["test", "-e", "/dev/parport0"], check_rc=False)
        check(gone.returncode == 1, "/dev/parport0 is still there after its removal")

    def restore_port(self) -> None:
        """/dev/parport0 is the FIFO again (after remove_port): opens work from now on."""
        check(self.port, "the program runs without a port FIFO")
        with self._stopped():
            self.in_namespace(["sh", "-c", ': > /dev/parport0 && mount --bind "$0" /dev/parport0',
                               self.port])


class SecondPanel(Panel):
    """Another instance of the program in the first one's mount namespace: the same private
    /dev, so the same port stand-in. nsenter execs the program in place, so .pid is it."""

    def __init__(self, binary: str, xvfb: Xvfb, first: Panel, env: Optional[dict] = None):
        super().__init__(binary, xvfb, port=first.port, namespace=True, env=env)
        self.first = first

    def __enter__(self) -> "SecondPanel":
        require_tools("nsenter")
        self._tmp = tempfile.TemporaryDirectory(prefix="pio-e2e-")
        self.workdir = self._tmp.name
        self._stderr_path = os.path.join(self.workdir, "pio-out.stderr")
        with open(self._stderr_path, "wb") as err:
            self.started_at = time.monotonic()
            self.proc = spawn(in_namespace_argv(self.first.pid, [self.binary, *self.args]),
                              env=self.env, cwd=self.workdir,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err)
        return self


# ---------------------------------------------------------------------------------------------
# Screen


class Image:
    def __init__(self, width: int, height: int, rgb: bytes):
        self.width, self.height = width, height
        self.rgb = rgb  # packed RGB, 3 bytes a pixel, rows top to bottom

    def pixel(self, x: int, y: int) -> Tuple[int, int, int]:
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def mean(self, x: int, y: int, w: int, h: int) -> Tuple[float, float, float]:
        s = [0, 0, 0]
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                p = self.pixel(xx, yy)
                s[0] += p[0]
                s[1] += p[1]
                s[2] += p[2]
        n = float(w * h)
        return s[0] / n, s[1] / n, s[2] / n

    def region(self, x: int, y: int, w: int, h: int) -> bytes:
        rows = []
        for yy in range(y, y + h):
            i = (yy * self.width + x) * 3
            rows.append(self.rgb[i:i + w * 3])
        return b"".join(rows)

    def crop_equal(self, other: "Image", x: int, y: int, w: int, h: int) -> bool:
        return self.region(x, y, w, h) == other.region(x, y, w, h)

    def save_png(self, path: str) -> None:
        raw = b"".join(b"\x00" + self.rgb[y * self.width * 3:(y + 1) * self.width * 3]
                       for y in range(self.height))

        def chunk(tag: bytes, data: bytes) -> bytes:
            return (struct.pack(">I", len(data)) + tag + data
                    + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

        # The artifacts folder is made by whoever saves first: a failure's picture must
        # not be lost, nor hide the failure behind a missing folder.
        os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0,
                                               0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
            f.write(chunk(b"IEND", b""))


def _mask_shift(mask: int) -> Tuple[int, int]:
    shift = (mask & -mask).bit_length() - 1 if mask else 0
    return shift, mask >> shift


def parse_xwd(data: bytes) -> Image:
    """Parses an XWD file (ZPixmap, 24 or 32 bits a pixel, TrueColor/DirectColor)."""
    header = struct.unpack(">25I", data[:100])
    (header_size, version, pixmap_format, depth, width, height, _xoff, byte_order,
     _bitmap_unit, _bit_order, _pad, bpp, bytes_per_line, _visual, red_mask, green_mask,
     blue_mask, _bits_rgb, _cmap_entries, ncolors) = header[:20]
    if version != 7 or pixmap_format != 2:
        raise ValueError(f"unsupported XWD: version {version}, format {pixmap_format}")
    if bpp not in (24, 32):
        raise ValueError(f"unsupported XWD pixel size {bpp}")
    offset = header_size + ncolors * 12
    bypp = bpp // 8
    shifts = [_mask_shift(m) for m in (red_mask, green_mask, blue_mask)]
    # Fast path: the common 32 bpp layouts map to a fixed byte order.
    out = bytearray(width * height * 3)
    order = "little" if byte_order == 0 else "big"
    simple = (bpp == 32 and red_mask == 0xFF0000 and green_mask == 0xFF00 and blue_mask == 0xFF)
    if simple:
        # Little-endian pixel BGRX, big-endian XRGB.
        idx = (2, 1, 0) if order == "little" else (1, 2, 3)
        for y in range(height):
            row = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * 4]
            o = y * width * 3
            out[o + 0:o + width * 3:3] = row[idx[0]::4]
            out[o + 1:o + width * 3:3] = row[idx[1]::4]
            out[o + 2:o + width * 3:3] = row[idx[2]::4]
    else:
        for y in range(height):
            base = offset + y * bytes_per_line
            for x in range(width):
                v = int.from_bytes(data[base + x * bypp: base + (x + 1) * bypp], order)
                o = (y * width + x) * 3
                for c, (shift, m) in enumerate(shifts):
                    out[o + c] = ((v >> shift) & m) * 255 // m if m else 0
    return Image(width, height, bytes(out))


def box_face(env: dict, window: int, timeout: float = DEADLINE
             ) -> Tuple[Tuple[int, int], bytes]:
    """A box's size and the pixels of its text area (right of the icon, above the button):
    the same text gives the same pixels, another text other ones. Shot until two shots agree
    and the text is there: a box shot while still being drawn matches no other."""
    last = None

    def drawn():
        nonlocal last
        img = screenshot(env, window=window)
        face = ((img.width, img.height),
                img.region(60, 0, img.width - 60, img.height * 3 // 5))
        text = sum(1 for i in range(0, len(face[1]), 3) if sum(face[1][i:i + 3]) < 300)
        stable = face == last and text >= 100
        last = face
        return face if stable else None

    face = wait_until(drawn, timeout, 0.05)
    check(face is not None, f"box {window:#x}: not drawn, or never still, within {timeout:.0f} s")
    return face


def screenshot(env: dict, window: Optional[int] = None) -> Image:
    argv = ["xwd", "-silent"] + (["-id", str(window)] if window else ["-root"])
    result = subprocess.run(argv, env=env, capture_output=True, timeout=20,
                            preexec_fn=_child_setup)
    if result.returncode != 0:
        raise RuntimeError(f"xwd failed: {result.stderr.decode(errors='replace')}")
    return parse_xwd(result.stdout)


# ---------------------------------------------------------------------------------------------
# Panel layout (window coordinates)


class LAYOUT:
    """Centres of the panel's parts, window coordinates; index n = channel 1..6."""
    SOCKETS = {n: (55 + 40 * (n - 1), 41) for n in range(1, 7)}        # a1..a6, 30x31
    TAGS = {n: (x + 4, 66) for n, x in zip(range(1, 7), (51, 92, 131, 171, 211, 251))}
    LEDS = {n: (x + 5, 85) for n, x in zip(range(1, 7), (50, 91, 130, 170, 210, 250))}
    SWITCHES = {"pout": (301, 41), "v5": (301, 85), "vl": (301, 118), "peak": (301, 133)}

    @classmethod
    def socket(cls, n: int) -> Tuple[int, int]:
        return cls.SOCKETS[n]

    @classmethod
    def tag(cls, n: int) -> Tuple[int, int]:
        return cls.TAGS[n]

    @classmethod
    def led(cls, n: int) -> Tuple[int, int]:
        return cls.LEDS[n]

    @classmethod
    def switch(cls, name: str) -> Tuple[int, int]:
        return cls.SWITCHES[name]


def led_mean(image: Image, origin: Tuple[int, int], centre: Tuple[int, int]
             ) -> Tuple[float, float, float]:
    """Mean colour of the 5x5 block around an LED centre (window coordinates)."""
    return image.mean(origin[0] + centre[0] - 2, origin[1] + centre[1] - 2, 5, 5)


def LED_LIT(rgb: Tuple[float, float, float]) -> bool:
    return rgb[0] > 200


def LED_DARK(rgb: Tuple[float, float, float]) -> bool:
    return rgb[0] < 150


def save_artifacts(args: argparse.Namespace, name: str, env: dict, panel: Optional[Panel] = None
                   ) -> Optional[str]:
    """On failure: a screenshot (and the program's stderr) into --artifacts, if given."""
    if not args.artifacts:
        return None
    with contextlib.suppress(Exception):
        os.makedirs(args.artifacts, exist_ok=True)
        path = os.path.join(args.artifacts, name + ".png")
        screenshot(env).save_png(path)
        if panel is not None:
            with open(os.path.join(args.artifacts, name + ".stderr"), "w") as f:
                f.write(panel.stderr_text())
        return path
    return None


@contextlib.contextmanager
def launch(args: argparse.Namespace, port: Optional[str] = None, name: Optional[str] = None,
           tools: Sequence[str] = ()):
    """The program started for a test both platforms share: yields (panel, reader or None)."""
    if args.wine_run:
        import winepanel  # next to this file; it builds on this module
        with winepanel.wine_panel(args, port=port == "fifo", name=name, tools=tools) as started:
            yield started
        return
    require_tools("Xvfb", "xdotool", "xwininfo", *tools)
    if port is not None:
        require_tools("unshare")
        require_root()
    with tempfile.TemporaryDirectory(prefix="pio-e2e-") as tmp, contextlib.ExitStack() as stack:
        binary = args.binary
        if name is not None:
            binary = os.path.join(tmp, name)
            shutil.copy(args.binary, binary)
        fifo = stack.enter_context(PortFifo(tmp)) if port == "fifo" else None
        x = stack.enter_context(Xvfb())
        panel = stack.enter_context(Panel(binary, x, port=fifo.path if fifo else None,
                                          namespace=port is not None))
        yield panel, (fifo.reader if fifo else None)


@contextlib.contextmanager
def panel_with_port(binary: str, *tools: str):
    """The usual set-up of a port test: yields (panel, reader) with the program running."""
    require_tools("Xvfb", "xdotool", "xwininfo", "unshare", *tools)
    require_root()
    with tempfile.TemporaryDirectory(prefix="pio-e2e-") as tmp, PortFifo(tmp) as port, \
            Xvfb() as x, Panel(binary, x, port=port.path) as panel:
        yield panel, port.reader


def switch_port_on(panel: "Panel", reader: "PortReader") -> None:
    panel.double_click(*LAYOUT.switch("pout"))
    check(reader.wait_count(5, DEADLINE), "pout on: no bytes")


def switch_face(panel: "Panel", name: str) -> bytes:
    """The pixels of a switch's LED (its hint opens below it, never over it)."""
    x, y = LAYOUT.switch(name)
    return panel.grab().region(x - 5, y - 5, 11, 11)


def wait_switch(panel: "Panel", name: str, face: bytes, label: str,
                timeout: float = DEADLINE) -> None:
    """Waits until the switch shows `face`: the panel has taken the double click that changed
    it (its handler repaints it, on the thread that also runs the port cycles)."""
    check(wait_until(lambda: switch_face(panel, name) == face, timeout, 0.05),
          f"{label}: the switch {name} did not change within {timeout:.0f} s")


def start_light(panel: "Panel", reader: "PortReader") -> float:
    """Port output on, then the running light; returns the time the light was switched on."""
    panel.wait_window()
    switch_port_on(panel, reader)
    time.sleep(0.6)
    t = time.monotonic()
    panel.double_click(*LAYOUT.switch("vl"))
    return t
