// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "output/PortDevice.h"
#include "output/UniqueFd.h"

// The parallel port through the kernel's ppdev driver (/dev/parportN): claim the port, set
// the data lines, release it. The port keeps driving the byte after release and close, which
// is what lets PortWriter close the device after every word. Needs no root, only read/write
// access to the device node, and never touches I/O ports itself.
//
// A path whose driver does not know the ppdev requests (a printer-class device such as
// /dev/usb/lp0, or the FIFO, pty or plain file of a test rig) gets the byte through write(2)
// instead.
//
// Calls may block the caller: the claim waits up to 20 ms while another driver or program is
// using the port (the lp printer driver during a print job) and then reports the port busy
// (EBUSY, "access denied"), as it does for a port another program has registered for itself
// alone and claimed; a node that cannot take the byte right away (a full FIFO with nobody reading) blocks
// in write.
//
// hold() takes an advisory lock (flock) on the node through a descriptor of its own that stays
// open while port output is on. The kernel drops it when the descriptor closes, which it does
// when the program ends however it ends, so a crash never leaves the port locked. ppdev's own
// claim is no help here: it lasts only for one cycle, and a second panel would take its turn
// in between.
//
// The node is opened read/write, so a FIFO always has a reader (this descriptor) and writing
// to it cannot raise SIGPIPE; EPIPE from other devices is reported as an I/O error like any
// other errno.
class PpdevDevice final : public PortDevice {
public:
    explicit PpdevDevice(std::string path = "/dev/parport0");
    ~PpdevDevice() override;

    PpdevDevice(const PpdevDevice&) = delete;
    PpdevDevice& operator=(const PpdevDevice&) = delete;

    int hold() override;
    void letGo() override;
    int open() override;
    int write(std::uint8_t byte, int& written) override;
    int close() override;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    UniqueFd fd_;
    UniqueFd lock_;  // holds the flock while port output is on
    // True while we hold the ppdev claim; false for a plain write(2) device.
    bool claimed_ = false;
};
