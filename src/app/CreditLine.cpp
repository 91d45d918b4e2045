// SPDX-License-Identifier: MIT
#include "app/CreditLine.h"

#include <cstring>
#include <string>
#include <vector>

namespace pio {

namespace {

constexpr const char* kPrefix = "PIO Out · 6 Kanäle an ";
constexpr const char* kEllipsis = "…";

// Room for the port name in the 315 px label: what "PIO Out · 6 Kanäle an …" leaves, as
// drawn in Times New Roman 15 px bold italic (Liberation Serif, its metric twin on Linux),
// less a margin for GDI, which rounds each character's advance to whole pixels.
constexpr int kNameRoom = 315 - 158 - 10;

// Upper bounds of a character's width in that font, in pixels: capitals and the few wide
// signs and lower-case letters, every other ASCII character, and anything beyond ASCII
// (which may be a full-width character).
int Width(const std::string& name, std::size_t at) {
    const auto c = static_cast<unsigned char>(name[at]);
    if (c >= 0x80) return 16;
    if ((c >= 'A' && c <= 'Z') || (c != 0 && std::strchr("mw@%&", c))) return 15;
    return 9;
}

}  // namespace

std::string CreditLine(const std::string& portName) {
    // Where each character starts: a name is cut between characters, never inside one.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < portName.size(); ++i)
        if ((static_cast<unsigned char>(portName[i]) & 0xC0) != 0x80) starts.push_back(i);
    int width = 0;
    for (std::size_t k = starts.size(); k-- > 0;) {
        width += Width(portName, starts[k]);
        if (width > kNameRoom)
            return std::string(kPrefix) + kEllipsis + portName.substr(starts[k + 1]);
    }
    return kPrefix + portName;
}

std::string DeviceCreditLine(const std::string& deviceName) { return kPrefix + deviceName; }

}  // namespace pio
