// SPDX-License-Identifier: MIT
// The device front: a dark grained face between near-black bands, with bevel ramps.
#include "art/Drawing.h"
#include "art/Paint.h"

namespace pio {

namespace {

// The picture starts one row above the window, so window row y is picture row y + 1.
constexpr int kWidth = 340;
constexpr int kHeight = 201;

// Bevels at the top and bottom edges of the face, one colour per window row.
constexpr std::uint32_t kTopRamp[] = {0x12131A, 0x16161E, 0x1C1D21, 0x1F2127,
                                      0x24252F, 0x303135, 0x37373F};
constexpr std::uint32_t kBottomRamp[] = {0x2B2C32, 0x222328, 0x1E1E21, 0x15151C, 0x121217};

bool isFace(int y) { return y >= 15 && y <= 188; }

// Mean colour of a window row before the grain, the right-hand lightening and the glare.
Colour rowColour(int y) {
    if (y < 0) return hex(0x0C0C10);  // above the window, never shown
    if (y <= 7) return mix(hex(0x0C0C10), hex(0x111116), y / 7.0);
    if (y <= 14) return hex(kTopRamp[y - 8]);
    // The face is lit from above: it darkens gently and settles from about row 110.
    if (y <= 188) return mix(kFaceTop, kFaceLow, smoothstep(30.0, 110.0, y));
    if (y <= 193) return hex(kBottomRamp[y - 189]);
    return mix(hex(0x100F14), hex(0x0A090D), (y - 194) / 5.0);
}

// Light falls a little stronger on the right part of the face.
double rightLift(int x) {
    const double t = std::max(0.0, (x - 170) / 169.0);
    return 4.5 * t * t;
}

// A soft reflection on the lower edge, centred on column 110.
double glare(int x, int y) { return 7.0 * bump((x - 110) / 21.0) * bump((y - 187) / 7.0); }

// Grain is weaker on the near-black bands: there it would only be clipped at zero and
// lift their mean.
double grainSigma(Colour base) {
    return kGrainSigma * std::min(1.0, std::max(0.2, (luma(base) - 8.0) / 40.0));
}

}  // namespace

Picture drawBackground() {
    Picture p = blank(kWidth, kHeight);
    Noise noise(0x5EED0001);
    for (int row = 0; row < kHeight; ++row) {
        const int y = row - 1;
        const Colour base = rowColour(y);
        const double sigma = grainSigma(base);
        for (int x = 0; x < kWidth; ++x) {
            double extra = glare(x, y);
            if (isFace(y)) extra += rightLift(x);
            put(p, x, row, grain(lift(base, extra), noise, sigma));
        }
    }
    return p;
}

}  // namespace pio
