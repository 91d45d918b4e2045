// SPDX-License-Identifier: MIT
#include "platform/win32/HintWindow.h"

#include "platform/win32/Win32Error.h"
#include "platform/win32/WindowClass.h"

namespace pio {

namespace {

constexpr wchar_t kClassName[] = L"PioOutHint";

}  // namespace

HintWindow::HintWindow(HINSTANCE instance, HWND owner) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &HintWindow::Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kClassName;
    // The drop shadow tooltips have on XP and later; a hint is a tooltip.
    wc.style = CS_DROPSHADOW;
    // Registered once per process; later windows of the kind reuse it.
    WindowClass::Register(wc, "Hinweis");
    hwnd_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kClassName, L"",
                            WS_POPUP, 0, 0, 1, 1, owner, nullptr, instance, this);
    if (!hwnd_) throw Win32Error("CreateWindowExW (Hinweis)");
}

HintWindow::~HintWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
}

HFONT HintWindow::FontFor(int scale) {
    if (font_ && fontScale_ == scale) return font_;
    if (font_) DeleteObject(font_);
    // 8 pt at 96 DPI times the panel's factor, so the hint grows with the panel.
    const int height = -MulDiv(8, 96 * scale, 72);
    font_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
    fontScale_ = scale;
    return font_;
}

SIZE HintWindow::SizeFor(const std::wstring& text, int scale) {
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, FontFor(scale));
    SIZE extent{0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return SIZE{extent.cx + 6 * scale, tm.tmHeight + 2 * scale};
}

void HintWindow::ShowAt(const std::wstring& text, POINT topLeft, int scale) {
    text_ = text;
    scale_ = scale;
    const SIZE size = SizeFor(text, scale);
    SetWindowPos(hwnd_, HWND_TOPMOST, topLeft.x, topLeft.y, size.cx, size.cy, SWP_NOACTIVATE);
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    // Painted now, not when the queue is next empty: the panel's 10 ms refresh keeps it
    // busy, and a hint shown for a while as an empty box looks broken.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void HintWindow::Hide() {
    if (IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_HIDE);
}

void HintWindow::Paint() {
    PAINTSTRUCT ps;
    HDC window = BeginPaint(hwnd_, &ps);
    RECT r;
    GetClientRect(hwnd_, &r);
    // Drawn off-screen and copied in one go, like the panel, so the box never shows with
    // its background filled and the text still missing.
    HDC dc = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, r.right, r.bottom);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    FillRect(dc, &r, GetSysColorBrush(COLOR_INFOBK));
    // The frame in the text colour, as the system's own tooltips draw it.
    HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_INFOTEXT));
    FrameRect(dc, &r, frame);
    DeleteObject(frame);
    HGDIOBJ oldFont = SelectObject(dc, FontFor(scale_));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    RECT text{r.left + 3 * scale_, r.top + scale_, r.right - 3 * scale_, r.bottom - scale_};
    DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    BitBlt(window, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK HintWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<HintWindow*>(WindowClass::Object(hwnd, msg, lp));
    switch (msg) {
        case WM_PAINT:
            if (self) {
                self->Paint();
                return 0;
            }
            break;
        case WM_ERASEBKGND: return 1;  // WM_PAINT covers every pixel
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        case WM_NCHITTEST:
            // The pointer passes through to the panel below.
            return HTTRANSPARENT;
        default: break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace pio
