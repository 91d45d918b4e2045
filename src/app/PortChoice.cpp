// SPDX-License-Identifier: MIT
#include "app/PortChoice.h"

namespace pio {

namespace {

constexpr const char* kLinuxNode = "/dev/parport";

// The number n of "LPTn" in any letter case, for n = 1..9 with no leading zero; 0 otherwise.
int LptNumber(const std::string& value) {
    if (value.size() != 4) return 0;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(value[0]) != 'L' || upper(value[1]) != 'P' || upper(value[2]) != 'T') return 0;
    return value[3] >= '1' && value[3] <= '9' ? value[3] - '0' : 0;
}

// N of a path "/dev/parportN" (decimal, no leading zero), or -1 for any other path.
long ParportIndex(const std::string& path) {
    const std::string prefix = kLinuxNode;
    if (path.compare(0, prefix.size(), prefix) != 0) return -1;
    const std::string digits = path.substr(prefix.size());
    if (digits.empty() || digits.size() > 3) return -1;
    if (digits.size() > 1 && digits[0] == '0') return -1;
    for (char c : digits)
        if (c < '0' || c > '9') return -1;
    return std::stol(digits);
}

PortChoice Lpt(int n, PortRules rules) {
    const std::string name = "LPT" + std::to_string(n);
    if (rules == PortRules::Windows) return {name, name, "Local\\pio-out-" + name};
    return {kLinuxNode + std::to_string(n - 1), name, ""};
}

}  // namespace

PortChoice PortChoice::Default(PortRules rules) { return Lpt(1, rules); }

std::optional<PortChoice> PortChoice::FromName(const std::string& value, PortRules rules) {
    const int lpt = LptNumber(value);
    if (rules == PortRules::Windows) {
        if (lpt >= 1) return Lpt(lpt, rules);
        return std::nullopt;
    }
    if (lpt >= 1 && lpt <= 3) return Lpt(lpt, rules);
    // Anything with a slash is a device path; the device itself says whether it can be used
    // when port output is switched on, with the same messages as for the default port.
    if (value.find('/') == std::string::npos) return std::nullopt;
    const long index = ParportIndex(value);
    if (index >= 0) return PortChoice{value, "LPT" + std::to_string(index + 1), ""};
    return PortChoice{value, value, ""};
}

const char* PortChoice::Accepted(PortRules rules) {
    return rules == PortRules::Windows ? "LPT1 bis LPT9"
                                       : "LPT1 bis LPT3 oder ein Gerätepfad wie /dev/parport1";
}

}  // namespace pio
