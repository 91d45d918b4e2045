// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Canvas.h"

class QPainter;

namespace pio {

// The panel's canvas over a QPainter. Pictures are drawn unscaled in panel pixels; on a
// scaled screen the painter's device pixel ratio enlarges them without smoothing.
class QtCanvas final : public Canvas {
public:
    explicit QtCanvas(QPainter& painter) : painter_(painter) {}

    void setClip(const Rect& clip) override;
    void drawPicture(Point at, const Picture& picture) override;
    void fillRect(const Rect& r, std::uint32_t rgb) override;
    void drawText(const Rect& box, const std::string& utf8, const FontSpec& font, std::uint32_t rgb,
                  TextAlign align) override;

    // Maps the families the panel asks for to metric-compatible ones Debian ships.
    static void InstallFontSubstitutes();

private:
    QPainter& painter_;
};

}  // namespace pio
