// SPDX-License-Identifier: MIT
#include "platform/qt/PanelWidget.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "platform/Geometry.h"
#include "platform/Platform.h"
#include "platform/WindowOwner.h"
#include "platform/qt/QtCanvas.h"

namespace pio {

namespace {

bool ToButton(Qt::MouseButton b, MouseButton& out) {
    switch (b) {
        case Qt::LeftButton: out = MouseButton::Left; return true;
        case Qt::RightButton: out = MouseButton::Right; return true;
        case Qt::MiddleButton: out = MouseButton::Middle; return true;
        default: return false;
    }
}

Point ToPoint(const QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    return {p.x(), p.y()};
}

}  // namespace

PanelWidget::PanelWidget(WindowOwner& owner)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), owner_(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted by the panel
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void PanelWidget::paintEvent(QPaintEvent* event) {
    WindowSink* sink = owner_.Sink();
    if (!sink) return;
    QPainter painter(this);
    QtCanvas canvas(painter);
    for (const QRect& r : event->region()) {
        const Rect dirty{r.x(), r.y(), r.width(), r.height()};
        owner_.Dispatch([&] { sink->paint(canvas, dirty); });
    }
}

void PanelWidget::Press(QMouseEvent* event, bool doubleClick) {
    MouseButton b;
    WindowSink* sink = owner_.Sink();
    if (!sink || !ToButton(event->button(), b)) return;
    const Point p = ToPoint(event);
    owner_.Dispatch([=] { sink->pointerPress(p, b, doubleClick); });
}

void PanelWidget::mousePressEvent(QMouseEvent* event) { Press(event, false); }

void PanelWidget::mouseDoubleClickEvent(QMouseEvent* event) { Press(event, true); }

void PanelWidget::mouseReleaseEvent(QMouseEvent* event) {
    MouseButton b;
    WindowSink* sink = owner_.Sink();
    if (!sink || !ToButton(event->button(), b)) return;
    const Point p = ToPoint(event);
    owner_.Dispatch([=] { sink->pointerRelease(p, b); });
}

void PanelWidget::mouseMoveEvent(QMouseEvent* event) {
    WindowSink* sink = owner_.Sink();
    if (!sink) return;
    const Point p = ToPoint(event);
    owner_.Dispatch([=] { sink->pointerMove(p); });
}

void PanelWidget::leaveEvent(QEvent*) {
    if (WindowSink* sink = owner_.Sink()) owner_.Dispatch([=] { sink->pointerLeave(); });
}

void PanelWidget::keyPressEvent(QKeyEvent* event) {
    // Without a window manager nobody turns Alt+F4 into a close; do it here.
    if (event->key() == Qt::Key_F4 && (event->modifiers() & Qt::AltModifier)) {
        close();
        return;
    }
    if (WindowSink* sink = owner_.Sink()) owner_.Dispatch([=] { sink->keyPress(); });
}

void PanelWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        const bool active = isActiveWindow();
        if (WindowSink* sink = owner_.Sink()) owner_.Dispatch([=] { sink->activeChanged(active); });
    }
    QWidget::changeEvent(event);
}

void PanelWidget::closeEvent(QCloseEvent* event) {
    // Closing only asks the program to end; the panel stays until the loop ends.
    event->ignore();
    owner_.RequestClose();
}

}  // namespace pio
