// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdlib>

namespace pio {

// Whether this test process can open real windows. Under wine that needs a display, and
// also a wine session that was started with one: a session started without DISPLAY (the
// test listing at build time starts one) has no window driver for any later program. A
// plain system window class tells that apart from a fault of our own windows.
inline bool WindowDriverAvailable() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return false;
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!probe) return false;
    DestroyWindow(probe);
    return true;
}

}  // namespace pio
