// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace pio {

// The one feature report of the USB HID relay boards (16c0:05df, "USBRelay<N>"), as hidraw
// and hid.dll both hand it over: the report id 0 in front of the report's eight bytes. Read
// back, it holds the board's serial in bytes 0..4 and the relays that are on in byte 7 (bit
// k-1: relay k); sent, it switches one relay: 0xFF k on, 0xFD k off.
class RelayReport final {
public:
    static constexpr std::size_t kSize = 9;
    using Bytes = std::array<unsigned char, kSize>;

    // The report that switches relay `relay` (1-based) on or off.
    static Bytes Switch(int relay, bool on);
    // The serial (up to five bytes, ending at the first zero) of a report read back.
    static std::string Serial(const Bytes& report);
    // Bit k-1: relay k is on.
    static std::uint8_t State(const Bytes& report);

    // The next relay (1-based) whose state in `state` differs from its channel in the port
    // byte (channel k is bit k+1, D2..D7), with `on` set to what it should be; 0 when none
    // does. Every relay to switch off comes before any to switch on. Relays beyond the
    // board's `relays` and beyond the six channels are left alone.
    static int NextChange(std::uint8_t byte, std::uint8_t state, int relays, bool& on);
    // `state` with relay `relay` switched on or off.
    static std::uint8_t With(std::uint8_t state, int relay, bool on);

    // N of a board's product name "USBRelay<N>" for the boards there are (1, 2, 4, 8); 0 for
    // anything else. Windows hands over the name alone; Linux (sysfs, and wine, which reads
    // it there) puts the maker's name in front: "www.dcttech.com USBRelay8".
    static int Relays(const std::string& product);

    // A serial as the panel may show it: anything but printable ASCII becomes '?'.
    static std::string Shown(std::string serial);
};

}  // namespace pio
