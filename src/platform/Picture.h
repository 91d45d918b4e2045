// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

namespace pio {

// An uncompressed 24-bit picture: rows top to bottom, three bytes (R, G, B) a pixel.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    struct Rgb {
        std::uint8_t r, g, b;
        friend bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
    };
    friend bool operator==(const Picture& a, const Picture& b) {
        return a.width == b.width && a.height == b.height && a.rgb == b.rgb;
    }
    friend bool operator!=(const Picture& a, const Picture& b) { return !(a == b); }

    Rgb pixel(int x, int y) const {
        const auto i = static_cast<std::size_t>((y * width + x) * 3);
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

}  // namespace pio
