// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace pio {

// The code of a cycle refused because another panel holds the port (see PortDevice::hold).
// It is the number the platform the panel was made for gives a lock held by someone else.
constexpr int kPortHeldByAnotherPanel = 33;

// Where the port byte goes. PortWriter drives one open/write/close cycle per output word, so
// a port device holds a handle only between open() and close(); a device that must stay open
// to keep its outputs (GPIO lines, a relay board) holds it from hold() to letGo() instead.
class PortDevice {
public:
    virtual ~PortDevice() = default;
    // Claims the port for this program while port output is on, so that two panels never
    // drive one port in turns: called before every cycle, it returns 0 once the port is held
    // (and as long as it stays held), kPortHeldByAnotherPanel while another program holds it,
    // or another error code. The claim must be one the system drops when the program ends,
    // however it ends, so that a crash never leaves the port claimed.
    virtual int hold() { return 0; }
    // Gives the claim up (port output switched off).
    virtual void letGo() {}
    // Each returns 0 on success or an I/O error code (the codes of EInOutError).
    virtual int open() = 0;
    virtual int write(std::uint8_t byte, int& written) = 0;  // `written` preset to 0 by the caller
    virtual int close() = 0;
};

}  // namespace pio
