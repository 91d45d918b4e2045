// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>
#include <unordered_map>

#include "platform/Platform.h"
#include "platform/WindowOwner.h"

namespace pio {

class PanelWidget;
class HintPopup;

// The platform on Qt: QApplication's loop, processEvents as the pump, precise QTimers,
// QMessageBox for reports and a tooltip-style popup for hints.
class QtPlatform final : public QObject, public Platform, public WindowOwner {
    Q_OBJECT
public:
    QtPlatform();
    ~QtPlatform() override;

    // The panel window; created hidden at the given screen place and size.
    PanelWidget& CreateWindow(const Rect& bounds, const QString& title);
    PanelWidget* Window() const { return window_.get(); }

    std::int64_t tickCount() const override { return clock_.elapsed(); }
    int startTimer(int intervalMs, Handler onTick) override;
    void stopTimer(int id) override;
    void processPendingEvents() override;
    void waitForEvents(std::int64_t deadline) override;
    void run() override;
    void post(Handler fn) override;
    void messageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void invalidate(const Rect& r) override;
    Size hintSize(const std::string& text) const override;
    void showHint(const std::string& text, Point screenTopLeft) override;
    void hideHint() override;
    Rect screenRect() const override;
    Point panelOrigin() const override;

    // WindowOwner: for the window.
    WindowSink* Sink() const override { return sink(); }
    void Dispatch(const Handler& fn) override { dispatch(fn); }
    void RequestClose() override;

protected:
    void exitLoop() override;
    void timerEvent(QTimerEvent* event) override;

private:
    QElapsedTimer clock_;
    std::unordered_map<int, Handler> timers_;
    QTimer wake_;  // ends a wait at its deadline
    std::unique_ptr<PanelWidget> window_;
    std::unique_ptr<HintPopup> hint_;
};

}  // namespace pio
