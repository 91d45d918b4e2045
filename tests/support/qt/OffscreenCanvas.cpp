// SPDX-License-Identifier: MIT
#include "support/OffscreenCanvas.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <memory>

#include "platform/Canvas.h"
#include "platform/qt/QtCanvas.h"
#include "support/PixelImage.h"

namespace pio {

namespace {

// Text needs a GUI application for its fonts; tests run on the offscreen platform.
void EnsureGuiApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "pio-out-tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
    QtCanvas::InstallFontSubstitutes();
}

}  // namespace

struct OffscreenCanvas::Surface {
    QImage image;
    std::unique_ptr<QPainter> painter;
    std::unique_ptr<QtCanvas> canvas;

    void begin() {
        painter = std::make_unique<QPainter>(&image);
        canvas = std::make_unique<QtCanvas>(*painter);
    }
    // QPainter draws into the image only as far as it has flushed; ending it finishes all.
    void end() {
        canvas.reset();
        painter.reset();
    }
};

OffscreenCanvas::OffscreenCanvas(int width, int height) : surface_(std::make_unique<Surface>()) {
    EnsureGuiApplication();
    surface_->image = QImage(width, height, QImage::Format_RGB32);
    surface_->image.fill(Qt::magenta);  // anything left unpainted stands out
    surface_->begin();
}

OffscreenCanvas::~OffscreenCanvas() { surface_->end(); }

Canvas& OffscreenCanvas::target() { return *surface_->canvas; }

PixelImage OffscreenCanvas::image() {
    surface_->end();
    const QImage& img = surface_->image;
    PixelImage copy{img.width(), img.height(), {}};
    copy.rgb.reserve(static_cast<std::size_t>(img.width() * img.height()));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) copy.rgb.push_back(img.pixel(x, y) & 0xFFFFFFu);
    surface_->begin();
    return copy;
}

}  // namespace pio
