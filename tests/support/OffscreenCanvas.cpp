#include "support/OffscreenCanvas.h"

#include <QGuiApplication>

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

OffscreenCanvas::OffscreenCanvas(int width, int height)
    : image_(width, height, QImage::Format_RGB32) {
    EnsureGuiApplication();
    image_.fill(Qt::magenta);  // anything left unpainted stands out
    painter_ = std::make_unique<QPainter>(&image_);
    canvas_ = std::make_unique<QtCanvas>(*painter_);
}

OffscreenCanvas::~OffscreenCanvas() {
    canvas_.reset();
    painter_.reset();
}

QImage OffscreenCanvas::image() {
    canvas_.reset();
    painter_.reset();
    QImage copy = image_.copy();
    painter_ = std::make_unique<QPainter>(&image_);
    canvas_ = std::make_unique<QtCanvas>(*painter_);
    return copy;
}

std::uint32_t OffscreenCanvas::pixel(int x, int y) { return image().pixel(x, y) & 0xFFFFFFu; }
