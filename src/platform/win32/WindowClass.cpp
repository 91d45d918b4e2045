// SPDX-License-Identifier: MIT
#include "platform/win32/WindowClass.h"

#include <string>

#include "platform/win32/Win32Error.h"

namespace pio {

void WindowClass::Register(const WNDCLASSEXW& wc, const char* what) {
    // The query gets a structure of its own: it may write to it even when the class is not
    // there.
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing) && !RegisterClassExW(&wc))
        throw Win32Error(std::string("RegisterClassExW (") + what + ")");
}

void* WindowClass::Object(HWND hwnd, UINT msg, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<void*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace pio
