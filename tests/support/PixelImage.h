// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

namespace pio {

// A snapshot of an off-screen canvas: rows top to bottom, one 0xRRGGBB value a pixel. Plain
// data, so that tests read pixels the same way whichever platform painted them.
struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;

    std::uint32_t pixel(int x, int y) const {
        return rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(x)];
    }
};

}  // namespace pio
