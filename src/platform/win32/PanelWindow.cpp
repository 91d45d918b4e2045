// SPDX-License-Identifier: MIT
#include "platform/win32/PanelWindow.h"

#include <windowsx.h>

#include <vector>

#include "platform/Platform.h"
#include "platform/win32/DpiApi.h"
#include "platform/win32/DpiScale.h"
#include "platform/win32/GdiCanvas.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/WindowClass.h"
#include "platform/win32/WindowOwner.h"

namespace pio {

namespace {

constexpr wchar_t kClassName[] = L"PioOutPanel";

MouseButton ToButton(int button) {
    return button == 1 ? MouseButton::Right : button == 2 ? MouseButton::Middle : MouseButton::Left;
}

}  // namespace

PanelWindow::PanelWindow(Win32WindowOwner& owner, HINSTANCE instance, HWND ownerWindow,
                         const std::wstring& title, Size logicalSize)
    : owner_(owner), size_(logicalSize) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    // CS_DBLCLKS: Windows tells double clicks apart with the user's own time and distance.
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &WindowClass::Route<PanelWindow>;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hIcon = LoadIconW(instance, L"MAINICON");
    wc.lpszClassName = kClassName;
    // Registered once per process; later windows of the kind reuse it.
    WindowClass::Register(wc, "Panel");
    hwnd_ = CreateWindowExW(0, kClassName, title.c_str(), WS_POPUP | WS_CLIPSIBLINGS, 0, 0,
                            logicalSize.width, logicalSize.height, ownerWindow, nullptr, instance,
                            this);
    if (!hwnd_) throw Win32Error("CreateWindowExW (Panel)");
    ApplyScale(DpiScale::ForDpi(DpiApi::ForWindow(hwnd_)));
}

PanelWindow::~PanelWindow() {
    canvas_.reset();
    if (buffer_) {
        SelectObject(buffer_, oldBitmap_);
        DeleteDC(buffer_);
    }
    if (bitmap_) DeleteObject(bitmap_);
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);  // no more messages reach this object
        DestroyWindow(hwnd_);
    }
}

void PanelWindow::ApplyScale(int scale) {
    scale_ = scale;
    canvas_.reset();
    if (buffer_) {
        SelectObject(buffer_, oldBitmap_);
        DeleteDC(buffer_);
        buffer_ = nullptr;
    }
    if (bitmap_) DeleteObject(bitmap_);
    HDC screen = GetDC(hwnd_);
    buffer_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, size_.width * scale_, size_.height * scale_);
    ReleaseDC(hwnd_, screen);
    if (!buffer_ || !bitmap_) throw Win32Error("CreateCompatibleBitmap");
    oldBitmap_ = SelectObject(buffer_, bitmap_);
    canvas_ = std::make_unique<GdiCanvas>(buffer_, scale_);
    SetWindowPos(hwnd_, nullptr, 0, 0, size_.width * scale_, size_.height * scale_,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void PanelWindow::MoveTo(Point logical) {
    SetWindowPos(hwnd_, nullptr, logical.x * scale_, logical.y * scale_, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The place may be on a monitor of another DPI than the one the window was made on.
    const int scale = DpiScale::ForDpi(DpiApi::ForWindow(hwnd_));
    if (scale != scale_) {
        ApplyScale(scale);
        SetWindowPos(hwnd_, nullptr, logical.x * scale_, logical.y * scale_, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

Point PanelWindow::Origin() const {
    POINT p{0, 0};
    ClientToScreen(hwnd_, &p);
    return {DpiScale::ToLogical(p.x, scale_), DpiScale::ToLogical(p.y, scale_)};
}

Rect PanelWindow::MonitorRect() const {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &info))
        return {0, 0, 1024, 768};
    const RECT& m = info.rcMonitor;
    const int left = DpiScale::ToLogical(m.left, scale_);
    const int top = DpiScale::ToLogical(m.top, scale_);
    return {left, top, DpiScale::ToLogical(m.right, scale_) - left,
            DpiScale::ToLogical(m.bottom, scale_) - top};
}

void PanelWindow::Invalidate(const Rect& logical) {
    const RECT r{logical.left * scale_, logical.top * scale_, logical.right() * scale_,
                 logical.bottom() * scale_};
    InvalidateRect(hwnd_, &r, FALSE);  // Windows merges the requests until the next paint
}

Point PanelWindow::ToLogical(LPARAM lp) const {
    return {DpiScale::ToLogical(GET_X_LPARAM(lp), scale_),
            DpiScale::ToLogical(GET_Y_LPARAM(lp), scale_)};
}

void PanelWindow::Paint() {
    HRGN update = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(hwnd_, update, FALSE);
    std::vector<RECT> rects;
    if (const DWORD size = GetRegionData(update, 0, nullptr)) {
        std::vector<std::uint8_t> data(size);
        auto* region = reinterpret_cast<RGNDATA*>(data.data());
        if (GetRegionData(update, size, region)) {
            const auto* r = reinterpret_cast<const RECT*>(region->Buffer);
            rects.assign(r, r + region->rdh.nCount);
        }
    }
    DeleteObject(update);

    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    if (rects.empty()) rects.push_back(ps.rcPaint);
    if (WindowSink* sink = owner_.Sink()) {
        for (const RECT& r : rects) {
            const int left = DpiScale::ToLogical(r.left, scale_);
            const int top = DpiScale::ToLogical(r.top, scale_);
            const Rect dirty{left, top, DpiScale::ToLogicalLength(r.right, scale_) - left,
                             DpiScale::ToLogicalLength(r.bottom, scale_) - top};
            GdiCanvas& canvas = *canvas_;
            canvas.setClip(dirty);
            owner_.Dispatch([&] { sink->paint(canvas, dirty); });
        }
    }
    BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top, buffer_, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    EndPaint(hwnd_, &ps);
}

void PanelWindow::Press(LPARAM lp, int button, bool doubleClick) {
    // The pointer belongs to the panel while a button is down, also outside the window.
    if (buttonsDown_++ == 0) SetCapture(hwnd_);
    const Point p = ToLogical(lp);
    const MouseButton b = ToButton(button);
    owner_.Deliver([=](WindowSink& sink) { sink.pointerPress(p, b, doubleClick); });
}

void PanelWindow::Release(LPARAM lp, int button) {
    const Point p = ToLogical(lp);
    const MouseButton b = ToButton(button);
    if (buttonsDown_ > 0 && --buttonsDown_ == 0) ReleaseCapture();
    owner_.Deliver([=](WindowSink& sink) { sink.pointerRelease(p, b); });
}

void PanelWindow::Move(LPARAM lp) {
    if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    const Point p = ToLogical(lp);
    owner_.Deliver([=](WindowSink& sink) { sink.pointerMove(p); });
}

void PanelWindow::Leave() {
    tracking_ = false;
    owner_.Deliver([](WindowSink& sink) { sink.pointerLeave(); });
}

LRESULT PanelWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;  // every pixel comes from the back buffer
        case WM_LBUTTONDOWN: Press(lp, 0, false); return 0;
        case WM_LBUTTONDBLCLK: Press(lp, 0, true); return 0;
        case WM_RBUTTONDOWN: Press(lp, 1, false); return 0;
        case WM_RBUTTONDBLCLK: Press(lp, 1, true); return 0;
        case WM_MBUTTONDOWN: Press(lp, 2, false); return 0;
        case WM_MBUTTONDBLCLK: Press(lp, 2, true); return 0;
        case WM_LBUTTONUP: Release(lp, 0); return 0;
        case WM_RBUTTONUP: Release(lp, 1); return 0;
        case WM_MBUTTONUP: Release(lp, 2); return 0;
        case WM_MOUSEMOVE: Move(lp); return 0;
        case WM_MOUSELEAVE: Leave(); return 0;
        case WM_CAPTURECHANGED:
            // Someone else took the pointer (a box opened, the system cancelled a mode):
            // the buttons pressed so far will not be released to us.
            if (reinterpret_cast<HWND>(lp) != hwnd_) buttonsDown_ = 0;
            return 0;
        case WM_CANCELMODE:
            if (GetCapture() == hwnd_) ReleaseCapture();
            buttonsDown_ = 0;
            break;
        case WM_SYSKEYDOWN:
            // Without a system menu nothing would turn Alt+F4 into a close; do it here.
            // Bit 29 of lParam: Alt is held (F10 alone also comes as a system key).
            if (wp == VK_F4 && (lp & (1 << 29))) {
                owner_.RequestClose();
                return 0;
            }
            owner_.Deliver([](WindowSink& sink) { sink.keyPress(); });
            break;  // Alt and its friends keep their system meaning
        case WM_KEYDOWN: owner_.Deliver([](WindowSink& sink) { sink.keyPress(); }); return 0;
        case WM_ACTIVATE: {
            const bool active = LOWORD(wp) != WA_INACTIVE;
            if (active != active_) {
                active_ = active;
                owner_.Deliver([=](WindowSink& sink) { sink.activeChanged(active); });
            }
            break;
        }
        case WM_CLOSE:
            // Only asks the program to end; the panel stays until the loop has ended.
            owner_.RequestClose();
            return 0;
        case kWmDpiChanged: {
            // Moved to a monitor of another DPI: the suggested place, our own whole factor.
            const RECT suggested = *reinterpret_cast<const RECT*>(lp);
            owner_.Dispatch([&] { ApplyScale(DpiScale::ForDpi(HIWORD(wp))); });
            SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        default: owner_.TrackModalLoop(msg); break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace pio
