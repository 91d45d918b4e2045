#pragma once

#include <cstdint>
#include <memory>

#include "platform/Canvas.h"
#include "support/PixelImage.h"

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

    void setClip(const Rect& clip) override;
    void drawPicture(Point at, const Picture& picture) override;
    void fillRect(const Rect& r, std::uint32_t rgb) override;
    void drawText(const Rect& box, const std::string& utf8, const FontSpec& font,
                  std::uint32_t rgb, TextAlign align) override;

    // 0xRRGGBB of a pixel; finishes pending drawing first.
    std::uint32_t pixel(int x, int y);
    PixelImage image();

private:
    struct Surface;  // the platform's image, painter and canvas
    std::unique_ptr<Surface> surface_;
};
