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
// Only a character device (the port itself) and a pipe (a FIFO standing in for the port under
// wine, as in the tests) are written. Whatever else a name may be made to open, a file above
// all, is refused with ERROR_INVALID_FUNCTION before anything is written. A pipe is written
// overlapped, with the same time limit as the port, so one that nobody reads fails the cycle
// with ERROR_NOT_READY instead of stopping the panel.
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

    // What a handle of a given GetFileType may be used as.
    enum class Kind { Port, Pipe, NotAPort };
    static Kind KindOf(DWORD fileType);

private:
    int openPipe();
    int writePipe(std::uint8_t byte, int& written);

    std::string device_;
    std::wstring holdName_;
    WinDeviceHandle file_;
    WinDeviceHandle mutex_;
    WinDeviceHandle writeDone_;  // the event of an overlapped write to a pipe
    bool pipe_ = false;
    bool held_ = false;
};
