// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace pio {

// The byte put on the data lines for an output word: the low eight bits shifted left by two,
// so channel n (bit n-1 of the word) drives data line D(n+1). Bit 6 of the word (the running
// light's overflow) is shifted out of the byte; the result is at most 252 and D0/D1 stay low.
std::uint8_t PortByte(std::int32_t word);

}  // namespace pio
