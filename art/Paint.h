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

constexpr Colour Hex(std::uint32_t v) {
    return {double((v >> 16) & 0xFF), double((v >> 8) & 0xFF), double(v & 0xFF)};
}
inline Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Colour operator*(Colour a, double k) { return {a.r * k, a.g * k, a.b * k}; }
inline Colour Lift(Colour a, double d) { return {a.r + d, a.g + d, a.b + d}; }
inline Colour Mix(Colour a, Colour b, double t) { return a + (b + a * -1.0) * t; }
inline double Luma(Colour c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

inline double Clamp01(double t) { return std::min(1.0, std::max(0.0, t)); }
inline double SmoothStep(double e0, double e1, double x) {
    const double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}
// 1 at t = 0 falling smoothly to 0 at |t| = 1; a cheap bell without exp().
inline double Bump(double t) {
    const double u = 1.0 - t * t;
    return u > 0.0 ? u * u : 0.0;
}

inline Picture Blank(int w, int h) {
    return Picture{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w * h * 3), 0)};
}
inline std::uint8_t Channel(double v) {
    return static_cast<std::uint8_t>(std::lround(std::min(255.0, std::max(0.0, v))));
}
inline void Put(Picture& p, int x, int y, Colour c) {
    const auto i = static_cast<std::size_t>((y * p.width + x) * 3);
    p.rgb[i] = Channel(c.r);
    p.rgb[i + 1] = Channel(c.g);
    p.rgb[i + 2] = Channel(c.b);
}

// The device front. Sockets and LEDs are cut out of the same surface, so their corners
// use the same colour and grain as the face of the background.
constexpr Colour kFaceTop = Hex(0x3E3E43);
constexpr Colour kFaceLow = Hex(0x353539);
constexpr double kGrainSigma = 6.9;

// One pixel of grain: a shared luminance offset plus a faint independent tint per channel,
// the way a sprayed or moulded surface looks under a camera.
inline Colour Grain(Colour base, Noise& noise, double sigma) {
    const double n = noise.Gauss() * sigma;
    const double tint = sigma * 0.08;
    return {base.r + n + noise.Gauss() * tint, base.g + n + noise.Gauss() * tint,
            base.b + n + noise.Gauss() * tint};
}

}  // namespace pio
