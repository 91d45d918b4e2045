// SPDX-License-Identifier: MIT
// A round panel socket seen head-on: hole, orange collar, metal ring and rim, shadow.
#include <algorithm>
#include <cmath>

#include "art/Drawing.h"
#include "art/Noise.h"
#include "art/Paint.h"
#include "platform/Picture.h"

namespace pio {

namespace {

constexpr int kWidth = 30;
constexpr int kHeight = 31;
constexpr double kCx = 15.0;
constexpr double kCy = 17.0;

// Light comes from below and slightly from the left, so the top of the outer rim and the
// panel just above it lie in the rim's shadow.
constexpr double kLightX = -0.3;
constexpr double kLightY = 0.954;

// What varies from pixel to pixel rather than with position: panel grain and a little
// sensor noise so the plastic and metal do not look flat-filled.
struct Speckle {
    Colour panel;  // the bare panel, grain included
    double grain;  // the same grain in standard deviations, for the panel in shadow
    double sensor;
};

// A direction on the ring, as unit vector from the centre (y pointing down).
struct Dir {
    double x, y;
    double Lit() const { return 0.5 + 0.5 * (x * kLightX + y * kLightY); }
    // Narrow specular lobe around the direction (hx, hy), as a power of the cosine.
    double Lobe(double hx, double hy, int sharpness) const {
        double c = std::max(0.0, x * hx + y * hy), v = 1.0;
        for (int i = 0; i < sharpness; ++i) v *= c;
        return v;
    }
};

Colour Grey(double v) { return {v, v, v + 5.0}; }

Colour Hole(double d, Dir u) {
    // The wall of the hole catches a little orange light from the collar at its lower edge.
    const double wall = SmoothStep(3.2, 4.5, d) * std::max(0.0, u.y) * 0.5;
    return Mix(Hex(0x060608), Hex(0x3A1C0E), wall);
}

// The collar shades from a bright lip at the hole to a deep orange at its outer edge.
// Colours are given at the middle of each radius and blended in between.
Colour Collar(double d, Dir u) {
    const double lit = u.Lit();
    const Colour band[5] = {
        Mix(Hex(0xFF7B1B), Hex(0xFF9467), lit),
        Mix(Hex(0xB65324), Hex(0xD96734), 0.7 + 0.3 * lit),
        Mix(Hex(0xB65324), Hex(0xD96734), 0.3 + 0.4 * lit),
        Mix(Hex(0xB65324), Hex(0xD96734), 0.3 * lit),
        Mix(Hex(0x922002), Hex(0xB22A04), lit),
    };
    // Blend only near the borders so that every radius keeps its own colour in its middle.
    const double t = std::min(4.0, std::max(0.0, d - 5.0));
    const int i = std::min(3, static_cast<int>(t));
    return Mix(band[i], band[i + 1], SmoothStep(0.35, 0.65, t - i));
}

// The thin ring around the collar: polished, reflecting the lamp in two spots.
Colour InnerRing(Dir u) {
    const double shine = u.Lobe(-0.707, -0.707, 10) + u.Lobe(0.6, 0.8, 10);
    return Mix(Grey(135.0 + 70.0 * u.Lit()), Hex(0xFFFFFF), Clamp01(shine));
}

// The outer rim: bright turned metal, its top turned away from the light.
Colour OuterRim(double d, Dir u) {
    const double top = SmoothStep(0.15, 0.75, -u.y);
    const double face = d < 12.5 ? 190.0 : 165.0;  // the flat face, then the bevel
    const Colour metal = Mix(Grey(face + 30.0 * u.Lit()), Grey(96.0), top);
    const double shine = u.Lobe(-0.94, 0.34, 14) + u.Lobe(0.94, 0.34, 14) + u.Lobe(0.0, 1.0, 14);
    return Mix(metal, Hex(0xFFFFFF), Clamp01(shine) * (1.0 - top));
}

// The rim's shadow on the panel, deepest in an arc over the top, grain still showing.
Colour Shadow(double d, Dir u, const Speckle& s) {
    const double over = -u.y;  // 1 straight above the hole
    const double depth = 9.0 * SmoothStep(-0.2, 0.9, over) - 4.0 * SmoothStep(-0.2, -0.9, over);
    const double falloff = 2.5 * (d - 15.0);  // darker where the rim meets the panel
    return Lift(Hex(0x313137), -depth + falloff + s.grain * kGrainSigma * 0.6);
}

Colour ColourAt(double dx, double dy, const Speckle& s) {
    const double d = std::sqrt(dx * dx + dy * dy);
    const Dir u = d > 0.0 ? Dir{dx / d, dy / d} : Dir{0.0, 0.0};
    if (d < 4.5) return Hole(d, u);
    if (d >= 16.5) return s.panel;
    Colour c;
    // Two borders sit a hair past the half radius: many pixel centres lie at 9.43..9.49
    // and at 11.40, and they would otherwise come out half metal.
    if (d < 9.56)
        c = Collar(d, u);
    else if (d < 10.5)
        c = InnerRing(u);
    else if (d < 11.55)
        c = Hex(0x16161A);
    else if (d < 13.5)
        c = OuterRim(d, u);
    else
        return Shadow(d, u, s);
    return Lift(c, s.sensor);
}

}  // namespace

Picture DrawSocket() {
    Picture p = Blank(kWidth, kHeight);
    Noise noise(0x5EED0002);
    // A narrow 4 x 4 sample footprint: edges get a photographic softness but each ring
    // keeps its own colour across most of its width.
    const double offsets[4] = {-0.1, -0.033, 0.033, 0.1};
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const Colour panel = Grain(kFaceTop, noise, kGrainSigma);
            const double g = (Luma(panel) - Luma(kFaceTop)) / kGrainSigma;
            const Speckle s{panel, g, noise.Gauss() * 1.5};
            Colour sum;
            for (double oy : offsets)
                for (double ox : offsets) sum = sum + ColourAt(x + ox - kCx, y + oy - kCy, s);
            Put(p, x, y, sum * (1.0 / 16.0));
        }
    }
    return p;
}

}  // namespace pio
