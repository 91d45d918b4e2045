// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>

#include "app/PortChoice.h"
#include "output/PortDevice.h"
#include "output/SystemDeviceCalls.h"

namespace pio {

// The device the command line chose, with the credit line that names it: the port's own
// name, "gpiochip0", or "USB-Relais" and the serial of the board (looked up now when the
// command line named none; without it while no board is plugged in).
class ChosenDevice final {
public:
    explicit ChosenDevice(const PortChoice& choice);

    PortDevice& device() { return *device_; }
    std::string credit() const;

private:
    SystemDeviceCalls calls_;
    std::unique_ptr<PortDevice> device_;
    std::string name_;
    PortKind kind_;
};

}  // namespace pio
