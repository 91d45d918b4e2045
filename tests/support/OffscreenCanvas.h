// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Canvas.h"
#include "support/PixelImage.h"

namespace pio {

// An off-screen panel-sized canvas the simulated platform paints into; tests read pixels.
// It draws with the canvas of the program's own platform layer (Qt's on Linux, GDI's on
// Windows), so painting tests check what the program would really show; the build picks the
// surface behind it (qt/ or win32/OffscreenCanvas.cpp). Unpainted pixels start magenta.
class OffscreenCanvas final : public Canvas {
public:
    explicit OffscreenCanvas(int width = 340, int height = 200);
    ~OffscreenCanvas() override;
    OffscreenCanvas(const OffscreenCanvas&) = delete;
    OffscreenCanvas& operator=(const OffscreenCanvas&) = delete;

    void setClip(const Rect& clip) override { target().setClip(clip); }
    void drawPicture(Point at, const Picture& picture) override {
        target().drawPicture(at, picture);
    }
    void fillRect(const Rect& r, std::uint32_t rgb) override { target().fillRect(r, rgb); }
    void drawText(const Rect& box, const std::string& utf8, const FontSpec& font, std::uint32_t rgb,
                  TextAlign align) override {
        target().drawText(box, utf8, font, rgb, align);
    }

    // 0xRRGGBB of a pixel; finishes pending drawing first.
    std::uint32_t pixel(int x, int y) { return image().pixel(x, y); }
    PixelImage image();

private:
    struct Surface;    // the platform's image, painter and canvas
    Canvas& target();  // the platform's canvas on the surface
    std::unique_ptr<Surface> surface_;
};

}  // namespace pio
