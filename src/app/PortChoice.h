// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

namespace pio {

// The port names a platform knows: Linux takes LPT1..LPT3 for /dev/parport0..2 and any
// device path; Windows takes the devices LPT1..LPT9 and nothing else.
enum class PortRules { Linux, Windows };

// The port one panel drives, as the command line named it.
struct PortChoice {
    // What the port device opens: "/dev/parport1" on Linux, "LPT3" on Windows.
    std::string device;
    // How the credit line names it: "LPT2", or a path other than /dev/parportN as given.
    std::string name;
    // Windows: the mutex that holds the port for one panel, one per device. Empty on Linux,
    // where the lock lies on the device node itself.
    std::string holdName;

    // The port without any option: LPT1.
    static PortChoice Default(PortRules rules);
    // The port a value of --port names, or nothing for a name the rules do not know. Letter
    // case does not matter in LPTn, as on Windows.
    static std::optional<PortChoice> FromName(const std::string& value, PortRules rules);
    // What an error message lists as the names these rules take.
    static const char* Accepted(PortRules rules);

    bool operator==(const PortChoice& other) const {
        return device == other.device && name == other.name && holdName == other.holdName;
    }
};

}  // namespace pio
