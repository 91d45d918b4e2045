// SPDX-License-Identifier: MIT
// Measures the generated pictures: colours by row and radius, grain, shading and the icon.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ios>
#include <string>
#include <utility>
#include <vector>

#include "art/Artwork.h"
#include "platform/Picture.h"

namespace pio {

namespace {

using Filter = std::function<bool(int, int)>;

double LumaOf(Picture::Rgb c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

struct Stats {
    double r = 0, g = 0, b = 0, lumaSd = 0, brightest = -1;
    int count = 0, bx = -1, by = -1;  // bx, by: where the brightest pixel is
    double Luma() const { return 0.299 * r + 0.587 * g + 0.114 * b; }
};

// Mean colour, luminance spread and brightest pixel over the pixels the filter accepts.
Stats Measure(const Picture& p, const Filter& take) {
    Stats s;
    double l = 0, l2 = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            if (!take(x, y)) continue;
            const auto c = p.pixel(x, y);
            s.r += c.r, s.g += c.g, s.b += c.b, ++s.count;
            l += LumaOf(c), l2 += LumaOf(c) * LumaOf(c);
            if (LumaOf(c) > s.brightest) s.brightest = LumaOf(c), s.bx = x, s.by = y;
        }
    }
    if (s.count == 0) return s;
    s.r /= s.count, s.g /= s.count, s.b /= s.count;
    s.lumaSd = std::sqrt(std::max(0.0, l2 / s.count - (l / s.count) * (l / s.count)));
    return s;
}
Stats StatsAt(const Picture& p, int x, int y) {
    return Measure(p, [=](int px, int py) { return px == x && py == y; });
}

// Every channel of the mean lies between those of colours a and b, give or take tol.
void expectIn(const Stats& s, std::uint32_t a, std::uint32_t b, double tol,
              const std::string& what) {
    ASSERT_GT(s.count, 0) << what;
    const double got[3] = {s.r, s.g, s.b};
    for (int i = 0; i < 3; ++i) {
        const double ca = (a >> (16 - 8 * i)) & 0xFF, cb = (b >> (16 - 8 * i)) & 0xFF;
        EXPECT_GE(got[i], std::min(ca, cb) - tol) << what << ", channel " << i;
        EXPECT_LE(got[i], std::max(ca, cb) + tol) << what << ", channel " << i;
    }
}
void ExpectNear(const Stats& s, std::uint32_t rgb, double tol, const std::string& what) {
    expectIn(s, rgb, rgb, tol, what);
}

// ---- background -----------------------------------------------------------------------

// Window row y shows picture row y + 1.
Filter WindowRows(int y0, int y1, int x0 = 0, int x1 = 339) {
    return [=](int x, int row) { return row - 1 >= y0 && row - 1 <= y1 && x >= x0 && x <= x1; };
}

struct BandRow {
    int y;              // window row
    std::uint32_t rgb;  // expected mean colour
};
std::uint32_t LerpRgb(std::uint32_t a, std::uint32_t b, double t) {
    std::uint32_t out = 0;
    for (int shift : {16, 8, 0})
        out |= static_cast<std::uint32_t>(
                   std::lround(((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t))
               << shift;
    return out;
}
std::vector<BandRow> BandRows() {
    std::vector<BandRow> rows{{-1, 0x0C0C10}};  // above the window: continues the dark band
    for (int y = 0; y <= 7; ++y) rows.push_back({y, LerpRgb(0x0C0C10, 0x111116, y / 7.0)});
    const std::uint32_t top[] = {0x12131A, 0x16161E, 0x1C1D21, 0x1F2127,
                                 0x24252F, 0x303135, 0x37373F};
    for (int i = 0; i < 7; ++i) rows.push_back({8 + i, top[i]});
    const std::uint32_t bottom[] = {0x2B2C32, 0x222328, 0x1E1E21, 0x15151C, 0x121217};
    for (int i = 0; i < 5; ++i) rows.push_back({189 + i, bottom[i]});
    for (int y = 194; y <= 199; ++y)
        rows.push_back({y, LerpRgb(0x100F14, 0x0A090D, (y - 194) / 5.0)});
    return rows;
}

class ArtworkBandTest : public ::testing::TestWithParam<BandRow> {};
TEST_P(ArtworkBandTest, RowMeanMatchesTheEdgeColour) {
    const BandRow row = GetParam();
    ExpectNear(Measure(artwork::BackgroundPicture(), WindowRows(row.y, row.y)), row.rgb, 2.0,
               "window row " + std::to_string(row.y));
}
INSTANTIATE_TEST_SUITE_P(Edges, ArtworkBandTest, ::testing::ValuesIn(BandRows()),
                         [](const auto& test) { return "row" + std::to_string(test.param.y + 1); });

TEST(ArtworkBackground, FaceIsLighterAtTheTopAndDarkensSmoothlyDownwards) {
    const Picture p = artwork::BackgroundPicture();
    ASSERT_EQ(p.width, 340);
    ASSERT_EQ(p.height, 201);
    ASSERT_EQ(p.rgb.size(), 340u * 201u * 3u);
    ExpectNear(Measure(p, WindowRows(16, 30, 0, 169)), 0x3E3E43, 1.5, "upper face");
    ExpectNear(Measure(p, WindowRows(110, 175, 0, 169)), 0x353539, 1.5, "lower face");
    double previous = Measure(p, WindowRows(20, 29, 0, 169)).Luma();
    for (int y = 30; y < 120; y += 10) {
        const double now = Measure(p, WindowRows(y, y + 9, 0, 169)).Luma();
        EXPECT_LE(now, previous + 0.5) << "rows " << y << "..";
        EXPECT_GE(now, previous - 2.5) << "step at rows " << y << "..";
        previous = now;
    }
}

TEST(ArtworkBackground, RightEdgeAndLowerGlareAreAFewLevelsLighter) {
    const Picture p = artwork::BackgroundPicture();
    const auto lighter = [&](const Filter& a, const Filter& b) {
        return Measure(p, a).Luma() - Measure(p, b).Luma();
    };
    const double rightEdge = lighter(WindowRows(20, 175, 320, 339), WindowRows(20, 175, 20, 160));
    EXPECT_GT(rightEdge, 1.5);
    EXPECT_LT(rightEdge, 8.0);
    const double glare = lighter(WindowRows(182, 192, 100, 120), WindowRows(182, 192, 40, 80));
    EXPECT_GT(glare, 1.5);
    EXPECT_LT(glare, 10.0);
}

TEST(ArtworkBackground, GrainHasTheRightSpreadAndIsBluish) {
    const Picture p = artwork::BackgroundPicture();
    EXPECT_NEAR(Measure(p, WindowRows(120, 170, 10, 160)).lumaSd, 7.0, 2.0);
    const Stats face = Measure(p, WindowRows(16, 170, 0, 169));
    EXPECT_NEAR(face.b - face.r, 5.0, 1.2);
    EXPECT_NEAR(face.g, face.r, 1.0);
}

TEST(ArtworkBackground, FaceIsPlainIndependentGrain) {
    // Neighbours in per-pixel noise are uncorrelated; blur, streaks or a pattern are not.
    const Picture p = artwork::BackgroundPicture();
    const double mean = Measure(p, WindowRows(120, 170, 10, 161)).Luma();
    double horizontal = 0, vertical = 0, variance = 0;
    for (int y = 121; y <= 171; ++y) {
        for (int x = 10; x <= 160; ++x) {
            const double a = LumaOf(p.pixel(x, y)) - mean;
            horizontal += a * (LumaOf(p.pixel(x + 1, y)) - mean);
            vertical += a * (LumaOf(p.pixel(x, y + 1)) - mean);
            variance += a * a;
        }
    }
    EXPECT_LT(std::abs(horizontal / variance), 0.1);
    EXPECT_LT(std::abs(vertical / variance), 0.1);
    // Nor does any column stand out from its neighbours, as a line or marking would.
    std::vector<double> column(340);
    for (int x = 0; x < 340; ++x) column[x] = Measure(p, WindowRows(40, 170, x, x)).Luma();
    for (int x = 3; x < 337; ++x) {
        double around = 0;
        for (int k = 1; k <= 3; ++k) around += column[x - k] + column[x + k];
        EXPECT_NEAR(column[x], around / 6, 3.0) << "column " << x;
    }
}

// ---- socket ---------------------------------------------------------------------------

// Pixels whose distance from the socket's centre rounds to r0..r1.
Filter Radii(int r0, int r1) {
    return [=](int x, int y) {
        const long r = std::lround(std::hypot(x - 15.0, y - 17.0));
        return r >= r0 && r <= r1;
    };
}

struct SocketRing {
    const char* name;
    int r0, r1;
    std::uint32_t from, to;  // range of the ring's mean colour
    double tol;
};
class ArtworkSocketRingTest : public ::testing::TestWithParam<SocketRing> {};
TEST_P(ArtworkSocketRingTest, MeanColourLiesInItsRange) {
    const SocketRing ring = GetParam();
    expectIn(Measure(artwork::SocketPicture(), Radii(ring.r0, ring.r1)), ring.from, ring.to,
             ring.tol, ring.name);
}
INSTANTIATE_TEST_SUITE_P(Radii, ArtworkSocketRingTest,
                         ::testing::Values(SocketRing{"hole", 0, 4, 0x000000, 0x141414, 0.0},
                                           SocketRing{"collarLip", 5, 5, 0xFF7B1B, 0xFF9467, 10.0},
                                           SocketRing{"collar", 6, 8, 0xB65324, 0xD96734, 6.0},
                                           SocketRing{"collarEdge", 9, 9, 0xA22503, 0xA22503, 10.0},
                                           SocketRing{"gap", 11, 11, 0x16161A, 0x16161A, 4.0},
                                           SocketRing{"shadow", 14, 16, 0x2D2D33, 0x2D2D33, 3.0},
                                           SocketRing{"panel", 18, 30, 0x3E3E43, 0x3E3E43, 3.0}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ArtworkSocket, IsRoundAndCentred) {
    const Picture p = artwork::SocketPicture();
    ASSERT_EQ(p.width, 30);
    ASSERT_EQ(p.height, 31);
    // Four ways out from the centre the hole ends and the collar starts at the same radius.
    for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        EXPECT_LT(LumaOf(p.pixel(15 + 3 * dx, 17 + 3 * dy)), 16.0);
        EXPECT_GT(p.pixel(15 + 6 * dx, 17 + 6 * dy).r, 180);
    }
}

TEST(ArtworkSocket, MetalRingsAreBrightWithWhiteHighlightsExceptAtTheTop) {
    const Picture p = artwork::SocketPicture();
    for (auto [r0, r1] : {std::pair{10, 10}, {12, 13}}) {
        const Stats s = Measure(p, Radii(r0, r1));
        EXPECT_GT(s.Luma(), 130.0) << "radius " << r0;
        EXPECT_GT(s.brightest, 240.0) << "radius " << r0;
    }
    // The outer rim's top is turned away from the light.
    const Filter rim = Radii(12, 13);
    const auto top = [&](int x, int y) { return rim(x, y) && y - 17 < -2 * std::abs(x - 15); };
    EXPECT_LT(Measure(p, top).brightest, 180.0);
    EXPECT_GT(Measure(p, [&](int x, int y) { return rim(x, y) && y > 17; }).Luma(), 170.0);
}

TEST(ArtworkSocket, ShadowIsDarkestAcrossTheTopAndPanelIsGrained) {
    const Picture p = artwork::SocketPicture();
    const Filter shadow = Radii(14, 16);
    const auto top = [&](int x, int y) { return shadow(x, y) && y - 17 < -std::abs(x - 15); };
    EXPECT_LT(Measure(p, top).Luma(),
              Measure(p, [&](int x, int y) { return shadow(x, y) && y > 17; }).Luma() - 5.0);
    EXPECT_NEAR(Measure(p, Radii(18, 30)).lumaSd, 7.0, 2.0) << "grain on the panel beyond";
}

// ---- LEDs -----------------------------------------------------------------------------

struct LedLook {
    artwork::Led led;
    const char* name;
    std::uint32_t outer, inner, highlight, rim;
};
class ArtworkLedTest : public ::testing::TestWithParam<LedLook> {};

double LedRadius(int x, int y) { return std::hypot(x - 5.0, y - 5.0); }
// Upper part of the dome between two radii, clear of the highlight and the bottom rim.
Filter UpperDome(double d0, double d1) {
    return [=](int x, int y) { return LedRadius(x, y) >= d0 && LedRadius(x, y) <= d1 && y <= 5; };
}

TEST_P(ArtworkLedTest, DomeIsLighterInTheMiddle) {
    const LedLook look = GetParam();
    const Picture p = artwork::LedPicture(look.led);
    ASSERT_EQ(p.width, 11);
    ASSERT_EQ(p.height, 11);
    expectIn(Measure(p, UpperDome(1.5, 3.0)), look.outer, look.inner, 8.0, "dome");
    ExpectNear(StatsAt(p, 5, 4), look.inner, 8.0, "middle of the dome, above the highlight");
    ExpectNear(StatsAt(p, 5, 1), look.outer, 10.0, "top of the dome");
    EXPECT_GT(Measure(p, UpperDome(1.5, 2.5)).Luma(), Measure(p, UpperDome(3.5, 4.1)).Luma());
}

TEST_P(ArtworkLedTest, HighlightIsSmallPaleAndCentral) {
    const LedLook look = GetParam();
    const Picture p = artwork::LedPicture(look.led);
    const Stats all = Measure(p, [](int, int) { return true; });
    EXPECT_LE(LedRadius(all.bx, all.by), 1.5) << "brightest pixel at " << all.bx << "," << all.by;
    EXPECT_GE(all.by, 5) << "at or just below the centre";
    ExpectNear(StatsAt(p, all.bx, all.by), look.highlight, 8.0, "highlight");
    // Only a couple of pixels are nearer the highlight than the lit body in brightness.
    const double inner = LumaOf(
        {std::uint8_t(look.inner >> 16), std::uint8_t(look.inner >> 8), std::uint8_t(look.inner)});
    const double mid = (all.brightest + inner) / 2;
    const auto nearHighlight = [&](int x, int y) {
        return LedRadius(x, y) <= 4 && LumaOf(p.pixel(x, y)) > mid;
    };
    EXPECT_LE(Measure(p, nearHighlight).count, 3);
}

TEST_P(ArtworkLedTest, RimAtTheBottomIsDarker) {
    const LedLook look = GetParam();
    const Picture p = artwork::LedPicture(look.led);
    ExpectNear(StatsAt(p, 5, 9), look.rim, 12.0, "rim");
    EXPECT_LT(LumaOf(p.pixel(5, 9)), LumaOf(p.pixel(5, 1)));
}

TEST_P(ArtworkLedTest, NinePixelDomeWithGrainyCorners) {
    const Picture p = artwork::LedPicture(GetParam().led);
    // How far a pixel is from the grey of the panel, in its most different channel.
    const auto offPanel = [&](int x, int y) {
        const auto c = p.pixel(x, y);
        return std::max({std::abs(c.r - 0x3E), std::abs(c.g - 0x3E), std::abs(c.b - 0x43)});
    };
    for (auto [x, y] : {std::pair{1, 5}, {9, 5}, {5, 1}, {5, 9}})
        EXPECT_GT(offPanel(x, y), 45) << x << "," << y;
    const auto corners = [](int x, int y) { return LedRadius(x, y) >= 6.0; };
    const auto oddCorner = [&](int x, int y) { return corners(x, y) && offPanel(x, y) > 30; };
    EXPECT_EQ(Measure(p, oddCorner).count, 0);
    const Stats s = Measure(p, corners);
    ExpectNear(s, 0x3E3E43, 6.0, "corners");
    EXPECT_GT(s.lumaSd, 3.0);
}

INSTANTIATE_TEST_SUITE_P(
    AllSix, ArtworkLedTest,
    ::testing::Values(
        LedLook{artwork::Led::GreenOff, "goff", 0x3D6A00, 0x557200, 0x7D7F2D, 0x062D02},
        LedLook{artwork::Led::GreenOn, "gon", 0x5DE906, 0x9CFA18, 0xFDFFAD, 0x1E9D0A},
        LedLook{artwork::Led::YellowOff, "ooff", 0x673400, 0x7D5000, 0x7E7550, 0x1F0900},
        LedLook{artwork::Led::YellowOn, "oon", 0xF8DE1A, 0xFFFB6A, 0xFFFCD0, 0xBA7B06},
        LedLook{artwork::Led::RedOff, "roff", 0x700000, 0x800000, 0x866766, 0x320000},
        LedLook{artwork::Led::RedOn, "ron", 0xFF2626, 0xFF3434, 0xFCB7B3, 0xC41C24}),
    [](const auto& test) { return std::string(test.param.name); });

// ---- all pictures, icon ---------------------------------------------------------------

TEST(Artwork, RepeatedCallsGiveIdenticalBytes) {
    EXPECT_EQ(artwork::BackgroundPicture(), artwork::BackgroundPicture());
    EXPECT_EQ(artwork::SocketPicture(), artwork::SocketPicture());
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(artwork::LedPicture(static_cast<artwork::Led>(i)),
                  artwork::LedPicture(static_cast<artwork::Led>(i)));
    EXPECT_EQ(artwork::ProgramIcon().argb, artwork::ProgramIcon().argb);
}

// The icon's layout, pixel by pixel.
std::uint32_t expectedIconPixel(int x, int y) {
    if (y <= 2 || y >= 29) return 0x00000000u;
    if (y == 3) return 0xFFC0C0C0u;
    if (y == 28) return 0xFF808080u;
    for (int left : {1, 10, 19}) {
        const int u = x - left, v = y - 6;
        if (u < 0 || u > 7 || v < 0 || v > 7) continue;
        if ((u == 0 || u == 7) && (v == 0 || v == 7)) return 0xFF000000u;
        if (u >= 2 && u <= 5 && v >= 2 && v <= 5) return 0xFF800000u;
        return 0xFFC0C0C0u;
    }
    if (x >= 28 && y >= 8 && y <= 11) return 0xFFFFFF00u;
    if (y >= 16 && y <= 19) {
        if ((x >= 3 && x <= 6) || (x >= 12 && x <= 15)) return 0xFFFF0000u;
        if (x >= 21 && x <= 24) return 0xFF800000u;
        if (x >= 28) return 0xFF00FF00u;
    }
    return 0xFF000000u;
}

TEST(ArtworkIcon, MatchesTheLayoutPixelForPixel) {
    const artwork::Icon icon = artwork::ProgramIcon();
    ASSERT_EQ(icon.width, 32);
    ASSERT_EQ(icon.height, 32);
    ASSERT_EQ(icon.argb.size(), 1024u);
    int wrong = 0;
    for (int i = 0; i < 1024; ++i) {
        const std::uint32_t want = expectedIconPixel(i % 32, i / 32);
        if (icon.argb[static_cast<std::size_t>(i)] != want && ++wrong <= 10)
            ADD_FAILURE() << "pixel " << i % 32 << "," << i / 32 << std::hex << ": 0x"
                          << icon.argb[static_cast<std::size_t>(i)] << ", expected 0x" << want;
    }
    EXPECT_EQ(wrong, 0);
}

}  // namespace

}  // namespace pio
