// SPDX-License-Identifier: MIT
// The LEDs: glossy domes set into the panel, each with its own colour set.
#include <cmath>
#include <cstdint>

#include "art/Artwork.h"
#include "art/Drawing.h"
#include "art/Noise.h"
#include "art/Paint.h"
#include "platform/Picture.h"

namespace pio {

namespace {

constexpr int kSize = 11;
constexpr double kCentre = 5.0;
constexpr double kRadius = 4.5;

struct Style {
    Colour outer;      // body colour towards the edge of the dome
    Colour inner;      // body colour in the middle, where the die shines through
    Colour highlight;  // reflection of the lamp
    Colour rim;        // the lens edge at the bottom, seen through the plastic
};

Style StyleOf(artwork::Led which) {
    switch (which) {
        case artwork::Led::GreenOff:
            return {Hex(0x3D6A00), Hex(0x557200), Hex(0x7D7F2D), Hex(0x062D02)};
        case artwork::Led::GreenOn:
            return {Hex(0x5DE906), Hex(0x9CFA18), Hex(0xFDFFAD), Hex(0x1E9D0A)};
        case artwork::Led::YellowOff:
            return {Hex(0x673400), Hex(0x7D5000), Hex(0x7E7550), Hex(0x1F0900)};
        case artwork::Led::YellowOn:
            return {Hex(0xF8DE1A), Hex(0xFFFB6A), Hex(0xFFFCD0), Hex(0xBA7B06)};
        case artwork::Led::RedOff:
            return {Hex(0x700000), Hex(0x800000), Hex(0x866766), Hex(0x320000)};
        case artwork::Led::RedOn: break;
    }
    return {Hex(0xFF2626), Hex(0xFF3434), Hex(0xFCB7B3), Hex(0xC41C24)};
}

// The highlight sits on the centre and runs out a little downwards, where the curved
// lens stretches the reflection; upwards and sideways it ends within a pixel.
double HighlightWeight(double dx, double dy) {
    const double sy = dy > 0.0 ? dy * 0.6 : dy * 1.4;
    const double w = Clamp01(1.0 - (dx * dx + sy * sy) / 1.6);
    return w * w;
}

Colour Dome(const Style& st, double dx, double dy) {
    const double d = std::sqrt(dx * dx + dy * dy);
    Colour c = Mix(st.inner, st.outer, SmoothStep(0.8, 4.2, d));
    const double down = d > 0.0 ? Clamp01(1.5 * dy / d) : 0.0;
    c = Mix(c, st.rim, SmoothStep(2.8, 3.9, d) * down);
    return c;
}

}  // namespace

Picture DrawLed(artwork::Led which) {
    const Style st = StyleOf(which);
    Picture p = Blank(kSize, kSize);
    Noise noise(0x5EED0100 + static_cast<std::uint64_t>(which));
    // A full 4 x 4 footprint: the dome's outline is small and must look round.
    const double offsets[4] = {-0.375, -0.125, 0.125, 0.375};
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const Colour panel = Grain(kFaceTop, noise, kGrainSigma);
            Colour sum;
            for (double oy : offsets) {
                for (double ox : offsets) {
                    const double dx = x + ox - kCentre, dy = y + oy - kCentre;
                    const double d = std::sqrt(dx * dx + dy * dy);
                    if (d < kRadius) {
                        sum = sum + Dome(st, dx, dy);
                    } else {
                        // The dome sits in a hole in the panel; its edge throws a thin shadow.
                        sum = sum + panel * (0.55 + 0.45 * SmoothStep(kRadius, 5.3, d));
                    }
                }
            }
            // The highlight is a reflection on the lens surface, so it is laid over the
            // averaged body rather than sampled: its peak stays the pure lamp colour.
            const Colour body = sum * (1.0 / 16.0);
            Put(p, x, y, Mix(body, st.highlight, HighlightWeight(x - kCentre, y - kCentre)));
        }
    }
    return p;
}

}  // namespace pio
