// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Picture.h"

// The pictures drawn by the generator in this folder at build time and built into the
// program. Each call returns a fresh copy.
namespace pio::artwork {

enum class Led { GreenOff, GreenOn, YellowOff, YellowOn, RedOff, RedOn };

Picture BackgroundPicture();    // 340 x 201, the device front
Picture SocketPicture();        // 30 x 31, one panel socket seen head-on
Picture LedPicture(Led which);  // 11 x 11

// The program icon, 32 x 32; pixels are 0xAARRGGBB, alpha 0 where transparent.
struct Icon {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};
Icon ProgramIcon();

}  // namespace pio::artwork
