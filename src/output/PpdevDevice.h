// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "output/PanelLock.h"
#include "output/PortDevice.h"
#include "output/UniqueFd.h"

// The parallel port through the kernel's ppdev driver (/dev/parportN): claim the port, set
// the data lines, release it. The port keeps driving the byte after release and close, which
// is what lets PortWriter close the device after every word. Needs no root, only read/write
// access to the device node, and never touches I/O ports itself.
//
// Only two kinds of path are ever written (PortNode.h): a ppdev node, through PPWDATA, and a
// FIFO, the stand-in of the test rigs, through a write(2) that never blocks (a FIFO nobody
// reads, or one that is full, fails the cycle as "not ready"). Anything else is refused with
// kNotAPort before it is opened for writing; the kind is checked again on the open descriptor,
// so a path swapped in between is refused too.
//
// The claim waits up to 20 ms while another driver or program is using the port (the lp
// printer driver during a print job) and then reports the port busy (EBUSY, "access
// denied"), as it does for a port another program has registered for itself alone and
// claimed. Where that time limit cannot be set up, the cycle fails instead of waiting without
// one.
//
// hold() keeps the port for this panel while port output is on: a PanelLock on the device
// (any node of it), and, on a ppdev node, an advisory lock (flock) on the node itself, which
// is what other programs that lock the port look at; their lock makes the cycle report the
// port busy. Both are dropped by the kernel when the program ends however it ends. ppdev's
// own claim is no help here: it lasts only for one cycle, and a second panel would take its
// turn in between.
class PpdevDevice final : public PortDevice {
public:
    // `lockDirectory`: where the panels' lock files live; empty for the system's.
    explicit PpdevDevice(std::string path = "/dev/parport0", std::string lockDirectory = "");
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
    enum class Mode { Closed, Claimed, Fifo };

    int openPort();
    int openFifo();
    int lockNode(dev_t rdev);

    std::string path_;
    PanelLock panelLock_;
    UniqueFd nodeLock_;  // the flock on a ppdev node while port output is on
    UniqueFd fd_;
    Mode mode_ = Mode::Closed;
};
