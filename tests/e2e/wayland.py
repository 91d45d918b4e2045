# SPDX-License-Identifier: MIT
"""Wayland compositors for the end-to-end tests, in headless mode on sockets of their own:

    Weston(xwayland)   weston's headless backend (pixman renderer), with Xwayland or without;
                       screenshots through its screenshooter (--debug). Debian's weston has
                       no way to inject input (its test plugin is not packaged).
    Sway(xwayland)     sway's headless backend, run as nobody (sway refuses to run as root);
                       screenshots through grim, the pointer through its virtual-pointer
                       protocol (wayland_io.VirtualPointer), keys through wtype (virtual keyboard).

Each is a context manager; .env() is the environment of a program started on it (no
QT_QPA_PLATFORM: the program chooses its platform itself), .display the Xwayland display or
None, .screenshot() an harness.Image of the whole output."""
from __future__ import annotations

import json
import os
import re
import subprocess
import tempfile
from typing import Optional

import harness as h
from wayland_io import HEIGHT, WIDTH, VirtualPointer, read_png, read_ppm  # noqa: F401

NOBODY = 65534


def _wait(pred, timeout: float, what: str, log: str = ""):
    value = h.wait_until(pred, timeout, 0.05)
    if not value:
        tail = ""
        if log and os.path.exists(log):
            with open(log, errors="replace") as f:
                tail = ": " + f.read()[-1500:]
        raise RuntimeError(f"{what} within {timeout:.0f} s{tail}")
    return value


def _xwayland_display(compositor_pid: int) -> str:
    """The display of the Xwayland its compositor started (":N" among its arguments): in
    the compositor's session (wlroots starts it through a second fork, so not as a child)."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/stat") as f:
                session = int(f.read().rsplit(")", 1)[1].split()[3])
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                argv = f.read().split(b"\0")
        except (OSError, ValueError, IndexError):
            continue
        if session == compositor_pid and os.path.basename(argv[0]) == b"Xwayland":
            for arg in argv[1:]:
                if re.fullmatch(rb":\d+", arg):
                    return arg.decode()
    return ""


class _Compositor:
    def __enter__(self):
        try:
            return self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise

    def __init__(self, xwayland: bool):
        self.xwayland = xwayland
        self.display: Optional[str] = None
        self.proc: Optional[subprocess.Popen] = None
        self.keyboard: Optional[subprocess.Popen] = None
        self._tmp = tempfile.TemporaryDirectory(prefix="pio-wl-")
        self.dir = self._tmp.name
        # The program's own runtime folder, apart from the compositor's.
        self.client_runtime = os.path.join(self.dir, "client")
        os.mkdir(self.client_runtime, 0o700)
        self.socket = ""
        self.log = os.path.join(self.dir, "compositor.log")

    def env(self, extra: Optional[dict] = None) -> dict:
        env = h.clean_env()
        env["XDG_RUNTIME_DIR"] = self.client_runtime
        env["WAYLAND_DISPLAY"] = self.socket  # an absolute path: libwayland takes it as is
        if self.display:
            env["DISPLAY"] = self.display
        if env.get("ASAN_OPTIONS"):
            # On Wayland Qt sets up Mesa's EGL, whose driver is unloaded before the program
            # ends; the fast unwinder stops at the first frame in it, so a leak there showed no
            # library name for tests/lsan.supp to match. The full unwinder shows them.
            env["ASAN_OPTIONS"] += ":fast_unwind_on_malloc=0"
        if extra:
            env.update(extra)
        return env

    def _started(self) -> None:
        _wait(lambda: os.path.exists(self.socket) or self.proc.poll() is not None, 20,
              "no Wayland socket", self.log)
        if self.proc.poll() is not None:
            raise RuntimeError(f"the compositor ended (exit {self.proc.returncode})" +
                               open(self.log, errors="replace").read()[-1500:])
        if self.xwayland:
            self.display = _wait(lambda: self._x_display(), 20, "no Xwayland", self.log)
            # Xwayland takes connections once its socket is there.
            n = self.display[1:]
            _wait(lambda: os.path.exists(f"/tmp/.X11-unix/X{n}"), 20, "no Xwayland socket")

    def _x_display(self) -> str:
        return _xwayland_display(self.proc.pid)

    def __exit__(self, *exc) -> None:
        if self.keyboard is not None:
            h.kill_group(self.keyboard)
        if self.proc is not None:
            h.kill_group(self.proc)
        self._tmp.cleanup()


# Sent as the compositor's user: Xwayland started by sway admits that user alone, and the
# program under test runs as root. X11's ChangeHosts (Insert, server-interpreted
# "localuser:root") lets root in, then GetInputFocus waits for the server to have done it.
_ADMIT_ROOT = r"""
import socket, struct, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect("/tmp/.X11-unix/X" + sys.argv[1])
s.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
head = s.recv(8, socket.MSG_WAITALL)
if head[0] != 1:
    sys.exit("X server refused the connection")
s.recv(struct.unpack_from("<H", head, 6)[0] * 4, socket.MSG_WAITALL)
addr = b"localuser\0root"
addr += b"\0" * (-len(addr) % 4)
s.sendall(struct.pack("<BBHBxH", 109, 0, 2 + len(addr) // 4, 5, 14) + addr)
s.sendall(struct.pack("<BxH", 43, 1))
reply = s.recv(32, socket.MSG_WAITALL)
if reply[0] != 1:
    sys.exit(f"ChangeHosts failed: X error {reply[1]}")
"""


class Weston(_Compositor):
    def _start(self) -> "Weston":
        h.require_tools("weston", "weston-screenshooter")
        if self.xwayland:
            h.require_tools("Xwayland")
        version = subprocess.run(["weston", "--version"], capture_output=True, text=True,
                                 timeout=10).stdout
        major = int(re.search(r"(\d+)\.", version).group(1))
        # weston 10 (Debian 12) names backends by file and renders nothing headless unless
        # told to; weston 14 (Debian 13) takes --renderer.
        backend = ["--backend=headless-backend.so", "--use-pixman"] if major < 12 else \
            ["--backend=headless", "--renderer=pixman"]
        runtime = os.path.join(self.dir, "runtime")
        os.mkdir(runtime, 0o700)
        self.socket = os.path.join(runtime, "pio-e2e")
        argv = ["weston", *backend, f"--width={WIDTH}", f"--height={HEIGHT}",
                "--socket=pio-e2e", "--idle-time=0", "--debug", f"--log={self.log}"]
        if self.xwayland:
            argv.append("--xwayland")
        env = dict(h.clean_env(), XDG_RUNTIME_DIR=runtime, HOME=self.dir)
        self.proc = h.spawn(argv, env=env, cwd=self.dir, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._started()
        if self.xwayland:
            self._wait_for_window_manager()
        return self

    def _wait_for_window_manager(self) -> None:
        """weston starts Xwayland when the first X client comes, and its window manager only
        once Xwayland is up. A window mapped before then is framed later at the frame's
        default place: the panel, started as that first client, stood at 32,32 instead of its
        own place for good, in 2 of 17 runs on a busy machine. A desktop session has both
        running before any program starts; here a first client (xprop) starts Xwayland, and
        the wait is for the window manager's check window on the root."""
        def managed() -> bool:
            r = h.run_tool(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], self.env(),
                           timeout=h.DEADLINE, check_rc=False)
            return r.returncode == 0 and "window id" in r.stdout
        _wait(managed, h.DEADLINE, "no window manager in weston's Xwayland", self.log)

    def _x_display(self) -> str:
        # weston starts Xwayland when the first X client comes; the display is taken at once.
        with open(self.log, errors="replace") as f:
            m = re.search(r"xserver listening on display (:\d+)", f.read())
        return m.group(1) if m else ""

    def settled(self) -> h.Image:
        """A screenshot once the desktop's background and bar are drawn (two alike)."""
        shots = [self.screenshot()]

        def alike():
            shots.append(self.screenshot())
            return shots[-1].rgb == shots[-2].rgb
        _wait(alike, 20, "weston's output did not settle")
        return shots[-1]

    def screenshot(self) -> h.Image:
        shots = tempfile.mkdtemp(dir=self.dir)
        env = dict(self.env(), HOME=shots, XDG_PICTURES_DIR=shots)
        h.run_tool(["weston-screenshooter"], env, timeout=30)
        files = [os.path.join(d, f) for d, _, fs in os.walk(shots) for f in fs
                 if f.endswith(".png")]
        h.check(len(files) == 1, f"weston-screenshooter left {files}")
        return read_png(files[0])


class Sway(_Compositor):
    def _start(self) -> "Sway":
        h.require_tools("sway", "swaymsg", "grim", "setpriv")
        os.chmod(self.dir, 0o755)
        runtime = os.path.join(self.dir, "runtime")
        os.mkdir(runtime, 0o700)
        config = os.path.join(self.dir, "config")
        with open(config, "w") as f:
            f.write(f"output HEADLESS-1 mode {WIDTH}x{HEIGHT}\n"
                    f"xwayland {'force' if self.xwayland else 'disable'}\n"
                    "focus_follows_mouse no\n")
        os.chmod(config, 0o644)
        argv = ["sway", "-c", config]
        if os.geteuid() == 0:
            os.chown(runtime, NOBODY, NOBODY)
            argv = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups",
                    *argv]
        env = dict(h.clean_env(), XDG_RUNTIME_DIR=runtime, HOME=self.dir,
                   WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman")
        with open(self.log, "wb") as log:
            self.proc = h.spawn(argv, env=env, cwd=self.dir, stdin=subprocess.DEVNULL,
                                stdout=log, stderr=log)
        sockets = lambda: [f for f in os.listdir(runtime) if re.fullmatch(r"wayland-\d+", f)]
        name = _wait(lambda: sockets() or self.proc.poll() is not None, 20,
                     "no Wayland socket", self.log)
        h.check(self.proc.poll() is None, "sway ended: " + open(self.log).read()[-1500:])
        self.socket = os.path.join(runtime, name[0])
        self.ipc = _wait(lambda: [os.path.join(runtime, f) for f in os.listdir(runtime)
                                  if f.startswith("sway-ipc.")], 20, "no sway IPC socket")[0]
        self._started()
        if self.display and os.geteuid() == 0:
            h.run_tool(["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups",
                        "python3", "-c", _ADMIT_ROOT, self.display[1:]], h.clean_env(),
                       timeout=20)
        if not self.xwayland:
            self._keyboard()
        return self

    def _keyboard(self) -> None:
        """A keyboard that is there before the program, as a desktop's is. Headless sway has
        none, so wtype's virtual keyboard used to be the first: the program then made its
        wl_keyboard only on that news, and keys that sway sent before were lost to it (seen:
        Alt+F4 ignored in about one run in three). This wtype holds its keyboard until the
        compositor ends. Not beside Xwayland: Xwayland takes its keymap from the seat's
        keyboard, and wtype's holds only the keys it types, so xdotool's keys (XTEST) would
        miss F4 there."""
        h.require_tools("wtype")
        self.keyboard = h.spawn(["wtype", "-s", "3600000", "-k", "F13"], env=self.env(),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        _wait(lambda: any(i.get("type") == "keyboard" for i in self.inputs()) or
              self.keyboard.poll() is not None, 20, "no keyboard on sway's seat", self.log)
        h.check(self.keyboard.poll() is None, f"wtype ended (exit {self.keyboard.returncode})")

    def inputs(self) -> list:
        out = h.run_tool(["swaymsg", "-s", self.ipc, "-t", "get_inputs", "-r"], self.env())
        return json.loads(out.stdout)

    def tree(self) -> dict:
        out = h.run_tool(["swaymsg", "-s", self.ipc, "-t", "get_tree", "-r"], self.env())
        return json.loads(out.stdout)

    def windows(self) -> list:
        """Every window: (app_id or X11 class, rect, focused)."""
        found = []

        def walk(node):
            props = node.get("window_properties") or {}
            name = node.get("app_id") or props.get("class")
            if name and node.get("type") in ("con", "floating_con"):
                found.append((name, node["rect"], node.get("focused", False)))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(self.tree())
        return found

    def screenshot(self) -> h.Image:
        shot = subprocess.run(["grim", "-t", "ppm", "-"], env=self.env(), capture_output=True,
                              timeout=30)
        h.check(shot.returncode == 0, f"grim failed: {shot.stderr.decode(errors='replace')}")
        return read_ppm(shot.stdout)

    def keys(self, *wtype_args: str) -> None:
        h.require_tools("wtype")
        h.run_tool(["wtype", *wtype_args], self.env())
