// SPDX-License-Identifier: MIT
#include "output/PortByte.h"

#include <cstdint>

namespace pio {

std::uint8_t PortByte(std::int32_t word) {
    // Mask before shifting so negative words behave like their low byte.
    return static_cast<std::uint8_t>((static_cast<std::uint32_t>(word) & 0xFFu) << 2);
}

}  // namespace pio
