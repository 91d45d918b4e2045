// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "output/PortDevice.h"
#include "output/WinDeviceHandle.h"
#include "output/WinHidCalls.h"

namespace pio {

// A USB HID relay board (16c0:05df, product "USBRelay<N>", N = 1, 2, 4 or 8) through Windows'
// own HID driver: channel k switches relay k from bit k+1 of the port byte (D2..D7); channels
// beyond the board's relays drive nothing, relays beyond six are left alone.
//
// hold() finds the board (the one with the serial given, or the first), reads back which
// relays are on and keeps it open while port output is on, held for this panel by a named
// mutex per serial as the LPT device holds its port. A write sends only the relays whose
// wanted state differs from the state last known. An unplugged board reports "not found"
// (ERROR_FILE_NOT_FOUND; checked at each open() by asking the driver for the board's
// attributes) and is looked for again on every cycle until it is back. Relays keep their
// state when port output is switched off and when the panel ends.
class WinHidRelayDevice final : public PortDevice {
public:
    // `serial`: the board's serial, or empty for the first board found.
    WinHidRelayDevice(WinHidCalls& calls, std::string serial);
    ~WinHidRelayDevice() override;

    WinHidRelayDevice(const WinHidRelayDevice&) = delete;
    WinHidRelayDevice& operator=(const WinHidRelayDevice&) = delete;

    int hold() override;
    void letGo() override;
    int open() override;
    int write(std::uint8_t byte, int& written) override;
    int close() override;

    // The serial of the board the next hold would take, or empty when there is none now.
    std::string Probe();

private:
    struct Board {
        WinHidCalls::Device device = nullptr;
        int relays = 0;
        std::string serial;
        std::uint8_t state = 0;  // bit k-1: relay k is on
    };

    int Find(Board& board);
    int Read(WinHidCalls::Device device, Board& board);
    int TakeMutex(const std::string& serial);
    void Release();

    WinHidCalls& calls_;
    std::string serial_;
    Board board_;
    WinDeviceHandle mutex_;
    bool held_ = false;
};

}  // namespace pio
