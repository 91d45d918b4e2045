// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "platform/Geometry.h"
#include "platform/Picture.h"

namespace pio {

// A font by name; the platform maps the family to what the machine has.
struct FontSpec {
    std::string family;
    int pixelSize = 11;
    bool bold = false;
    bool italic = false;
};

enum class TextAlign { Left, Center, Right };

// What the panel draws on. Coordinates are panel pixels; the platform scales them.
class Canvas {
public:
    virtual ~Canvas() = default;
    // Later drawing is limited to `clip` (in panel pixels) until the next call.
    virtual void setClip(const Rect& clip) = 0;
    // Draws the picture opaque and unscaled with its top-left at `at`.
    virtual void drawPicture(Point at, const Picture& picture) = 0;
    virtual void fillRect(const Rect& r, std::uint32_t rgb) = 0;
    // Draws one line of text inside `box`, vertically at the top, aligned as asked.
    virtual void drawText(const Rect& box, const std::string& utf8, const FontSpec& font,
                          std::uint32_t rgb, TextAlign align) = 0;
};

}  // namespace pio
