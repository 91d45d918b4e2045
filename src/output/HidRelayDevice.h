// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "output/DeviceCalls.h"
#include "output/PanelLock.h"
#include "output/PortDevice.h"

namespace pio {

// A USB HID relay board (16c0:05df, product "USBRelay<N>", N = 1, 2, 4 or 8) through Linux's
// hidraw driver: channel k switches relay k from bit k+1 of the port byte (D2..D7); channels
// beyond the board's relays drive nothing, relays beyond six are left alone.
//
// The board is one of three: the node given (/dev/hidrawN), the board with the serial given,
// or the first board found. hold() finds it, opens it, reads back which relays are on and
// takes a PanelLock on its serial, so two panels never drive one board in turns; the board
// stays open while port output is on. A write sends only the relays whose wanted state
// differs from the state last known, one feature report each, so a board is never flooded.
//
// An unplugged board reports "not found" (every ioctl on its node fails with ENODEV, checked
// at each open() without any USB traffic); the next cycles look for it again and, once it is
// back, the relays follow the panel by themselves. Relays keep their state when port output
// is switched off and when the panel ends: the board holds it while it has power.
class HidRelayDevice final : public PortDevice {
public:
    // `node`: a hidraw node, or empty to look for the board; `serial`: the board's serial, or
    // empty for the first board found. `lockDirectory`: as for PanelLock.
    HidRelayDevice(DeviceCalls& calls, std::string node, std::string serial,
                   std::string lockDirectory = "");
    ~HidRelayDevice() override;

    HidRelayDevice(const HidRelayDevice&) = delete;
    HidRelayDevice& operator=(const HidRelayDevice&) = delete;

    int hold() override;
    void letGo() override;
    int open() override;
    int write(std::uint8_t byte, int& written) override;
    int close() override;

    // The serial of the board the next hold would take, or empty when there is none now (for
    // the credit line; the board is not kept).
    std::string Probe();

private:
    struct Board {
        std::string node;
        int relays = 0;
        std::string serial;
        std::uint8_t state = 0;  // bit k-1: relay k is on
    };

    // Opens the board into `fd`, filled in; returns 0 or an I/O error code.
    int Find(Board& board, int& fd);
    int OpenNode(const std::string& node, int relays, Board& board, int& fd);
    int Switch(int relay, bool on);
    void Release();

    DeviceCalls& calls_;
    std::string node_;
    std::string serial_;
    PanelLock panelLock_;
    int fd_ = -1;
    Board board_;
};

}  // namespace pio
