#pragma once

#include <cstdint>
#include <vector>

#include "Artwork.h"

// The generator's drawing steps; each returns the finished picture.
Picture drawBackground();
Picture drawSocket();
Picture drawLed(artwork::Led which);
artwork::Icon drawIcon();

// Nearest-neighbour enlargement of the icon to size x size.
artwork::Icon enlargeIcon(const artwork::Icon& icon, int size);
// A complete PNG file (8-bit RGBA, uncompressed deflate) of the icon.
std::vector<std::uint8_t> encodePng(const artwork::Icon& icon);
