// SPDX-License-Identifier: MIT
#include "platform/qt/HintPopup.h"

#include <QFontMetrics>
#include <QPainter>
#include <QToolTip>

namespace pio {

HintPopup::HintPopup()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);
    setPalette(QToolTip::palette());
}

QSize HintPopup::SizeFor(const QString& text) const {
    const QFontMetrics m(font());
    return {m.horizontalAdvance(text) + 6, m.height() + 2};
}

void HintPopup::ShowAt(const QString& text, QPoint topLeft) {
    text_ = text;
    setGeometry(QRect(topLeft, SizeFor(text)));
    update();
    show();
    raise();
}

void HintPopup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::ToolTipBase));
    p.setPen(pal.color(QPalette::ToolTipText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.drawText(rect().adjusted(3, 1, -3, -1), Qt::AlignLeft | Qt::AlignVCenter, text_);
}

}  // namespace pio
