#pragma once

#include <QImage>
#include <QPainter>
#include <memory>

#include "platform/Canvas.h"
#include "platform/qt/QtCanvas.h"

// An off-screen panel-sized canvas the simulated platform paints into; tests read pixels.
class OffscreenCanvas final : public Canvas {
public:
    explicit OffscreenCanvas(int width = 340, int height = 200);
    ~OffscreenCanvas() override;

    void setClip(const Rect& clip) override { canvas_->setClip(clip); }
    void drawPicture(Point at, const Picture& picture) override {
        canvas_->drawPicture(at, picture);
    }
    void fillRect(const Rect& r, std::uint32_t rgb) override { canvas_->fillRect(r, rgb); }
    void drawText(const Rect& box, const std::string& utf8, const FontSpec& font,
                  std::uint32_t rgb, TextAlign align) override {
        canvas_->drawText(box, utf8, font, rgb, align);
    }

    // 0xRRGGBB of a pixel; finishes pending drawing first.
    std::uint32_t pixel(int x, int y);
    QImage image();

private:
    QImage image_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<QtCanvas> canvas_;
};
