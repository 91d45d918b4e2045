// SPDX-License-Identifier: MIT
#include "platform/qt/HintPopup.h"

#include <QFontMetrics>
#include <QPainter>
#include <QToolTip>
#include <QWindow>

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

void HintPopup::ShowAt(const QString& text, QPoint topLeft, QWidget* owner) {
    text_ = text;
    // A Wayland client cannot place a window of its own; only a popup, and only beside a
    // window it already has. Qt 6.8 makes a box without a transient parent a window of its
    // own, which the compositor places (sway tiles it, the pointer leaves the panel, the
    // box goes, ...). Under X11 the parent changes nothing: the box is placed on the screen.
    winId();
    if (owner && owner->windowHandle()) windowHandle()->setTransientParent(owner->windowHandle());
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
