// Measures the generated pictures: colours by row and radius, grain, shading and the icon.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

#include "Artwork.h"

namespace {

struct Stats {
    double r = 0, g = 0, b = 0, lumaSd = 0;
    int count = 0;
    double luma() const { return 0.299 * r + 0.587 * g + 0.114 * b; }
};

double lumaOf(Picture::Rgb c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

// Mean colour and luminance spread over the pixels the filter accepts.
Stats measure(const Picture& p, const std::function<bool(int, int)>& take) {
    Stats s;
    double l = 0, l2 = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            if (!take(x, y)) continue;
            const auto c = p.pixel(x, y);
            s.r += c.r, s.g += c.g, s.b += c.b, ++s.count;
            l += lumaOf(c), l2 += lumaOf(c) * lumaOf(c);
        }
    }
    if (s.count == 0) return s;
    s.r /= s.count, s.g /= s.count, s.b /= s.count;
    s.lumaSd = std::sqrt(std::max(0.0, l2 / s.count - (l / s.count) * (l / s.count)));
    return s;
}

// Window row y shows picture row y + 1.
std::function<bool(int, int)> windowRows(int y0, int y1, int x0 = 0, int x1 = 339) {
    return [=](int x, int row) { return row - 1 >= y0 && row - 1 <= y1 && x >= x0 && x <= x1; };
}

void expectColour(const Stats& s, std::uint32_t rgb, double tol, const std::string& what) {
    EXPECT_NEAR(s.r, (rgb >> 16) & 0xFF, tol) << what << " red";
    EXPECT_NEAR(s.g, (rgb >> 8) & 0xFF, tol) << what << " green";
    EXPECT_NEAR(s.b, rgb & 0xFF, tol) << what << " blue";
}

// Every channel of the mean lies between those of two colours, give or take tol.
void expectBetween(const Stats& s, std::uint32_t a, std::uint32_t b, double tol, const std::string& what) {
    const double got[3] = {s.r, s.g, s.b};
    for (int i = 0; i < 3; ++i) {
        const int shift = 16 - 8 * i;
        const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        EXPECT_GE(got[i], std::min(ca, cb) - tol) << what << " channel " << i;
        EXPECT_LE(got[i], std::max(ca, cb) + tol) << what << " channel " << i;
    }
}

// ---- background -----------------------------------------------------------------------

struct BandRow {
    int y;                // window row
    std::uint32_t rgb;    // expected mean colour
};
std::uint32_t lerpRgb(std::uint32_t a, std::uint32_t b, double t) {
    std::uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        const double v = ((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t;
        out |= static_cast<std::uint32_t>(std::lround(v)) << shift;
    }
    return out;
}
std::vector<BandRow> bandRows() {
    std::vector<BandRow> rows;
    for (int y = 0; y <= 7; ++y) rows.push_back({y, lerpRgb(0x0C0C10, 0x111116, y / 7.0)});
    const std::uint32_t top[] = {0x12131A, 0x16161E, 0x1C1D21, 0x1F2127, 0x24252F, 0x303135, 0x37373F};
    for (int i = 0; i < 7; ++i) rows.push_back({8 + i, top[i]});
    const std::uint32_t bottom[] = {0x2B2C32, 0x222328, 0x1E1E21, 0x15151C, 0x121217};
    for (int i = 0; i < 5; ++i) rows.push_back({189 + i, bottom[i]});
    for (int y = 194; y <= 199; ++y) rows.push_back({y, lerpRgb(0x100F14, 0x0A090D, (y - 194) / 5.0)});
    return rows;
}

class BackgroundBandTest : public ::testing::TestWithParam<BandRow> {};

TEST_P(BackgroundBandTest, RowMeanMatchesTheEdgeColour) {
    const BandRow row = GetParam();
    expectColour(measure(artwork::background(), windowRows(row.y, row.y)), row.rgb, 2.0,
                 "window row " + std::to_string(row.y));
}
INSTANTIATE_TEST_SUITE_P(Edges, BackgroundBandTest, ::testing::ValuesIn(bandRows()),
                         [](const auto& info) { return "row" + std::to_string(info.param.y); });

TEST(Background, HasTheWindowSizePlusTheHiddenRow) {
    const Picture p = artwork::background();
    EXPECT_EQ(p.width, 340);
    EXPECT_EQ(p.height, 201);
    EXPECT_EQ(p.rgb.size(), 340u * 201u * 3u);
    // The hidden row above the window continues the dark band.
    expectColour(measure(p, [](int, int y) { return y == 0; }), 0x0C0C10, 3.0, "picture row 0");
}

TEST(Background, FaceIsLighterAtTheTopAndSettlesLower) {
    const Picture p = artwork::background();
    expectColour(measure(p, windowRows(16, 30, 0, 169)), 0x3E3E43, 1.5, "upper face");
    expectColour(measure(p, windowRows(110, 175, 0, 169)), 0x353539, 1.5, "lower face");
}

TEST(Background, FaceDarkensSmoothlyDownwards) {
    const Picture p = artwork::background();
    double previous = measure(p, windowRows(20, 29, 0, 169)).luma();
    for (int y = 30; y < 120; y += 10) {
        const double now = measure(p, windowRows(y, y + 9, 0, 169)).luma();
        EXPECT_LE(now, previous + 0.5) << "rows " << y << "..";
        EXPECT_GE(now, previous - 2.5) << "step at rows " << y << "..";
        previous = now;
    }
}

TEST(Background, FaceIsALittleLighterAtTheRightEdge) {
    const Picture p = artwork::background();
    const double diff = measure(p, windowRows(20, 175, 320, 339)).luma() -
                        measure(p, windowRows(20, 175, 20, 160)).luma();
    EXPECT_GT(diff, 1.5);
    EXPECT_LT(diff, 8.0);
}

TEST(Background, GrainHasTheRightSpreadAndIsBluish) {
    const Picture p = artwork::background();
    const Stats s = measure(p, windowRows(120, 170, 10, 160));
    EXPECT_GT(s.lumaSd, 5.0);
    EXPECT_LT(s.lumaSd, 9.0);
    const Stats face = measure(p, windowRows(16, 170, 0, 169));
    EXPECT_NEAR(face.b - face.r, 5.0, 1.2);
    EXPECT_NEAR(face.g, face.r, 1.0);
}

TEST(Background, GrainIsIndependentFromPixelToPixel) {
    // Neighbouring pixels of per-pixel noise are uncorrelated; blur or streaks are not.
    const Picture p = artwork::background();
    const double mean = measure(p, windowRows(120, 170, 10, 161)).luma();
    double horizontal = 0, vertical = 0, variance = 0;
    for (int y = 121; y <= 171; ++y) {
        for (int x = 10; x <= 160; ++x) {
            const double a = lumaOf(p.pixel(x, y)) - mean;
            horizontal += a * (lumaOf(p.pixel(x + 1, y)) - mean);
            vertical += a * (lumaOf(p.pixel(x, y + 1)) - mean);
            variance += a * a;
        }
    }
    EXPECT_LT(std::abs(horizontal / variance), 0.1);
    EXPECT_LT(std::abs(vertical / variance), 0.1);
}

TEST(Background, FaceHasNoLinesOrMarkings) {
    const Picture p = artwork::background();
    std::vector<double> column(340);
    for (int x = 0; x < 340; ++x) column[x] = measure(p, windowRows(40, 170, x, x)).luma();
    for (int x = 3; x < 337; ++x) {
        double around = 0;
        for (int k = 1; k <= 3; ++k) around += column[x - k] + column[x + k];
        EXPECT_NEAR(column[x], around / 6, 3.0) << "column " << x;
    }
}

TEST(Background, GlareBrightensTheLowerEdgeAroundColumn110) {
    const Picture p = artwork::background();
    const double diff = measure(p, windowRows(182, 192, 100, 120)).luma() -
                        measure(p, windowRows(182, 192, 40, 80)).luma();
    EXPECT_GT(diff, 1.5);
    EXPECT_LT(diff, 10.0);
}

// ---- socket ---------------------------------------------------------------------------

double radiusOf(int x, int y) { return std::hypot(x - 15.0, y - 17.0); }
std::function<bool(int, int)> radii(int r0, int r1) {
    return [=](int x, int y) {
        const long r = std::lround(radiusOf(x, y));
        return r >= r0 && r <= r1;
    };
}

struct SocketRing {
    const char* name;
    int r0, r1;
    std::uint32_t from, to;  // range of the mean colour
    double tol;
};
class SocketRingTest : public ::testing::TestWithParam<SocketRing> {};

TEST_P(SocketRingTest, MeanColourLiesInItsRange) {
    const SocketRing ring = GetParam();
    const Stats s = measure(artwork::socket(), radii(ring.r0, ring.r1));
    ASSERT_GT(s.count, 0);
    expectBetween(s, ring.from, ring.to, ring.tol, ring.name);
}
INSTANTIATE_TEST_SUITE_P(
    Radii, SocketRingTest,
    ::testing::Values(SocketRing{"hole", 0, 4, 0x000000, 0x141414, 0.0},
                      SocketRing{"collarLip", 5, 5, 0xFF7B1B, 0xFF9467, 10.0},
                      SocketRing{"collar", 6, 8, 0xB65324, 0xD96734, 6.0},
                      SocketRing{"collarEdge", 9, 9, 0xA22503, 0xA22503, 12.0},
                      SocketRing{"gap", 11, 11, 0x16161A, 0x16161A, 10.0},
                      SocketRing{"shadow", 14, 16, 0x2D2D33, 0x2D2D33, 3.0},
                      SocketRing{"panel", 18, 30, 0x3E3E43, 0x3E3E43, 3.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Socket, IsRoundAndCentred) {
    const Picture p = artwork::socket();
    ASSERT_EQ(p.width, 30);
    ASSERT_EQ(p.height, 31);
    EXPECT_LT(lumaOf(p.pixel(15, 17)), 16.0);
    // Four ways out from the centre the hole ends and the collar starts at the same radius.
    for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        EXPECT_LT(lumaOf(p.pixel(15 + 3 * dx, 17 + 3 * dy)), 16.0);
        EXPECT_GT(p.pixel(15 + 6 * dx, 17 + 6 * dy).r, 180);
    }
}

TEST(Socket, MetalRingsAreBrightWithWhiteHighlights) {
    const Picture p = artwork::socket();
    for (auto [r0, r1] : {std::pair{10, 10}, {12, 13}}) {
        EXPECT_GT(measure(p, radii(r0, r1)).luma(), 130.0) << "radius " << r0;
        double brightest = 0;
        for (int y = 0; y < 31; ++y)
            for (int x = 0; x < 30; ++x)
                if (radii(r0, r1)(x, y)) brightest = std::max(brightest, lumaOf(p.pixel(x, y)));
        EXPECT_GT(brightest, 240.0) << "radius " << r0;
    }
}

TEST(Socket, OuterRimHasNoHighlightAtTheTop) {
    const Picture p = artwork::socket();
    const auto onTop = [](int x, int y) { return y - 17 < -2 * std::abs(x - 15); };
    const auto onBottom = [](int x, int y) { return y > 17; };
    const auto rim = radii(12, 13);
    double topMax = 0;
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 30; ++x)
            if (rim(x, y) && onTop(x, y)) topMax = std::max(topMax, lumaOf(p.pixel(x, y)));
    EXPECT_LT(topMax, 180.0);
    EXPECT_GT(measure(p, [&](int x, int y) { return rim(x, y) && onBottom(x, y); }).luma(), 170.0);
}

TEST(Socket, ShadowIsDarkestAcrossTheTop) {
    const Picture p = artwork::socket();
    const auto shadow = radii(14, 16);
    const double top = measure(p, [&](int x, int y) { return shadow(x, y) && y - 17 < -std::abs(x - 15); }).luma();
    const double low = measure(p, [&](int x, int y) { return shadow(x, y) && y > 17; }).luma();
    EXPECT_LT(top, low - 5.0);
}

TEST(Socket, PanelAroundItCarriesGrain) {
    const Stats s = measure(artwork::socket(), radii(18, 30));
    EXPECT_GT(s.lumaSd, 5.0);
    EXPECT_LT(s.lumaSd, 9.0);
}

// ---- LEDs -----------------------------------------------------------------------------

struct LedLook {
    artwork::Led led;
    const char* name;
    std::uint32_t outer, inner, highlight, rim;
};
class LedTest : public ::testing::TestWithParam<LedLook> {};

double ledRadius(int x, int y) { return std::hypot(x - 5.0, y - 5.0); }

TEST_P(LedTest, DomeIsLitFromTheMiddle) {
    const LedLook look = GetParam();
    const Picture p = artwork::led(look.led);
    ASSERT_EQ(p.width, 11);
    ASSERT_EQ(p.height, 11);
    // Away from the highlight and the rim the body shades between its two colours...
    const Stats body = measure(p, [](int x, int y) {
        const double d = ledRadius(x, y);
        return d >= 1.5 && d <= 3.0 && y <= 5;
    });
    expectBetween(body, look.outer, look.inner, 8.0, "dome");
    // ...and is lighter near the middle than at its upper edge.
    const auto ring = [](double d0, double d1) {
        return [=](int x, int y) { return ledRadius(x, y) >= d0 && ledRadius(x, y) <= d1 && y <= 5; };
    };
    EXPECT_GT(measure(p, ring(1.5, 2.5)).luma(), measure(p, ring(3.5, 4.1)).luma());
}

TEST_P(LedTest, HighlightIsSmallPaleAndCentral) {
    const LedLook look = GetParam();
    const Picture p = artwork::led(look.led);
    int bx = 0, by = 0;
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x)
            if (lumaOf(p.pixel(x, y)) > lumaOf(p.pixel(bx, by))) bx = x, by = y;
    EXPECT_LE(ledRadius(bx, by), 1.5) << "brightest pixel at " << bx << "," << by;
    EXPECT_GE(by, 5) << "at or just below the centre";
    expectColour(measure(p, [&](int x, int y) { return x == bx && y == by; }), look.highlight, 8.0,
                 "highlight");
    // Only a couple of pixels are nearer the highlight colour than the lit body colour.
    const double mid = (lumaOf(p.pixel(bx, by)) + (0.299 * (look.inner >> 16) +
                        0.587 * ((look.inner >> 8) & 0xFF) + 0.114 * (look.inner & 0xFF))) / 2;
    EXPECT_LE(measure(p, [&](int x, int y) { return lumaOf(p.pixel(x, y)) > mid; }).count, 3);
}

TEST_P(LedTest, RimAtTheBottomIsDarker) {
    const LedLook look = GetParam();
    const Picture p = artwork::led(look.led);
    expectColour(measure(p, [](int x, int y) { return x == 5 && y == 9; }), look.rim, 12.0, "rim");
    EXPECT_LT(lumaOf(p.pixel(5, 9)), lumaOf(p.pixel(5, 1)));
}

TEST_P(LedTest, DomeIsNinePixelsAcrossWithGrainInTheCorners) {
    const Picture p = artwork::led(GetParam().led);
    const auto chroma = [&](int x, int y) {
        const auto c = p.pixel(x, y);
        return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b});
    };
    for (auto [x, y] : {std::pair{1, 5}, {9, 5}, {5, 1}, {5, 9}}) EXPECT_GT(chroma(x, y), 40) << x << "," << y;
    const auto corners = [](int x, int y) { return ledRadius(x, y) >= 6.0; };
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x)
            if (corners(x, y)) EXPECT_LT(chroma(x, y), 20) << x << "," << y;
    const Stats s = measure(p, corners);
    expectColour(s, 0x3E3E43, 6.0, "corners");
    EXPECT_GT(s.lumaSd, 3.0);
}

INSTANTIATE_TEST_SUITE_P(
    AllSix, LedTest,
    ::testing::Values(LedLook{artwork::Led::GreenOff, "goff", 0x3D6A00, 0x557200, 0x7D7F2D, 0x062D02},
                      LedLook{artwork::Led::GreenOn, "gon", 0x5DE906, 0x9CFA18, 0xFDFFAD, 0x1E9D0A},
                      LedLook{artwork::Led::YellowOff, "ooff", 0x673400, 0x7D5000, 0x7E7550, 0x1F0900},
                      LedLook{artwork::Led::YellowOn, "oon", 0xF8DE1A, 0xFFFB6A, 0xFFFCD0, 0xBA7B06},
                      LedLook{artwork::Led::RedOff, "roff", 0x700000, 0x800000, 0x866766, 0x320000},
                      LedLook{artwork::Led::RedOn, "ron", 0xFF2626, 0xFF3434, 0xFCB7B3, 0xC41C24}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- every picture --------------------------------------------------------------------

TEST(Artwork, RepeatedCallsGiveIdenticalBytes) {
    EXPECT_EQ(artwork::background(), artwork::background());
    EXPECT_EQ(artwork::socket(), artwork::socket());
    for (auto led : {artwork::Led::GreenOff, artwork::Led::GreenOn, artwork::Led::YellowOff,
                     artwork::Led::YellowOn, artwork::Led::RedOff, artwork::Led::RedOn})
        EXPECT_EQ(artwork::led(led), artwork::led(led));
    EXPECT_EQ(artwork::icon().argb, artwork::icon().argb);
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

TEST(Icon, MatchesTheLayoutPixelForPixel) {
    const artwork::Icon icon = artwork::icon();
    ASSERT_EQ(icon.width, 32);
    ASSERT_EQ(icon.height, 32);
    ASSERT_EQ(icon.argb.size(), 1024u);
    int wrong = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const std::uint32_t got = icon.argb[static_cast<std::size_t>(y * 32 + x)];
            if (got != expectedIconPixel(x, y) && ++wrong <= 10)
                ADD_FAILURE() << "pixel " << x << "," << y << std::hex << ": 0x" << got
                              << " expected 0x" << expectedIconPixel(x, y);
        }
    }
    EXPECT_EQ(wrong, 0);
}

}  // namespace
