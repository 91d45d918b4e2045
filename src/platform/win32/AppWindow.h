// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>

namespace pio {

class Win32WindowOwner;

// The application's own window: zero by zero pixels, never seen itself, it carries the one
// taskbar button with the title and the icon and owns the panel. Minimising it from the
// taskbar hides the panel with it (Windows hides owned windows with their owner), restoring
// brings the panel back and active, and its Close entry asks the program to end.
class AppWindow final {
public:
    AppWindow(Win32WindowOwner& owner, HINSTANCE instance, const std::wstring& title);
    ~AppWindow();
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    // The window activation is handed on to (the panel).
    void SetMainWindow(HWND main) { main_ = main; }

private:
    friend class WindowClass;  // its window procedure calls OnMessage
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);

    Win32WindowOwner& owner_;
    HWND hwnd_ = nullptr;
    HWND main_ = nullptr;
    HICON smallIcon_ = nullptr;
};

}  // namespace pio
