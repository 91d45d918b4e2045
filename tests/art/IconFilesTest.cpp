// SPDX-License-Identifier: MIT
// The icon files the build writes for the desktop match the icon built into the program.
#include <QImage>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "art/Artwork.h"
#include "support/OffscreenCanvas.h"

namespace pio {

class IconFilesTest : public ::testing::TestWithParam<int> {};

TEST_P(IconFilesTest, PngIsTheIconEnlargedWithoutSmoothing) {
    OffscreenCanvas canvas(1, 1);  // makes sure a GUI application exists for QImage
    const int size = GetParam();
    const std::string path = std::string(PIO_ART_DIR) + "/pio-out-" + std::to_string(size) + ".png";
    QImage png(QString::fromStdString(path));
    ASSERT_FALSE(png.isNull()) << path;
    ASSERT_EQ(png.width(), size);
    ASSERT_EQ(png.height(), size);
    png = png.convertToFormat(QImage::Format_ARGB32);
    const artwork::Icon icon = artwork::ProgramIcon();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const std::uint32_t want =
                icon.argb[static_cast<std::size_t>((y * 32 / size) * 32 + x * 32 / size)];
            const QRgb got = png.pixel(x, y);
            if (qAlpha(want) == 0) {
                ASSERT_EQ(qAlpha(got), 0) << x << "," << y;
            } else {
                ASSERT_EQ(got, want) << x << "," << y;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconFilesTest, ::testing::Values(32, 48, 64));

}  // namespace pio
