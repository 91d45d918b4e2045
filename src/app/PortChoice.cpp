// SPDX-License-Identifier: MIT
#include "app/PortChoice.h"

#include <cstddef>
#include <optional>
#include <string>

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

bool IsNumber(const std::string& text) {
    if (text.empty() || text.size() > 9 || (text.size() > 1 && text[0] == '0')) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// Upper-case ASCII, for the names that ignore letter case.
std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

constexpr const char* kChipPrefix = "gpiochip";

// What follows "gpiochip" in the last part of a chip's path or name, or nothing when it is
// no chip at all.
std::optional<std::string> ChipSuffix(const std::string& chip) {
    const std::string base = chip.substr(chip.rfind('/') + 1);  // npos + 1 is 0
    const std::string prefix = kChipPrefix;
    if (base.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    return base.substr(prefix.size());
}

// The chip part of "CHIP:L1,...,L6": "gpiochipN", or a path whose last part is that.
bool IsGpioChip(const std::string& chip) {
    const std::optional<std::string> number = ChipSuffix(chip);
    return number && IsNumber(*number);
}

// "gpiochipN:L1,L2,L3,L4,L5,L6": six different lines, offsets or names (printable ASCII).
std::optional<PortChoice> Gpio(const std::string& value) {
    const std::size_t colon = value.find(':');
    const std::string chip = value.substr(0, colon);
    if (colon == std::string::npos || !IsGpioChip(chip)) return std::nullopt;
    PortChoice choice;
    choice.kind = PortKind::Gpio;
    choice.device = chip.find('/') == std::string::npos ? "/dev/" + chip : chip;
    choice.name = chip.substr(chip.rfind('/') + 1);
    const std::string list = value.substr(colon + 1) + ",";
    for (std::size_t at = 0, comma; (comma = list.find(',', at)) != std::string::npos;
         at = comma + 1) {
        const std::string line = list.substr(at, comma - at);
        if (line.empty()) return std::nullopt;
        for (char c : line)
            if (c < 0x21 || c > 0x7E) return std::nullopt;
        for (const std::string& earlier : choice.lines)
            if (earlier == line) return std::nullopt;
        // An offset may not look like another (07 would be line 7 under a second name), nor a
        // name like a number (-6).
        const bool numeric = (line[0] >= '0' && line[0] <= '9') || line[0] == '-' || line[0] == '+';
        if (numeric && !IsNumber(line)) return std::nullopt;
        choice.lines.push_back(line);
    }
    if (choice.lines.size() != 6) return std::nullopt;
    return choice;
}

// "USB", "USB:SERIAL" (five printable ASCII characters, as the boards have) or a hidraw node.
std::optional<PortChoice> UsbRelay(const std::string& value) {
    PortChoice choice;
    choice.kind = PortKind::UsbRelay;
    choice.name = "USB-Relais";
    if (Upper(value) == "USB") return choice;
    if (Upper(value.substr(0, 4)) == "USB:") {
        choice.serial = value.substr(4);
        if (choice.serial.size() != 5) return std::nullopt;
        for (char c : choice.serial)
            if (c < 0x21 || c > 0x7E) return std::nullopt;
        choice.name += " " + choice.serial;
        return choice;
    }
    const std::string node = "/dev/hidraw";
    if (value.compare(0, node.size(), node) != 0 || !IsNumber(value.substr(node.size())))
        return std::nullopt;
    choice.device = value;
    return choice;
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
        if (ExpectedForm(value, rules)) return UsbRelay(value);  // USB or USB:SERIAL only
        return std::nullopt;
    }
    if (lpt >= 1 && lpt <= 3) return Lpt(lpt, rules);
    if (ExpectedForm(value, rules)) {
        if (std::optional<PortChoice> gpio = Gpio(value)) return gpio;
        return UsbRelay(value);
    }
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

const char* PortChoice::ExpectedForm(const std::string& value, PortRules rules) {
    if (rules == PortRules::Windows) {
        if (Upper(value) == "USB" || Upper(value.substr(0, 4)) == "USB:")
            return "USB oder USB:SERIE mit der fünfstelligen Seriennummer";
        return nullptr;
    }
    const std::size_t colon = value.find(':');
    if (ChipSuffix(value.substr(0, colon)))  // also a chip with no lines at all
        return "gpiochipN: und sechs verschiedene Leitungen, Nummern oder Namen, mit Kommas";
    if (Upper(value) == "USB" || Upper(value.substr(0, 4)) == "USB:" ||
        value.compare(0, 11, "/dev/hidraw") == 0)
        return "USB, USB:SERIE mit der fünfstelligen Seriennummer oder /dev/hidrawN";
    return nullptr;
}

}  // namespace pio
