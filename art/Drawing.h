// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "art/Artwork.h"

namespace pio {

// The generator's drawing steps; each returns the finished picture.
Picture DrawBackground();
Picture DrawSocket();
Picture DrawLed(artwork::Led which);
artwork::Icon DrawIcon();

// Nearest-neighbour enlargement of the icon to size x size.
artwork::Icon EnlargeIcon(const artwork::Icon& icon, int size);
// A complete PNG file (8-bit RGBA, uncompressed deflate) of the icon.
std::vector<std::uint8_t> EncodePng(const artwork::Icon& icon);

// The standard Windows 16-colour palette as 0xRRGGBB, in its usual order; the icon uses only
// these colours, so the 4-bit entries of pio-out.ico show it exactly.
constexpr std::array<std::uint32_t, 16> kIcoPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
// Index of an opaque icon colour in kIcoPalette, or -1.
int IcoPaletteIndex(std::uint32_t argb);
// A complete .ico file: 4-bit entries at 32, 48 and 64 pixels, a PNG entry at 256.
std::vector<std::uint8_t> EncodeIco(const artwork::Icon& icon);

}  // namespace pio
