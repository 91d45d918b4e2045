# SPDX-License-Identifier: MIT
"""Direct X11 access for the benchmarks, through ctypes: libX11 and libXtst (the XTEST
extension), both on any machine that has xdotool. No Python X bindings are needed.

Why not xdotool: starting a process per click costs milliseconds that would land in the
measured latency; here a click is two requests on an already open connection.

    x = XDirect(":5")
    x.move(400, 200)                      # pointer to screen coordinates, waits for the server
    t = x.click()                         # press+release of button 1; returns time.monotonic()
                                          # taken just before the requests are sent
    raw = x.grab(321, 112, 340, 200)      # root-window pixels: bytes, 4 per pixel (BGRX)
    x.close()
"""

from __future__ import annotations

import ctypes
import ctypes.util
import time


class _XImage(ctypes.Structure):
    # Only the leading fields are read; the struct is never allocated here.
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
        ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
        ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
    ]


_ZPIXMAP = 2
_ALL_PLANES = ctypes.c_ulong(0xFFFFFFFF)


def _load(name: str, soname: str) -> ctypes.CDLL:
    try:
        return ctypes.CDLL(soname)
    except OSError:
        found = ctypes.util.find_library(name)
        if not found:
            raise
        return ctypes.CDLL(found)


def available() -> bool:
    try:
        _load("X11", "libX11.so.6")
        _load("Xtst", "libXtst.so.6")
        return True
    except OSError:
        return False


class XDirect:
    def __init__(self, display: str):
        self._x = x = _load("X11", "libX11.so.6")
        self._t = t = _load("Xtst", "libXtst.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.POINTER(_XImage)
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
        t.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                           ctypes.c_int, ctypes.c_ulong]
        t.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                           ctypes.c_ulong]
        t.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                        ctypes.c_ulong]
        self._dpy = x.XOpenDisplay(display.encode())
        if not self._dpy:
            raise RuntimeError(f"cannot open display {display}")
        self._root = x.XDefaultRootWindow(self._dpy)

    def close(self) -> None:
        if self._dpy:
            self._x.XCloseDisplay(self._dpy)
            self._dpy = None

    def __enter__(self) -> "XDirect":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def sync(self) -> None:
        """Waits until the server has handled every request sent so far."""
        self._x.XSync(self._dpy, 0)

    def move(self, x: int, y: int) -> None:
        self._t.XTestFakeMotionEvent(self._dpy, -1, x, y, 0)
        self.sync()

    def press(self, button: int = 1) -> float:
        t = time.monotonic()
        self._t.XTestFakeButtonEvent(self._dpy, button, 1, 0)
        self._x.XFlush(self._dpy)
        return t

    def release(self, button: int = 1) -> float:
        t = time.monotonic()
        self._t.XTestFakeButtonEvent(self._dpy, button, 0, 0)
        self._x.XFlush(self._dpy)
        return t

    def click(self, button: int = 1) -> float:
        """Press and release in one flush; the time is taken just before the flush."""
        self._t.XTestFakeButtonEvent(self._dpy, button, 1, 0)
        self._t.XTestFakeButtonEvent(self._dpy, button, 0, 0)
        t = time.monotonic()
        self._x.XFlush(self._dpy)
        return t

    def grab(self, x: int, y: int, w: int, h: int) -> bytes:
        """Pixels of a root-window rectangle, as the server holds them (ZPixmap rows)."""
        img = self._x.XGetImage(self._dpy, self._root, x, y, w, h, _ALL_PLANES, _ZPIXMAP)
        if not img:
            raise RuntimeError("XGetImage failed")
        try:
            im = img.contents
            return ctypes.string_at(im.data, im.bytes_per_line * im.height)
        finally:
            self._x.XDestroyImage(img)
