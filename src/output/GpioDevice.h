// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/DeviceCalls.h"
#include "output/PortDevice.h"

namespace pio {

// Six GPIO lines of one chip through the kernel's GPIO character device (uAPI v2): channel k
// drives line k of the six named, from bit k+1 of the port byte (D2..D7).
//
// hold() requests the six lines as outputs (consumer "pio-out") and keeps the request while
// port output is on; each write sets all six values at once. The request is given back, its
// values untouched, when port output is switched off and when the panel ends: the lines are
// not driven low on the way out. What happens to a line after that is the chip driver's: the
// kernel gives no guarantee for a released line, most drivers keep its level, some return it
// to their default (an input).
//
// A line another program has requested makes the cycle report the port busy, like a port
// another program has claimed; a line another panel has requested (consumer "pio-out")
// gives the report of a port held by another panel. A chip that went away reports "not
// found", and the lines are requested again once it is back.
class GpioDevice final : public PortDevice {
public:
    static constexpr int kChannels = 6;

    // `chip`: the chip's node (/dev/gpiochip0). `lines`: six line offsets (decimal) or line
    // names, for channels 1..6.
    GpioDevice(DeviceCalls& calls, std::string chip, std::vector<std::string> lines);
    ~GpioDevice() override;

    GpioDevice(const GpioDevice&) = delete;
    GpioDevice& operator=(const GpioDevice&) = delete;

    int hold() override;
    void letGo() override;
    int open() override;
    int write(std::uint8_t byte, int& written) override;
    int close() override;

private:
    int Request();
    int ResolveOffsets(int chip, std::vector<std::uint32_t>& offsets);
    int BusyCode(int chip, const std::vector<std::uint32_t>& offsets);
    void Release();

    DeviceCalls& calls_;
    std::string chip_;
    std::vector<std::string> lines_;
    int request_ = -1;       // the line request's descriptor while held
    std::uint8_t last_ = 0;  // the byte last set, what a new request starts the lines at
};

}  // namespace pio
