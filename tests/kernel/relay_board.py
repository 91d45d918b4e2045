# SPDX-License-Identifier: MIT
"""A USB relay board for the kernel rig, made through the kernel's uhid driver: to the HID
core and hidraw it is a USB device 16c0:05df named "www.dcttech.com USBRelay<N>", as the
common boards are, with their one vendor-defined 8-byte feature report without a report id.

    relay_board.py LOG RELAYS SERIAL

Commands on stdin, one a line: "create" (plug in), "destroy" (unplug), "quit". Each is
answered with "ok <time>" once done. Everything the board sees goes into LOG, one line each,
with its CLOCK_MONOTONIC time (the scenarios' time.monotonic()):

    <t> created / destroyed
    <t> get                     a feature report read (GET_REPORT)
    <t> set <bytes in hex>      a feature report written (SET_REPORT)
    <t> state <mask>            the relays that are on, after every change (bit k-1: relay k)

A board that is plugged in starts with every relay off, as a real one does on power-up."""
from __future__ import annotations

import os
import select
import struct
import sys
import time

# linux/uhid.h
UHID_CREATE2, UHID_DESTROY = 11, 1
UHID_GET_REPORT, UHID_GET_REPORT_REPLY = 9, 10
UHID_SET_REPORT, UHID_SET_REPORT_REPLY = 13, 14
UHID_FEATURE_REPORT = 0
BUS_USB = 0x03
EVENT_SIZE = 4380  # sizeof(struct uhid_event) is 4376; reads of more return that much

# The descriptor the common boards send: usage page 0xFF00, usage 1, an application collection
# with eight bytes 0..255 as one feature report (Data,Var,Abs,Buffered Bytes), no report id.
DESCRIPTOR = bytes([0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
                    0x75, 0x08, 0x95, 0x08, 0x09, 0x00, 0xB2, 0x02, 0x01, 0xC0])


class Board:
    def __init__(self, log_path: str, relays: int, serial: str):
        self.relays = relays
        self.serial = serial.encode()[:5].ljust(5, b"\0")
        self.state = 0
        self.log_file = open(log_path, "a", buffering=1)
        self.fd = os.open("/dev/uhid", os.O_RDWR | os.O_CLOEXEC)

    def log(self, text: str) -> float:
        t = time.monotonic()
        self.log_file.write(f"{t:.6f} {text}\n")
        return t

    def send(self, kind: int, payload: bytes) -> None:
        event = struct.pack("<I", kind) + payload
        os.write(self.fd, event.ljust(EVENT_SIZE - 4, b"\0"))

    def create(self) -> float:
        self.state = 0
        name = f"www.dcttech.com USBRelay{self.relays}".encode()
        payload = struct.pack("<128s64s64sHHIIII", name, b"usb-rig-relay/input0",
                              self.serial, len(DESCRIPTOR), BUS_USB, 0x16C0, 0x05DF, 0x0100, 0)
        self.send(UHID_CREATE2, payload + DESCRIPTOR)
        return self.log("created")

    def destroy(self) -> float:
        self.send(UHID_DESTROY, b"")
        return self.log("destroyed")

    def report(self) -> bytes:
        """The feature report as a real board answers it: the serial in bytes 0..4, the
        relays that are on in byte 7; hidraw's caller gets the report id 0 in front of it."""
        return b"\0" + self.serial + b"\0\0" + bytes([self.state])

    def command(self, data: bytes) -> None:
        mask = (1 << self.relays) - 1
        state = self.state
        if len(data) >= 2 and data[0] in (0xFF, 0xFD) and 1 <= data[1] <= self.relays:
            bit = 1 << (data[1] - 1)
            state = state | bit if data[0] == 0xFF else state & ~bit
        elif data[:1] == b"\xFE":
            state = mask
        elif data[:1] == b"\xFC":
            state = 0
        if state != self.state:
            self.state = state
            self.log(f"state {state}")

    def handle(self) -> None:
        event = os.read(self.fd, EVENT_SIZE)
        kind = struct.unpack_from("<I", event)[0]
        if kind == UHID_GET_REPORT:
            ident, rnum, rtype = struct.unpack_from("<IBB", event, 4)
            self.log("get")
            if rtype == UHID_FEATURE_REPORT and rnum == 0:
                data = self.report()
                self.send(UHID_GET_REPORT_REPLY, struct.pack("<IHH", ident, 0, len(data)) + data)
            else:
                self.send(UHID_GET_REPORT_REPLY, struct.pack("<IHH", ident, 5, 0))  # EIO
        elif kind == UHID_SET_REPORT:
            ident, rnum, rtype, size = struct.unpack_from("<IBBH", event, 4)
            data = event[12:12 + size]
            self.log(f"set {data.hex()}")
            if rtype == UHID_FEATURE_REPORT and rnum == 0:
                self.command(data[1:])  # hidraw's report id 0 in front, as USB drops it
                self.send(UHID_SET_REPORT_REPLY, struct.pack("<IH", ident, 0))
            else:
                self.send(UHID_SET_REPORT_REPLY, struct.pack("<IH", ident, 5))


def main() -> None:
    log_path, relays, serial = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    board = Board(log_path, relays, serial)
    stdin = sys.stdin.fileno()
    while True:
        ready, _, _ = select.select([board.fd, stdin], [], [])
        if board.fd in ready:
            board.handle()
        if stdin in ready:
            line = sys.stdin.readline().strip()
            if line in ("", "quit"):
                return  # closing /dev/uhid unplugs a board still plugged in
            t = board.create() if line == "create" else board.destroy()
            print(f"ok {t:.6f}", flush=True)


if __name__ == "__main__":
    main()
