// SPDX-License-Identifier: MIT
// The device front: a dark grained face between near-black bands, with bevel ramps.
#include <algorithm>
#include <cstdint>

#include "art/Drawing.h"
#include "art/Noise.h"
#include "art/Paint.h"
#include "platform/Picture.h"

namespace pio {

namespace {

// The picture starts one row above the window, so window row y is picture row y + 1.
constexpr int kWidth = 340;
constexpr int kHeight = 201;

// Bevels at the top and bottom edges of the face, one colour per window row.
constexpr std::uint32_t kTopRamp[] = {0x12131A, 0x16161E, 0x1C1D21, 0x1F2127,
                                      0x24252F, 0x303135, 0x37373F};
constexpr std::uint32_t kBottomRamp[] = {0x2B2C32, 0x222328, 0x1E1E21, 0x15151C, 0x121217};

bool IsFace(int y) { return y >= 15 && y <= 188; }

// Mean colour of a window row before the grain, the right-hand lightening and the glare.
Colour RowColour(int y) {
    if (y < 0) return Hex(0x0C0C10);  // above the window, never shown
    if (y <= 7) return Mix(Hex(0x0C0C10), Hex(0x111116), y / 7.0);
    if (y <= 14) return Hex(kTopRamp[y - 8]);
    // The face is lit from above: it darkens gently and settles from about row 110.
    if (y <= 188) return Mix(kFaceTop, kFaceLow, SmoothStep(30.0, 110.0, y));
    if (y <= 193) return Hex(kBottomRamp[y - 189]);
    return Mix(Hex(0x100F14), Hex(0x0A090D), (y - 194) / 5.0);
}

// Light falls a little stronger on the right part of the face.
double RightLift(int x) {
    const double t = std::max(0.0, (x - 170) / 169.0);
    return 4.5 * t * t;
}

// A soft reflection on the lower edge, centred on column 110.
double Glare(int x, int y) { return 7.0 * Bump((x - 110) / 21.0) * Bump((y - 187) / 7.0); }

// Grain is weaker on the near-black bands: there it would only be clipped at zero and
// lift their mean.
double GrainSigma(Colour base) {
    return kGrainSigma * std::min(1.0, std::max(0.2, (Luma(base) - 8.0) / 40.0));
}

}  // namespace

Picture DrawBackground() {
    Picture p = Blank(kWidth, kHeight);
    Noise noise(0x5EED0001);
    for (int row = 0; row < kHeight; ++row) {
        const int y = row - 1;
        const Colour base = RowColour(y);
        const double sigma = GrainSigma(base);
        for (int x = 0; x < kWidth; ++x) {
            double extra = Glare(x, y);
            if (IsFace(y)) extra += RightLift(x);
            Put(p, x, row, Grain(Lift(base, extra), noise, sigma));
        }
    }
    return p;
}

}  // namespace pio
