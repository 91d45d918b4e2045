// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace pio {

class PortDevice;

// Puts output words on the port. Every write() is one complete, synchronous cycle: open the
// device, write the one port byte, close it again. Nothing is kept open between cycles, so
// another program may use the port in between and a vanished port shows up on the next
// cycle. A device that blocks (a full FIFO, a printer driver waiting for paper) blocks the
// caller; the panel calls this on the UI thread.
class PortWriter final {
public:
    explicit PortWriter(PortDevice& device);

    // Claims the port for this program (PortDevice::hold), then runs the cycle. Throws
    // EInOutError with the code of the first step that failed.
    void write(std::int32_t word);
    // Gives the claim up, so another panel may drive the port; the port keeps its byte.
    void release();

private:
    PortDevice& device_;
};

}  // namespace pio
