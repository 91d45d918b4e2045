// SPDX-License-Identifier: MIT
// The Windows icon file the build writes (pio-out.ico, the program's MAINICON) holds the
// icon built into the program: read here field by field as Windows would, without help
// from the code that wrote it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <ios>
#include <iterator>
#include <string>
#include <vector>

#include "art/Artwork.h"

namespace pio {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The standard Windows 16-colour palette, 0xRRGGBB.
constexpr std::array<std::uint32_t, 16> kStandard16 = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned Le16(const Bytes& b, std::size_t at) {
    return static_cast<unsigned>(b.at(at) | b.at(at + 1) << 8);
}
std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return Le16(b, at) | static_cast<std::uint32_t>(Le16(b, at + 2)) << 16;
}
std::uint32_t Be32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) << 24 |
           static_cast<std::uint32_t>(b.at(at + 1)) << 16 |
           static_cast<std::uint32_t>(b.at(at + 2)) << 8 | b.at(at + 3);
}

struct DirEntry {
    int width, height, colours, planes, bits;
    std::uint32_t bytes, offset;
};

class IcoFileTest : public ::testing::Test {
protected:
    IcoFileTest() : ico(ReadFile(std::string(PIO_ART_DIR) + "/pio-out.ico")) {}

    DirEntry Entry(std::size_t i) const {
        const std::size_t at = 6 + 16 * i;
        return {ico.at(at) ? ico.at(at) : 256,
                ico.at(at + 1) ? ico.at(at + 1) : 256,
                ico.at(at + 2),
                static_cast<int>(Le16(ico, at + 4)),
                static_cast<int>(Le16(ico, at + 6)),
                Le32(ico, at + 8),
                Le32(ico, at + 12)};
    }

    // The icon's pixel that lands on (x, y) of a size x size rendering without smoothing.
    static std::uint32_t Want(const artwork::Icon& icon, int size, int x, int y) {
        return icon.argb[static_cast<std::size_t>((y * icon.height / size) * icon.width +
                                                  x * icon.width / size)];
    }

    Bytes ico;
};

TEST_F(IcoFileTest, DirectoryListsFourSizesSmallestFirst) {
    ASSERT_GE(ico.size(), 6u + 4 * 16);
    EXPECT_EQ(Le16(ico, 0), 0u);  // reserved
    EXPECT_EQ(Le16(ico, 2), 1u);  // an icon, not a cursor
    ASSERT_EQ(Le16(ico, 4), 4u);
    const int sizes[] = {32, 48, 64, 256};
    std::uint32_t expectedOffset = 6 + 4 * 16;
    for (std::size_t i = 0; i < 4; ++i) {
        const DirEntry e = Entry(i);
        EXPECT_EQ(e.width, sizes[i]) << i;
        EXPECT_EQ(e.height, sizes[i]) << i;
        EXPECT_EQ(e.planes, 1) << i;
        EXPECT_EQ(e.offset, expectedOffset) << i;  // the images follow each other without gaps
        expectedOffset += e.bytes;
    }
    EXPECT_EQ(expectedOffset, ico.size());
}

TEST_F(IcoFileTest, SmallEntriesAreSixteenColourBitmapsOfTheIcon) {
    const artwork::Icon icon = artwork::ProgramIcon();
    ASSERT_EQ(icon.width, 32);
    for (std::size_t i = 0; i < 3; ++i) {
        const DirEntry e = Entry(i);
        const int size = e.width;
        SCOPED_TRACE(size);
        EXPECT_EQ(e.colours, 16);
        EXPECT_EQ(e.bits, 4);
        const std::size_t dib = e.offset;
        ASSERT_EQ(Le32(ico, dib), 40u);  // BITMAPINFOHEADER
        EXPECT_EQ(Le32(ico, dib + 4), static_cast<std::uint32_t>(size));
        EXPECT_EQ(Le32(ico, dib + 8), static_cast<std::uint32_t>(2 * size));  // colours + mask
        EXPECT_EQ(Le16(ico, dib + 12), 1u);
        EXPECT_EQ(Le16(ico, dib + 14), 4u);
        EXPECT_EQ(Le32(ico, dib + 16), 0u);  // uncompressed
        const std::uint32_t used = Le32(ico, dib + 32);
        EXPECT_TRUE(used == 0 || used == 16) << used;

        const std::size_t palette = dib + 40;
        for (std::size_t c = 0; c < 16; ++c) {
            const std::uint32_t rgb = static_cast<std::uint32_t>(ico.at(palette + 4 * c + 2))
                                          << 16 |
                                      static_cast<std::uint32_t>(ico.at(palette + 4 * c + 1)) << 8 |
                                      ico.at(palette + 4 * c);
            EXPECT_EQ(rgb, kStandard16[c]) << "palette entry " << c;
        }

        // Rows are bottom first and padded to 32 bits; a set mask bit is a transparent pixel.
        const auto colourRow = static_cast<std::size_t>((size * 4 + 31) / 32 * 4);
        const auto maskRow = static_cast<std::size_t>((size + 31) / 32 * 4);
        const std::size_t colours = palette + 16 * 4;
        const std::size_t mask = colours + colourRow * static_cast<std::size_t>(size);
        ASSERT_EQ(mask + maskRow * static_cast<std::size_t>(size), dib + e.bytes);
        int transparent = 0;
        for (int y = 0; y < size; ++y) {
            const auto row = static_cast<std::size_t>(size - 1 - y);
            for (int x = 0; x < size; ++x) {
                const auto ux = static_cast<std::size_t>(x);
                const std::uint8_t pair = ico.at(colours + row * colourRow + ux / 2);
                const unsigned index = ux % 2 ? pair & 0x0Fu : pair >> 4;
                const bool masked = (ico.at(mask + row * maskRow + ux / 8) >> (7 - ux % 8)) & 1;
                const std::uint32_t want = Want(icon, size, x, y);
                if ((want >> 24) == 0) {
                    ASSERT_TRUE(masked) << x << "," << y;
                    ASSERT_EQ(index, 0u) << x << "," << y;  // black under the mask: no halo
                    ++transparent;
                } else {
                    ASSERT_FALSE(masked) << x << "," << y;
                    ASSERT_EQ(kStandard16[index], want & 0xFFFFFFu) << x << "," << y;
                }
            }
        }
        // The icon has its transparent rows above and below the case.
        EXPECT_EQ(transparent, 6 * size * size / 32);
    }
}

TEST_F(IcoFileTest, LargeEntryIsA256PixelPng) {
    const DirEntry e = Entry(3);
    EXPECT_EQ(e.bits, 32);
    EXPECT_EQ(e.colours, 0);
    const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GE(ico.size(), e.offset + 33u);
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), ico.begin() + e.offset));
    const std::size_t ihdr = e.offset + 8;
    EXPECT_EQ(Be32(ico, ihdr), 13u);
    EXPECT_EQ(std::string(ico.begin() + static_cast<long>(ihdr) + 4,
                          ico.begin() + static_cast<long>(ihdr) + 8),
              "IHDR");
    EXPECT_EQ(Be32(ico, ihdr + 8), 256u);
    EXPECT_EQ(Be32(ico, ihdr + 12), 256u);
    EXPECT_EQ(ico.at(ihdr + 16), 8);  // bits per channel
    EXPECT_EQ(ico.at(ihdr + 17), 6);  // RGBA
}

}  // namespace

}  // namespace pio
