// SPDX-License-Identifier: MIT
#include "platform/win32/DpiApi.h"

namespace pio {

namespace {

template <typename Fn>
Fn Lookup(const wchar_t* module, const char* name) {
    HMODULE dll = GetModuleHandleW(module);
    if (!dll) dll = LoadLibraryW(module);
    if (!dll) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

}  // namespace

void DpiApi::MakeProcessAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE (Windows 10 1703/1607).
    if (const auto set = Lookup<SetContext>(L"user32.dll", "SetProcessDpiAwarenessContext")) {
        if (set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))) ||
            set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3))))
            return;
        // Fails with access denied when the manifest has set it already: nothing to do.
        if (GetLastError() == ERROR_ACCESS_DENIED) return;
    }
    using SetAwareness = HRESULT(WINAPI*)(int);
    if (const auto set = Lookup<SetAwareness>(L"shcore.dll", "SetProcessDpiAwareness")) {
        set(2);  // PROCESS_PER_MONITOR_DPI_AWARE (Windows 8.1)
        return;
    }
    SetProcessDPIAware();  // Vista and 7: system DPI aware
}

int DpiApi::ForWindow(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto get = Lookup<GetDpi>(L"user32.dll", "GetDpiForWindow");
    if (get && window) {
        const UINT dpi = get(window);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return ForSystem();
}

int DpiApi::ForSystem() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace pio
