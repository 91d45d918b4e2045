// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "art/Noise.h"
#include "platform/Picture.h"

namespace pio {

// Colour arithmetic in floating point (0..255 per channel) for the drawing code; values
// are only rounded and clamped when a pixel is stored.
struct Colour {
    double r = 0, g = 0, b = 0;
};

constexpr Colour hex(std::uint32_t v) {
    return {double((v >> 16) & 0xFF), double((v >> 8) & 0xFF), double(v & 0xFF)};
}
inline Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Colour operator*(Colour a, double k) { return {a.r * k, a.g * k, a.b * k}; }
inline Colour lift(Colour a, double d) { return {a.r + d, a.g + d, a.b + d}; }
inline Colour mix(Colour a, Colour b, double t) { return a + (b + a * -1.0) * t; }
inline double luma(Colour c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

inline double clamp01(double t) { return std::min(1.0, std::max(0.0, t)); }
inline double smoothstep(double e0, double e1, double x) {
    const double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}
// 1 at t = 0 falling smoothly to 0 at |t| = 1; a cheap bell without exp().
inline double bump(double t) {
    const double u = 1.0 - t * t;
    return u > 0.0 ? u * u : 0.0;
}

inline Picture blank(int w, int h) {
    return Picture{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w * h * 3), 0)};
}
inline std::uint8_t channel(double v) {
    return static_cast<std::uint8_t>(std::lround(std::min(255.0, std::max(0.0, v))));
}
inline void put(Picture& p, int x, int y, Colour c) {
    const auto i = static_cast<std::size_t>((y * p.width + x) * 3);
    p.rgb[i] = channel(c.r);
    p.rgb[i + 1] = channel(c.g);
    p.rgb[i + 2] = channel(c.b);
}

// The device front. Sockets and LEDs are cut out of the same surface, so their corners
// use the same colour and grain as the face of the background.
constexpr Colour kFaceTop = hex(0x3E3E43);
constexpr Colour kFaceLow = hex(0x353539);
constexpr double kGrainSigma = 6.9;

// One pixel of grain: a shared luminance offset plus a faint independent tint per channel,
// the way a sprayed or moulded surface looks under a camera.
inline Colour grain(Colour base, Noise& noise, double sigma) {
    const double n = noise.gauss() * sigma;
    const double tint = sigma * 0.08;
    return {base.r + n + noise.gauss() * tint, base.g + n + noise.gauss() * tint,
            base.b + n + noise.gauss() * tint};
}

}  // namespace pio
