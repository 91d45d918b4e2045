// SPDX-License-Identifier: MIT
#include "app/linux/ChosenDevice.h"

#include <memory>
#include <utility>

#include "app/CreditLine.h"
#include "app/PortChoice.h"
#include "output/GpioDevice.h"
#include "output/HidRelayDevice.h"
#include "output/PpdevDevice.h"

namespace pio {

ChosenDevice::ChosenDevice(const PortChoice& choice) : name_(choice.name), kind_(choice.kind) {
    switch (choice.kind) {
        case PortKind::Parallel: device_ = std::make_unique<PpdevDevice>(choice.device); break;
        case PortKind::Gpio:
            device_ = std::make_unique<GpioDevice>(calls_, choice.device, choice.lines);
            break;
        case PortKind::UsbRelay: {
            auto relays = std::make_unique<HidRelayDevice>(calls_, choice.device, choice.serial);
            if (choice.serial.empty()) {
                const std::string serial = relays->Probe();
                if (!serial.empty()) name_ += " " + serial;
            }
            device_ = std::move(relays);
            break;
        }
    }
}

std::string ChosenDevice::credit() const {
    return kind_ == PortKind::Parallel ? CreditLine(name_) : DeviceCreditLine(name_);
}

}  // namespace pio
