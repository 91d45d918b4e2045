// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/win32/MessageWait.h"
#include "platform/win32/PreciseClock.h"
#include "platform/win32/TimerSchedule.h"
#include "platform/win32/WindowOwner.h"

namespace pio {

class AppWindow;
class HintWindow;
class PanelWindow;

// The platform on plain Win32 and GDI. The loop is the classic one: take a message
// (PeekMessage), translate and dispatch it; when the queue is empty, run a timer tick that is
// due; otherwise sleep until a message comes or the next tick is due. A tick therefore never
// runs while input or a repaint waits, and a late loop does not cause a burst of ticks.
//
// Modal loops that Windows runs itself (a message box, the taskbar menu) do not know our
// timers; while one runs, a window timer on the hidden message window drives them instead.
class Win32Platform final : public Platform, public Win32WindowOwner {
public:
    explicit Win32Platform(HINSTANCE instance);
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // The application window (taskbar button) and the panel window, both hidden; `bounds`
    // in logical pixels.
    void CreateWindows(const std::string& title, const Rect& bounds);
    // Shows the taskbar button and the panel (only the button when started minimised).
    void ShowWindows(int showCommand);
    PanelWindow* Panel() const { return panel_.get(); }
    HWND AppHandle() const;

    std::int64_t tickCount() const override { return clock_.Milliseconds(); }
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

    // Win32WindowOwner: for the windows.
    WindowSink* Sink() const override { return sink(); }
    void Dispatch(const Handler& fn) override { dispatch(fn); }
    void Deliver(const std::function<void(WindowSink&)>& fn) override;
    void RequestClose() override;
    void TrackModalLoop(UINT msg) override;
    // A modal loop of Windows' own begins or ends.
    void EnterModal();
    void LeaveModal();

    // Whether waits end by a high-resolution timer (else at the 1 ms system tick).
    bool HighResolutionWait() const { return wait_.HighResolution(); }

protected:
    void exitLoop() override;

private:
    static LRESULT CALLBACK MessageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    bool PumpOne();
    bool FireOneDue();
    void FireAllDue();
    void Fire(int id);
    void RunPosted();
    void SleepUntil(std::int64_t deadline);

    HINSTANCE instance_;
    PreciseClock clock_;
    MessageWait wait_;
    TimerSchedule schedule_;
    std::map<int, Handler> handlers_;
    std::deque<Handler> posted_;
    HWND messageWindow_ = nullptr;
    int modal_ = 0;
    std::unique_ptr<AppWindow> app_;
    std::unique_ptr<PanelWindow> panel_;
    std::unique_ptr<HintWindow> hint_;
};

}  // namespace pio
