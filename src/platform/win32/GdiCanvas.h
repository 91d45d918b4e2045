// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Canvas.h"

namespace pio {

// The panel's canvas over a GDI device context (the panel window's back buffer). Panel
// pixels are multiplied by a whole scale factor; pictures are stretched pixel by pixel
// (COLORONCOLOR) so they stay sharp, never smoothed.
class GdiCanvas final : public Canvas {
public:
    GdiCanvas(HDC dc, int scale);
    ~GdiCanvas() override;
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    void setClip(const Rect& clip) override;
    void drawPicture(Point at, const Picture& picture) override;
    void fillRect(const Rect& r, std::uint32_t rgb) override;
    void drawText(const Rect& box, const std::string& utf8, const FontSpec& font, std::uint32_t rgb,
                  TextAlign align) override;

    int Scale() const { return scale_; }

private:
    HFONT FontFor(const FontSpec& wanted);
    RECT Physical(const Rect& r) const;

    HDC dc_;
    int scale_;
    Rect clip_;
    // The fonts asked for so far; the panel uses only a handful.
    std::map<std::tuple<std::string, int, bool, bool>, HFONT> fonts_;
    // The part of a picture being drawn, as a bottom-up BGR DIB (reused between calls).
    std::vector<std::uint8_t> bits_;
};

}  // namespace pio
