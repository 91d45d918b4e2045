// SPDX-License-Identifier: MIT
// The Windows icon file: the 16-colour icon as a classic 4-bit entry with an AND mask at
// 32, 48 and 64 pixels, and a PNG entry at 256 for the large views of Windows Vista and
// later. Every size is the 32-pixel icon enlarged without smoothing, so all stay crisp.
#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "art/Artwork.h"
#include "art/Drawing.h"

namespace pio {

namespace {

using Bytes = std::vector<std::uint8_t>;

void Le16(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Le32(Bytes& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A 4-bit bitmap row and a 1-bit mask row are each padded to whole 32-bit words.
std::size_t RowBytes(int width, int bits) {
    return static_cast<std::size_t>((width * bits + 31) / 32 * 4);
}

// The 4-bit entry: BITMAPINFOHEADER (height counts colour bitmap and mask together), the
// palette as B, G, R, 0, the colour bitmap and then the mask, both bottom row first.
// A transparent pixel is palette index 0 with its mask bit set.
Bytes Dib4(const artwork::Icon& icon) {
    const std::size_t colourRow = RowBytes(icon.width, 4);
    const std::size_t maskRow = RowBytes(icon.width, 1);
    Bytes colour(colourRow * static_cast<std::size_t>(icon.height), 0);
    Bytes mask(maskRow * static_cast<std::size_t>(icon.height), 0);
    for (int y = 0; y < icon.height; ++y) {
        const auto row = static_cast<std::size_t>(icon.height - 1 - y);
        for (int x = 0; x < icon.width; ++x) {
            const std::uint32_t p = icon.argb[static_cast<std::size_t>(y * icon.width + x)];
            const auto bit = static_cast<std::size_t>(x);
            if ((p >> 24) == 0) {
                mask[row * maskRow + bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
                continue;
            }
            const int index = IcoPaletteIndex(p);
            if (index < 0) throw std::runtime_error("icon colour outside the 16-colour palette");
            colour[row * colourRow + bit / 2] |=
                static_cast<std::uint8_t>(bit % 2 ? index : index << 4);
        }
    }
    Bytes dib;
    Le32(dib, 40);
    Le32(dib, static_cast<std::uint32_t>(icon.width));
    Le32(dib, static_cast<std::uint32_t>(icon.height * 2));
    Le16(dib, 1);  // planes
    Le16(dib, 4);  // bits per pixel
    Le32(dib, 0);  // BI_RGB
    Le32(dib, static_cast<std::uint32_t>(colour.size() + mask.size()));
    Le32(dib, 0);
    Le32(dib, 0);
    Le32(dib, 16);  // colours used
    Le32(dib, 0);
    for (std::uint32_t c : kIcoPalette)
        dib.insert(dib.end(), {std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16), 0});
    dib.insert(dib.end(), colour.begin(), colour.end());
    dib.insert(dib.end(), mask.begin(), mask.end());
    return dib;
}

struct Entry {
    int size;
    int bits;
    Bytes data;
};

}  // namespace

int IcoPaletteIndex(std::uint32_t argb) {
    for (int i = 0; i < 16; ++i)
        if (kIcoPalette[static_cast<std::size_t>(i)] == (argb & 0xFFFFFFu)) return i;
    return -1;
}

std::vector<std::uint8_t> EncodeIco(const artwork::Icon& icon) {
    std::vector<Entry> entries;
    for (int size : {32, 48, 64})
        entries.push_back({size, 4, Dib4(size == icon.width ? icon : EnlargeIcon(icon, size))});
    entries.push_back({256, 32, EncodePng(EnlargeIcon(icon, 256))});

    Bytes ico;
    Le16(ico, 0);  // reserved
    Le16(ico, 1);  // type: icon
    Le16(ico, static_cast<unsigned>(entries.size()));
    auto offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const Entry& e : entries) {
        ico.push_back(static_cast<std::uint8_t>(e.size == 256 ? 0 : e.size));  // 0 means 256
        ico.push_back(static_cast<std::uint8_t>(e.size == 256 ? 0 : e.size));
        ico.push_back(e.bits == 4 ? 16 : 0);  // colours in the palette
        ico.push_back(0);
        Le16(ico, 1);  // planes
        Le16(ico, static_cast<unsigned>(e.bits));
        Le32(ico, static_cast<std::uint32_t>(e.data.size()));
        Le32(ico, offset);
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const Entry& e : entries) ico.insert(ico.end(), e.data.begin(), e.data.end());
    return ico;
}

}  // namespace pio
