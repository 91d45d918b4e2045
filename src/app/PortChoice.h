// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pio {

// The port names a platform knows: Linux takes LPT1..LPT3 for /dev/parport0..2, any device
// path, GPIO lines and USB relay boards; Windows takes the devices LPT1..LPT9 and USB relay
// boards.
enum class PortRules { Linux, Windows };

// What drives the six channels: a parallel port (or a FIFO standing in for one), six lines
// of a GPIO chip (Linux only), or a USB HID relay board.
enum class PortKind { Parallel, Gpio, UsbRelay };

// The port one panel drives, as the command line named it.
struct PortChoice {
    // What the port device opens: "/dev/parport1" on Linux, "LPT3" on Windows.
    std::string device;
    // How the credit line names it: "LPT2", or a path other than /dev/parportN as given.
    std::string name;
    // Windows: the mutex that holds the port for one panel, one per device. Empty on Linux,
    // where the lock lies on the device node itself.
    std::string holdName;
    PortKind kind = PortKind::Parallel;
    // GPIO: the six lines of channels 1..6, offsets or line names. The chip is `device`.
    std::vector<std::string> lines{};
    // USB relay board: the serial of the board, empty for the first board found or for the
    // hidraw node in `device`. With no node and no serial, `device` is empty.
    std::string serial{};

    // The port without any option: LPT1.
    static PortChoice Default(PortRules rules);
    // The port a value of --port names, or nothing for a name the rules do not know. Letter
    // case does not matter in LPTn, as on Windows.
    static std::optional<PortChoice> FromName(const std::string& value, PortRules rules);
    // What an error message lists as the names these rules take.
    static const char* Accepted(PortRules rules);
    // For a value FromName refused that starts like a GPIO or USB relay port ("gpiochip0:",
    // "USB:"): the form it must have, for the error message; nullptr for any other value.
    static const char* ExpectedForm(const std::string& value, PortRules rules);

    bool operator==(const PortChoice& other) const {
        return device == other.device && name == other.name && holdName == other.holdName &&
               kind == other.kind && lines == other.lines && serial == other.serial;
    }
};

}  // namespace pio
