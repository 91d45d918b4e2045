# SPDX-License-Identifier: MIT
"""Pictures and input of the Wayland tests (wayland.py): the compositors' screenshots (PNG
from weston's screenshooter, PPM from grim) as harness.Image, and a virtual pointer spoken
directly over a wlroots compositor's Wayland socket."""
from __future__ import annotations

import re
import socket
import struct
import time
import zlib

import harness as h

WIDTH, HEIGHT = 1024, 768  # the output of the compositors in wayland.py


def read_ppm(data: bytes) -> h.Image:
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    h.check(m and m.group(3) == b"255", "not an 8-bit PPM picture")
    width, height = int(m.group(1)), int(m.group(2))
    return h.Image(width, height, data[m.end():m.end() + width * height * 3])


def read_png(path: str) -> h.Image:
    """8-bit RGB or RGBA PNG, as weston's screenshooter writes them."""
    with open(path, "rb") as f:
        data = f.read()
    h.check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is no PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, tag = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if tag == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif tag == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    h.check(depth == 8 and colour in (2, 6) and not interlace, f"unexpected PNG {header}")
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * bpp
    prev = bytearray(stride)
    rgb = bytearray()
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        prev = line
        if bpp == 3:
            rgb += line
        else:
            for x in range(width):
                rgb += line[x * 4:x * 4 + 3]
    return h.Image(width, height, bytes(rgb))


class VirtualPointer:
    """A pointer of its own on a wlroots compositor (zwlr_virtual_pointer_manager_v1),
    spoken directly over the Wayland socket: motion to a place on the output, buttons."""
    BTN_LEFT = 0x110

    def __init__(self, socket_path: str):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(socket_path)
        self.sock.settimeout(10)
        self._next = 2
        self._buf = b""
        registry = self._new()
        self._send(1, 1, struct.pack("=I", registry))  # wl_display.get_registry
        globals_ = {}
        for obj, op, body in self._roundtrip():
            if obj == registry and op == 0:
                name, n = struct.unpack_from("=II", body)
                iface = body[8:8 + n - 1].decode()
                globals_[iface] = name
        iface = "zwlr_virtual_pointer_manager_v1"
        if iface not in globals_:
            h.skip(f"the compositor offers no {iface}")
        manager = self._new()
        name = iface.encode() + b"\0"
        name += b"\0" * (-len(name) % 4)
        self._send(registry, 0, struct.pack("=II", globals_[iface], len(iface) + 1) + name +
                   struct.pack("=II", 1, manager))  # wl_registry.bind, version 1
        self.pointer = self._new()
        self._send(manager, 0, struct.pack("=II", 0, self.pointer))  # no seat: the default
        self._roundtrip()

    def _new(self) -> int:
        self._next += 1
        return self._next - 1

    def _send(self, obj: int, opcode: int, body: bytes) -> None:
        self.sock.sendall(struct.pack("=II", obj, (8 + len(body)) << 16 | opcode) + body)

    def _roundtrip(self) -> list:
        done = self._new()
        self._send(1, 0, struct.pack("=I", done))  # wl_display.sync
        events = []
        while True:
            while len(self._buf) < 8 or \
                    len(self._buf) < struct.unpack_from("=II", self._buf)[1] >> 16:
                chunk = self.sock.recv(65536)
                if not chunk:
                    raise RuntimeError("the compositor closed the connection")
                self._buf += chunk
            obj, word = struct.unpack_from("=II", self._buf)
            size = word >> 16
            body, self._buf = self._buf[8:size], self._buf[size:]
            if obj == 1 and word & 0xFFFF == 0:
                raise RuntimeError(f"Wayland protocol error: {body!r}")
            if obj == done:
                return events
            events.append((obj, word & 0xFFFF, body))

    @staticmethod
    def _ms() -> int:
        return int(time.monotonic() * 1000) & 0xFFFFFFFF

    def move(self, x: int, y: int) -> None:
        self._send(self.pointer, 1, struct.pack("=IIIII", self._ms(), x, y, WIDTH, HEIGHT))
        self._send(self.pointer, 4, b"")  # frame
        self._roundtrip()

    def button(self, pressed: bool) -> None:
        self._send(self.pointer, 2, struct.pack("=III", self._ms(), self.BTN_LEFT, int(pressed)))
        self._send(self.pointer, 4, b"")
        self._roundtrip()

    def click(self, x: int, y: int) -> None:
        self.move(x, y)
        self.button(True)
        self.button(False)

    def double_click(self, x: int, y: int, gap: float = 0.06) -> None:
        self.click(x, y)
        time.sleep(gap)
        self.button(True)
        self.button(False)

    def close(self) -> None:
        self.sock.close()
