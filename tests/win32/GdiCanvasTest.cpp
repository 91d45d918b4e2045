// SPDX-License-Identifier: MIT
#include "platform/win32/GdiCanvas.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace pio {

namespace {

// A 32-bit top-down DIB section to draw on, read back pixel by pixel as 0xRRGGBB.
class Surface {
public:
    Surface(int width, int height) : width_(width) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Surface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    std::uint32_t at(int x, int y) const {
        GdiFlush();
        return bits_[y * width_ + x] & 0xFFFFFF;
    }

private:
    int width_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    std::uint32_t* bits_ = nullptr;
};

// A 3 x 2 picture with a different colour in every pixel; 3 wide makes its rows 9 bytes,
// which a DIB must pad to 12.
Picture Sample() {
    Picture p;
    p.width = 3;
    p.height = 2;
    p.rgb = {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF,
             0x12, 0x34, 0x56, 0xFF, 0xFF, 0x00, 0x80, 0x80, 0x80};
    return p;
}

TEST(GdiCanvasTest, PicturesKeepTheirColoursAndRowOrder) {
    Surface s(8, 8);
    GdiCanvas canvas(s.dc(), 1);
    canvas.setClip({0, 0, 8, 8});
    canvas.drawPicture({2, 3}, Sample());
    EXPECT_EQ(s.at(2, 3), 0xFF0000u);  // red stays red: R, G, B turned into a DIB's B, G, R
    EXPECT_EQ(s.at(3, 3), 0x00FF00u);
    EXPECT_EQ(s.at(4, 3), 0x0000FFu);
    EXPECT_EQ(s.at(2, 4), 0x123456u);  // the second row below the first, not above it
    EXPECT_EQ(s.at(3, 4), 0xFFFF00u);
    EXPECT_EQ(s.at(4, 4), 0x808080u);
    EXPECT_EQ(s.at(1, 3), 0x000000u);  // nothing drawn beside it
    EXPECT_EQ(s.at(5, 4), 0x000000u);
}

TEST(GdiCanvasTest, ScaledPicturesStaySharpSquares) {
    Surface s(8, 6);
    GdiCanvas canvas(s.dc(), 2);
    canvas.setClip({0, 0, 4, 3});
    canvas.drawPicture({0, 0}, Sample());
    // Each panel pixel becomes a 2 x 2 block of exactly its colour, never a blend.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(s.at(0 + x, 0 + y), 0xFF0000u);
            EXPECT_EQ(s.at(2 + x, 0 + y), 0x00FF00u);
            EXPECT_EQ(s.at(4 + x, 2 + y), 0x808080u);
        }
}

TEST(GdiCanvasTest, DrawingStaysInsideTheClip) {
    Surface s(8, 8);
    GdiCanvas canvas(s.dc(), 2);
    canvas.setClip({1, 0, 1, 1});  // panel pixel (1, 0): physical 2..3 x 0..1
    canvas.drawPicture({0, 0}, Sample());
    canvas.fillRect({0, 1, 4, 3}, 0xABCDEF);
    EXPECT_EQ(s.at(2, 0), 0x00FF00u);
    EXPECT_EQ(s.at(3, 1), 0x00FF00u);
    EXPECT_EQ(s.at(1, 0), 0x000000u);
    EXPECT_EQ(s.at(4, 0), 0x000000u);
    EXPECT_EQ(s.at(2, 2), 0x000000u);  // the fill is wholly outside the clip
}

TEST(GdiCanvasTest, FillsUseTheColourAsRgb) {
    Surface s(6, 6);
    GdiCanvas canvas(s.dc(), 2);
    canvas.setClip({0, 0, 3, 3});
    canvas.fillRect({1, 1, 1, 1}, 0x102030);
    EXPECT_EQ(s.at(2, 2), 0x102030u);
    EXPECT_EQ(s.at(3, 3), 0x102030u);
    EXPECT_EQ(s.at(1, 1), 0x000000u);
    EXPECT_EQ(s.at(4, 4), 0x000000u);
}

TEST(GdiCanvasTest, TextIsDrawnInItsColourInsideItsBox) {
    Surface s(40, 20);
    GdiCanvas canvas(s.dc(), 1);
    canvas.setClip({0, 0, 40, 20});
    canvas.drawText({2, 2, 30, 14}, "H\xC3\xA4", FontSpec{"MS Sans Serif", 12, true, false},
                    0xFFFFFF, TextAlign::Left);
    int lit = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            const std::uint32_t c = s.at(x, y);
            if (c == 0) continue;
            ++lit;
            EXPECT_TRUE(x >= 2 && x < 32 && y >= 2 && y < 16) << "ink at " << x << "," << y;
        }
    EXPECT_GT(lit, 10);
}

}  // namespace

}  // namespace pio
