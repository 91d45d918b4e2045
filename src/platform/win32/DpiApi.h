// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace pio {

// The DPI functions of newer Windows versions, looked up at run time so that the program
// still starts on Windows 7 SP1, where every one of them falls back to the system DPI.
class DpiApi final {
public:
    // Makes this process per-monitor DPI aware when the manifest has not already done so
    // (a test program, or a copy of the .exe whose manifest was stripped).
    static void MakeProcessAware();
    // The DPI of the monitor the window is on.
    static int ForWindow(HWND window);
    // The DPI of the primary monitor (before any window exists).
    static int ForSystem();
};

// The message Windows 8.1 and later send when a window's DPI changes; the SDK level the
// program is built for (Windows 7) hides it.
constexpr UINT kWmDpiChanged = 0x02E0;

}  // namespace pio
