// SPDX-License-Identifier: MIT
// The panel rendered on the off-screen canvas: places, hidden pictures, partial repaints.
#include <gtest/gtest.h>

#include <cstdint>

#include "art/Artwork.h"
#include "platform/Geometry.h"
#include "platform/Picture.h"
#include "support/OffscreenCanvas.h"
#include "support/PanelRig.h"
#include "support/PixelImage.h"

namespace pio {

namespace {

// Grey level of a 0xRRGGBB pixel, weighted as the eye sees it (the weights Qt's qGray uses).
int Gray(std::uint32_t rgb) {
    const int r = static_cast<int>(rgb >> 16 & 0xFF);
    const int g = static_cast<int>(rgb >> 8 & 0xFF);
    const int b = static_cast<int>(rgb & 0xFF);
    return (r * 11 + g * 16 + b * 5) / 32;
}

std::uint32_t Rgb(const Picture& p, int x, int y) {
    const auto c = p.pixel(x, y);
    return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

class PaintTest : public ::testing::Test {
protected:
    PaintTest() {
        rig.sim.setCanvas(&canvas);
        rig.sim.invalidate({0, 0, 340, 200});
        rig.sim.runUntil(0);
    }
    // Whether the picture shows 1:1 with its top-left at (x, y) of the window.
    bool ShowsAt(const Picture& pic, int x, int y) {
        const PixelImage img = canvas.image();
        for (int py = 0; py < pic.height; ++py)
            for (int px = 0; px < pic.width; ++px)
                if ((img.pixel(x + px, y + py) & 0xFFFFFFu) != Rgb(pic, px, py)) return false;
        return true;
    }

    OffscreenCanvas canvas;
    PanelRig rig;
};

}  // namespace

TEST_F(PaintTest, EveryPixelIsPaintedAndTheBackgroundIsShiftedUpOneRow) {
    const PixelImage img = canvas.image();
    const Picture bg = artwork::BackgroundPicture();
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 340; ++x) ASSERT_NE(img.pixel(x, y) & 0xFFFFFFu, 0xFF00FFu);
    // Window row y shows background row y + 1 where nothing lies above it.
    EXPECT_EQ(img.pixel(5, 0) & 0xFFFFFFu, Rgb(bg, 5, 1));
    EXPECT_EQ(img.pixel(330, 150) & 0xFFFFFFu, Rgb(bg, 330, 151));
    EXPECT_EQ(img.pixel(20, 199) & 0xFFFFFFu, Rgb(bg, 20, 200));
}

TEST_F(PaintTest, ControlsShowAtTheirPlaces) {
    const Picture socket = artwork::SocketPicture();
    const Picture roff = artwork::LedPicture(artwork::Led::RedOff);
    for (int x : {40, 80, 120, 160, 200, 240}) EXPECT_TRUE(ShowsAt(socket, x, 24)) << x;
    for (int x : {50, 91, 130, 170, 210, 250}) EXPECT_TRUE(ShowsAt(roff, x, 80)) << x;
    EXPECT_FALSE(ShowsAt(roff, 90, 80));  // column 2's LED sits 1 px right
    EXPECT_TRUE(ShowsAt(artwork::LedPicture(artwork::Led::GreenOff), 296, 80));
    EXPECT_TRUE(ShowsAt(artwork::LedPicture(artwork::Led::YellowOff), 296, 36));
    EXPECT_TRUE(ShowsAt(artwork::LedPicture(artwork::Led::YellowOff), 296, 113));
    EXPECT_TRUE(ShowsAt(artwork::LedPicture(artwork::Led::GreenOff), 296, 128));
}

TEST_F(PaintTest, NumberTagsAreBlackDigitsOnWhiteTiles) {
    const PixelImage img = canvas.image();
    for (int left : {51, 92, 131, 171, 211, 251}) {
        int white = 0, dark = 0;
        for (int y = 60; y < 73; ++y)
            for (int x = left; x < left + 8; ++x) {
                const std::uint32_t c = img.pixel(x, y);
                if ((c & 0xFFFFFFu) == 0xFFFFFFu) ++white;
                if (Gray(c) < 100) ++dark;
            }
        EXPECT_GT(white, 50) << left;  // the tile
        EXPECT_GT(dark, 6) << left;    // the digit
        // Just left of the tile lies the panel, not white.
        EXPECT_LT(Gray(img.pixel(left - 1, 66)), 120) << left;
    }
    // Column 2's tag starts at 92: pixel 91 is panel, 92 is tile.
    EXPECT_NE(img.pixel(91, 61) & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_EQ(img.pixel(92, 61) & 0xFFFFFFu, 0xFFFFFFu);
}

TEST_F(PaintTest, HiddenPicturesAndTheHiddenLabelDoNotShow) {
    const Picture bg = artwork::BackgroundPicture();
    const PixelImage img = canvas.image();
    // Where the six state pictures and Label2 lie, the background shows.
    for (Rect r : {Rect{32, 112, 51, 51}, Rect{299, 144, 8, 13}})
        for (int y = r.top; y < r.bottom(); ++y)
            for (int x = r.left; x < r.right(); ++x) {
                if (y >= 176 && y < 194 && x >= 13) continue;  // the credit line may cross
                ASSERT_EQ(img.pixel(x, y) & 0xFFFFFFu, Rgb(bg, x, y + 1)) << x << "," << y;
            }
}

TEST_F(PaintTest, CreditLineIsSilverTextOverThePanel) {
    const PixelImage img = canvas.image();
    int silver = 0;
    for (int y = 176; y < 194; ++y)
        for (int x = 13; x < 328; ++x)
            if ((img.pixel(x, y) & 0xFFFFFFu) == 0xC0C0C0u) ++silver;
    EXPECT_GT(silver, 40);
}

TEST_F(PaintTest, RepaintOfOneLedChangesNothingOutsideItsRectangle) {
    const PixelImage before = canvas.image();
    rig.form.p3->SetPicture(rig.form.ron->GetPicture());
    rig.sim.runUntil(1);
    const PixelImage after = canvas.image();
    const Rect led = rig.form.p3->BoundsRect();
    int changedInside = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 340; ++x) {
            if (led.Contains({x, y})) {
                changedInside += before.pixel(x, y) != after.pixel(x, y);
                continue;
            }
            ASSERT_EQ(before.pixel(x, y), after.pixel(x, y)) << x << "," << y;
        }
    EXPECT_GT(changedInside, 30);
    EXPECT_TRUE(ShowsAt(artwork::LedPicture(artwork::Led::RedOn), 130, 80));
}

}  // namespace pio
