// SPDX-License-Identifier: MIT
#include "platform/qt/QtCanvas.h"

#include <QFont>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <string>

#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "platform/Picture.h"

namespace pio {

void QtCanvas::setClip(const Rect& clip) {
    painter_.setClipRect(QRect(clip.left, clip.top, clip.width, clip.height));
}

void QtCanvas::drawPicture(Point at, const Picture& picture) {
    // Wraps the picture's bytes without copying them.
    const QImage image(picture.rgb.data(), picture.width, picture.height, picture.width * 3,
                       QImage::Format_RGB888);
    painter_.drawImage(QPoint(at.x, at.y), image);
}

void QtCanvas::fillRect(const Rect& r, std::uint32_t rgb) {
    painter_.fillRect(QRect(r.left, r.top, r.width, r.height), QColor(QRgb(rgb)));
}

void QtCanvas::drawText(const Rect& box, const std::string& utf8, const FontSpec& wanted,
                        std::uint32_t rgb, TextAlign align) {
    QFont font(QString::fromStdString(wanted.family));
    font.setPixelSize(wanted.pixelSize);
    font.setBold(wanted.bold);
    font.setItalic(wanted.italic);
    painter_.setFont(font);
    painter_.setPen(QColor(QRgb(rgb)));
    int flags = Qt::AlignTop | Qt::TextSingleLine;
    flags |= align == TextAlign::Center  ? Qt::AlignHCenter
             : align == TextAlign::Right ? Qt::AlignRight
                                         : Qt::AlignLeft;
    painter_.drawText(QRect(box.left, box.top, box.width, box.height), flags,
                      QString::fromStdString(utf8));
}

void QtCanvas::InstallFontSubstitutes() {
    QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arial", "DejaVu Sans"});
    QFont::insertSubstitutions("Times New Roman", {"Liberation Serif", "DejaVu Serif"});
}

}  // namespace pio
