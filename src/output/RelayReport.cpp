// SPDX-License-Identifier: MIT
#include "output/RelayReport.h"

#include <string.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace pio {

namespace {

constexpr std::size_t kSerialAt = 1;
constexpr std::size_t kSerialSize = 5;
constexpr std::size_t kStateAt = 8;
constexpr unsigned char kRelayOn = 0xFF;
constexpr unsigned char kRelayOff = 0xFD;
constexpr int kChannels = 6;

}  // namespace

RelayReport::Bytes RelayReport::Switch(int relay, bool on) {
    return {0, on ? kRelayOn : kRelayOff, static_cast<unsigned char>(relay)};
}

std::string RelayReport::Serial(const Bytes& report) {
    const auto* serial = reinterpret_cast<const char*>(report.data() + kSerialAt);
    return {serial, strnlen(serial, kSerialSize)};
}

std::uint8_t RelayReport::State(const Bytes& report) { return report[kStateAt]; }

int RelayReport::NextChange(std::uint8_t byte, std::uint8_t state, int relays, bool& on) {
    // The port's lines change together; a board's relays one report at a time. Offs first, so
    // that between two words no relay is on that neither word has on (a running light never
    // shows two lamps, two relays wired against each other never close together).
    for (const bool wantedOn : {false, true}) {
        for (int relay = 1; relay <= std::min(kChannels, relays); ++relay) {
            const bool wanted = ((byte >> (relay + 1)) & 1) != 0;
            const bool now = ((state >> (relay - 1)) & 1) != 0;
            if (wanted == wantedOn && wanted != now) {
                on = wanted;
                return relay;
            }
        }
    }
    return 0;
}

std::uint8_t RelayReport::With(std::uint8_t state, int relay, bool on) {
    const auto bit = static_cast<std::uint8_t>(1U << (relay - 1));
    return static_cast<std::uint8_t>(on ? state | bit : state & ~bit);
}

int RelayReport::Relays(const std::string& product) {
    const std::string mark = "USBRelay";
    const std::size_t at = product.rfind(mark);
    if (at == std::string::npos) return 0;
    std::string digits = product.substr(at + mark.size());
    while (!digits.empty() && (digits.back() == '\n' || digits.back() == '\0')) digits.pop_back();
    if (digits != "1" && digits != "2" && digits != "4" && digits != "8") return 0;
    return digits[0] - '0';
}

std::string RelayReport::Shown(std::string serial) {
    for (char& c : serial)
        if (c < 0x21 || c > 0x7E) c = '?';
    return serial;
}

}  // namespace pio
