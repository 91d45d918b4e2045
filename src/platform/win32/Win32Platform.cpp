// SPDX-License-Identifier: MIT
#include "platform/win32/Win32Platform.h"

#include <mmsystem.h>

#include <algorithm>

#include "platform/win32/AppWindow.h"
#include "platform/win32/DpiApi.h"
#include "platform/win32/DpiScale.h"
#include "platform/win32/HintWindow.h"
#include "platform/win32/PanelWindow.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/WindowClass.h"

namespace pio {

namespace {

constexpr wchar_t kMessageClass[] = L"PioOutMessages";
constexpr UINT kRunPosted = WM_APP + 1;
constexpr UINT_PTR kModalTimer = 1;
// A pump hands on at most this many messages at once, so that a handler which keeps
// posting work can slow the panel down but never hang the pump that called it.
constexpr int kPumpLimit = 10000;

bool IsMinimised(int showCommand) {
    return showCommand == SW_SHOWMINIMIZED || showCommand == SW_MINIMIZE ||
           showCommand == SW_SHOWMINNOACTIVE || showCommand == SW_FORCEMINIMIZE;
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {
    DpiApi::MakeProcessAware();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32Platform::MessageProc;
    wc.hInstance = instance_;
    wc.lpszClassName = kMessageClass;
    // Registered once per process; later windows of the kind reuse it.
    WindowClass::Register(wc, "Nachrichten");
    messageWindow_ = CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     instance_, nullptr);
    if (!messageWindow_) throw Win32Error("CreateWindowExW (Nachrichten)");
    SetWindowLongPtrW(messageWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Platform::~Win32Platform() {
    hint_.reset();
    panel_.reset();
    app_.reset();
    if (modal_ > 0) timeEndPeriod(1);
    SetWindowLongPtrW(messageWindow_, GWLP_USERDATA, 0);
    DestroyWindow(messageWindow_);
}

void Win32Platform::CreateWindows(const std::string& title, const Rect& bounds) {
    const std::wstring wide = WideText::FromUtf8(title);
    app_ = std::make_unique<AppWindow>(*this, instance_, wide);
    panel_ = std::make_unique<PanelWindow>(*this, instance_, app_->Handle(), wide,
                                           Size{bounds.width, bounds.height});
    panel_->MoveTo({bounds.left, bounds.top});
    app_->SetMainWindow(panel_->Handle());
    hint_ = std::make_unique<HintWindow>(instance_, panel_->Handle());
}

HWND Win32Platform::AppHandle() const { return app_ ? app_->Handle() : nullptr; }

void Win32Platform::ShowWindows(int showCommand) {
    if (!app_) return;
    ShowWindow(app_->Handle(), SW_SHOWNA);
    ShowWindow(panel_->Handle(), SW_SHOW);
    SetForegroundWindow(panel_->Handle());
    UpdateWindow(panel_->Handle());
    // Minimising the owner hides the panel and restoring shows it again.
    if (IsMinimised(showCommand)) ShowWindow(app_->Handle(), SW_SHOWMINNOACTIVE);
}

int Win32Platform::startTimer(int intervalMs, Handler onTick) {
    const int id = schedule_.add(intervalMs, tickCount());
    handlers_[id] = std::move(onTick);
    return id;
}

void Win32Platform::stopTimer(int id) {
    schedule_.remove(id);
    handlers_.erase(id);
}

void Win32Platform::Fire(int id) {
    const auto it = handlers_.find(id);
    if (it == handlers_.end()) return;
    const Handler handler = it->second;  // the handler may stop its own timer
    schedule_.begin(id, tickCount());
    dispatch(handler);
    schedule_.end(id);
}

bool Win32Platform::FireOneDue() {
    const std::vector<int> due = schedule_.due(tickCount());
    if (due.empty()) return false;
    Fire(due.front());
    return true;
}

void Win32Platform::FireAllDue() {
    // Each due timer ticks once; one stopped by an earlier handler no longer does.
    for (const int id : schedule_.due(tickCount()))
        if (schedule_.contains(id)) Fire(id);
}

bool Win32Platform::PumpOne() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        requestQuit();  // in a nested pump only the flag: the outermost handler ends it
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void Win32Platform::processPendingEvents() {
    for (int i = 0; i < kPumpLimit && PumpOne(); ++i) {
    }
    FireAllDue();
}

void Win32Platform::SleepUntil(std::int64_t deadline) {
    const std::int64_t until = std::min(deadline, schedule_.nextDeadline());
    if (until == kNoDeadline) {
        wait_.Sleep(-1);
        return;
    }
    const std::int64_t left = until * 1000 - clock_.Microseconds();
    if (left > 0) wait_.Sleep(left);
}

void Win32Platform::waitForEvents(std::int64_t deadline) {
    if (deadline <= tickCount()) return;
    // Timers due before the deadline end the wait too: the caller's pump runs them.
    SleepUntil(deadline);
}

void Win32Platform::run() {
    while (!terminated()) {
        if (PumpOne()) continue;
        if (FireOneDue()) continue;
        SleepUntil(kNoDeadline);
    }
}

void Win32Platform::exitLoop() {
    // Wakes a loop that sleeps, so it sees the flag.
    PostMessageW(messageWindow_, WM_NULL, 0, 0);
}

void Win32Platform::post(Handler fn) {
    posted_.push_back(std::move(fn));
    PostMessageW(messageWindow_, kRunPosted, 0, 0);
}

void Win32Platform::RunPosted() {
    if (posted_.empty()) return;
    const Handler handler = std::move(posted_.front());
    posted_.pop_front();
    dispatch(handler);
}

void Win32Platform::EnterModal() {
    if (modal_++ > 0) return;
    // USER_TIMER_MINIMUM; with the 1 ms system tick it comes about every 10 ms.
    timeBeginPeriod(1);
    SetTimer(messageWindow_, kModalTimer, USER_TIMER_MINIMUM, nullptr);
}

void Win32Platform::LeaveModal() {
    if (modal_ == 0 || --modal_ > 0) return;
    KillTimer(messageWindow_, kModalTimer);
    timeEndPeriod(1);
}

void Win32Platform::TrackModalLoop(UINT msg) {
    switch (msg) {
        case WM_ENTERMENULOOP:
        case WM_ENTERSIZEMOVE: EnterModal(); break;
        case WM_EXITMENULOOP:
        case WM_EXITSIZEMOVE: LeaveModal(); break;
        default: break;
    }
}

LRESULT CALLBACK Win32Platform::MessageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) {
        if (msg == kRunPosted) {
            self->RunPosted();
            return 0;
        }
        if (msg == WM_TIMER && wp == kModalTimer) {
            self->FireAllDue();
            return 0;
        }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void Win32Platform::Deliver(const std::function<void(WindowSink&)>& fn) {
    if (WindowSink* s = sink()) dispatch([&] { fn(*s); });
}

void Win32Platform::RequestClose() {
    dispatch([this] { requestQuit(); });
}

void Win32Platform::messageBox(const std::string& text, const std::string& caption,
                               MessageIcon icon) {
    HWND panel = panel_ ? panel_->Handle() : nullptr;
    // The box is modal to the application window only; the panel, a window of its own,
    // must be kept from taking clicks by hand.
    if (panel) EnableWindow(panel, FALSE);
    if (hint_) hint_->Hide();
    EnterModal();
    const UINT style = MB_OK | (icon == MessageIcon::Stop ? MB_ICONSTOP : MB_ICONINFORMATION);
    MessageBoxW(AppHandle(), WideText::FromUtf8(text).c_str(), WideText::FromUtf8(caption).c_str(),
                style);
    LeaveModal();
    if (panel) {
        EnableWindow(panel, TRUE);
        SetActiveWindow(panel);
    }
}

void Win32Platform::invalidate(const Rect& r) {
    if (panel_) panel_->Invalidate(r);
}

Size Win32Platform::hintSize(const std::string& text) const {
    if (!hint_) return {};
    const int scale = panel_->Scale();
    const SIZE s = hint_->SizeFor(WideText::FromUtf8(text), scale);
    return {DpiScale::ToLogicalLength(s.cx, scale), DpiScale::ToLogicalLength(s.cy, scale)};
}

void Win32Platform::showHint(const std::string& text, Point screenTopLeft) {
    if (!hint_) return;
    const int scale = panel_->Scale();
    hint_->ShowAt(WideText::FromUtf8(text), POINT{screenTopLeft.x * scale, screenTopLeft.y * scale},
                  scale);
}

void Win32Platform::hideHint() {
    if (hint_) hint_->Hide();
}

Rect Win32Platform::screenRect() const {
    if (panel_) return panel_->MonitorRect();
    const int scale = DpiScale::ForDpi(DpiApi::ForSystem());
    return {0, 0, DpiScale::ToLogical(GetSystemMetrics(SM_CXSCREEN), scale),
            DpiScale::ToLogical(GetSystemMetrics(SM_CYSCREEN), scale)};
}

Point Win32Platform::panelOrigin() const { return panel_ ? panel_->Origin() : Point{}; }

}  // namespace pio
