// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "output/PortDevice.h"
#include "output/WinDeviceHandle.h"

// The parallel port on Windows as the device "LPT1": every cycle opens it, writes the port
// byte with one WriteFile and closes it again; the port keeps the byte on its data lines.
// Error codes are GetLastError() as Windows gives them (2: no such port, 5: access denied
// or the port in use by a print job), which are exactly the codes the messages are made for.
//
// While port output is on, the port is held for this panel through a named mutex, so a
// second panel on the same machine cannot drive the port in turns with this one. The system
// drops the mutex when the process ends, however it ends.
class WinLptDevice final : public PortDevice {
public:
    explicit WinLptDevice(std::string device = "LPT1",
                          std::wstring holdName = L"Local\\pio-out-LPT1");
    ~WinLptDevice() override;

    WinLptDevice(const WinLptDevice&) = delete;
    WinLptDevice& operator=(const WinLptDevice&) = delete;

    int hold() override;
    void letGo() override;
    int open() override;
    int write(std::uint8_t byte, int& written) override;
    int close() override;

    // How long one write may wait for a port that does not take the byte (nothing attached,
    // printer offline) before it fails, where the port driver supports write timeouts.
    static constexpr unsigned kWriteTimeoutMs = 100;

private:
    std::string device_;
    std::wstring holdName_;
    WinDeviceHandle file_;
    WinDeviceHandle mutex_;
    bool held_ = false;
};
