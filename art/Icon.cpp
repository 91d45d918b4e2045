// SPDX-License-Identifier: MIT
// The program icon: a 16-colour miniature of the panel.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "art/Artwork.h"
#include "art/Drawing.h"

namespace pio {

namespace {

constexpr std::uint32_t kSilver = 0xFFC0C0C0u;
constexpr std::uint32_t kGrey = 0xFF808080u;
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kMaroon = 0xFF800000u;
constexpr std::uint32_t kYellow = 0xFFFFFF00u;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kLime = 0xFF00FF00u;

void Fill(artwork::Icon& icon, int x0, int y0, int w, int h, std::uint32_t c) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            icon.argb[static_cast<std::size_t>(y * icon.width + x)] = c;
}

// An 8 x 8 silver ring with rounded (black) corners around a dark red 4 x 4 hole.
void Socket(artwork::Icon& icon, int x0, int y0) {
    Fill(icon, x0, y0, 8, 8, kSilver);
    for (int cy : {y0, y0 + 7})
        for (int cx : {x0, x0 + 7}) Fill(icon, cx, cy, 1, 1, kBlack);
    Fill(icon, x0 + 2, y0 + 2, 4, 4, kMaroon);
}

}  // namespace

artwork::Icon DrawIcon() {
    artwork::Icon icon{32, 32, std::vector<std::uint32_t>(32 * 32, 0u)};  // transparent
    Fill(icon, 0, 3, 32, 1, kSilver);  // lit top edge of the case
    Fill(icon, 0, 4, 32, 24, kBlack);  // the front
    Fill(icon, 0, 28, 32, 1, kGrey);   // shaded bottom edge
    for (int x0 : {1, 10, 19}) Socket(icon, x0, 6);
    Fill(icon, 28, 8, 4, 4, kYellow);
    Fill(icon, 3, 16, 4, 4, kRed);
    Fill(icon, 12, 16, 4, 4, kRed);
    Fill(icon, 21, 16, 4, 4, kMaroon);
    Fill(icon, 28, 16, 4, 4, kLime);
    return icon;
}

artwork::Icon EnlargeIcon(const artwork::Icon& icon, int size) {
    artwork::Icon big{size, size,
                      std::vector<std::uint32_t>(static_cast<std::size_t>(size * size))};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            big.argb[static_cast<std::size_t>(y * size + x)] = icon.argb[static_cast<std::size_t>(
                (y * icon.height / size) * icon.width + x * icon.width / size)];
    return big;
}

}  // namespace pio
