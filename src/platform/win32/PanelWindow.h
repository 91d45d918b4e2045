// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/Geometry.h"

namespace pio {

class GdiCanvas;
class Win32WindowOwner;

// The panel's window: borderless, owned by the application window (so it has no taskbar
// button of its own and hides with it when that is minimised), fixed in size. It turns the
// window messages into handlers of the panel and paints through a back buffer, so a repaint
// never shows half-drawn LEDs.
//
// The panel works in logical pixels; the window is that size times the whole factor that
// suits its monitor's DPI.
class PanelWindow final {
public:
    PanelWindow(Win32WindowOwner& owner, HINSTANCE instance, HWND ownerWindow,
                const std::wstring& title, Size logicalSize);
    ~PanelWindow();
    PanelWindow(const PanelWindow&) = delete;
    PanelWindow& operator=(const PanelWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    int Scale() const { return scale_; }

    // Puts the window's top-left at a logical screen position (physical = logical x factor).
    void MoveTo(Point logical);
    Point Origin() const;      // logical screen position of the panel's (0, 0)
    Rect MonitorRect() const;  // the monitor the panel is on, in logical pixels
    void Invalidate(const Rect& logical);

private:
    friend class WindowClass;  // its window procedure calls OnMessage
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    void Paint();
    void Press(LPARAM lp, int button, bool doubleClick);
    void Release(LPARAM lp, int button);
    void Move(LPARAM lp);
    void Leave();
    void ApplyScale(int scale);
    Point ToLogical(LPARAM lp) const;

    Win32WindowOwner& owner_;
    HWND hwnd_ = nullptr;
    Size size_;
    int scale_ = 1;
    bool tracking_ = false;  // TrackMouseEvent asked for WM_MOUSELEAVE
    bool active_ = false;
    int buttonsDown_ = 0;
    // The back buffer: the whole panel at the current scale, kept between paints.
    HDC buffer_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    std::unique_ptr<GdiCanvas> canvas_;
};

}  // namespace pio
