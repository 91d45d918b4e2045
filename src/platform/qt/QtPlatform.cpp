// SPDX-License-Identifier: MIT
#include "platform/qt/QtPlatform.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimerEvent>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/Geometry.h"
#include "platform/Platform.h"
#include "platform/qt/HintPopup.h"
#include "platform/qt/PanelWidget.h"

namespace pio {

QtPlatform::QtPlatform() {
    clock_.start();
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    hint_ = std::make_unique<HintPopup>();
}

QtPlatform::~QtPlatform() = default;

void QtPlatform::RequestClose() {
    dispatch([this] { requestQuit(); });
}

PanelWidget& QtPlatform::CreateWindow(const Rect& bounds, const QString& title) {
    window_ = std::make_unique<PanelWidget>(*this);
    window_->setWindowTitle(title);
    window_->setFixedSize(bounds.width, bounds.height);
    window_->move(bounds.left, bounds.top);
    return *window_;
}

int QtPlatform::startTimer(int intervalMs, Handler onTick) {
    // Qt neither piles up ticks nor re-enters a timer whose handler still runs.
    const int id = QObject::startTimer(intervalMs, Qt::PreciseTimer);
    if (id == 0) return 0;
    timers_[id] = std::move(onTick);
    return id;
}

void QtPlatform::stopTimer(int id) {
    if (timers_.erase(id)) killTimer(id);
}

void QtPlatform::timerEvent(QTimerEvent* event) {
    const auto it = timers_.find(event->timerId());
    if (it == timers_.end()) return;
    const Handler handler = it->second;  // the handler may stop its own timer
    dispatch(handler);
}

void QtPlatform::processPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtPlatform::waitForEvents(std::int64_t deadline) {
    const std::int64_t left = deadline - tickCount();
    if (left <= 0) return;
    if (deadline != kNoDeadline)
        wake_.start(static_cast<int>(std::min<std::int64_t>(left, 1 << 30)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    wake_.stop();
}

void QtPlatform::run() {
    if (terminated()) return;
    QApplication::exec();
}

void QtPlatform::exitLoop() { QCoreApplication::exit(0); }

void QtPlatform::post(Handler fn) {
    QMetaObject::invokeMethod(
        this, [this, fn = std::move(fn)] { dispatch(fn); }, Qt::QueuedConnection);
}

void QtPlatform::messageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::Information,
                    QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    window_.get());
    // Application-modal: the panel takes no input while the box is open (its timers go on).
    // The panel is not setEnabled(false): that would disable the box too, as its child.
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    if (window_) window_->activateWindow();
}

void QtPlatform::invalidate(const Rect& r) {
    if (window_) window_->update(r.left, r.top, r.width, r.height);
}

Size QtPlatform::hintSize(const std::string& text) const {
    const QSize s = hint_->SizeFor(QString::fromStdString(text));
    return {s.width(), s.height()};
}

void QtPlatform::showHint(const std::string& text, Point screenTopLeft) {
    hint_->ShowAt(QString::fromStdString(text), QPoint(screenTopLeft.x, screenTopLeft.y),
                  window_.get());
}

void QtPlatform::hideHint() { hint_->hide(); }

Rect QtPlatform::screenRect() const {
    const QScreen* screen = window_ ? window_->screen() : QGuiApplication::primaryScreen();
    if (!screen) return {0, 0, 1024, 768};
    const QRect g = screen->geometry();
    return {g.x(), g.y(), g.width(), g.height()};
}

Point QtPlatform::panelOrigin() const {
    if (!window_) return {};
    const QPoint p = window_->mapToGlobal(QPoint(0, 0));
    return {p.x(), p.y()};
}

}  // namespace pio
