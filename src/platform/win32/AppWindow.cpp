// SPDX-License-Identifier: MIT
#include "platform/win32/AppWindow.h"

#include "platform/win32/Win32Error.h"
#include "platform/win32/WindowClass.h"
#include "platform/win32/WindowOwner.h"

namespace pio {

namespace {

constexpr wchar_t kClassName[] = L"PioOutApplication";
// Posted to itself: activation may not be moved on while WM_ACTIVATE is being handled.
constexpr UINT kActivateMain = WM_APP + 1;

}  // namespace

AppWindow::AppWindow(Win32WindowOwner& owner, HINSTANCE instance, const std::wstring& title)
    : owner_(owner) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowClass::Route<AppWindow>;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, L"MAINICON");
    wc.lpszClassName = kClassName;
    // Registered once per process; later windows of the kind reuse it.
    WindowClass::Register(wc, "Anwendung");
    // A caption, system menu and minimise box make the taskbar offer Minimise, Restore and
    // Close; at zero size none of it is ever drawn. It sits in the middle of the screen so
    // that boxes it owns open there.
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    hwnd_ = CreateWindowExW(0, kClassName, title.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            x, y, 0, 0, nullptr, nullptr, instance, this);
    if (!hwnd_) throw Win32Error("CreateWindowExW (Anwendung)");
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
    smallIcon_ = static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    if (smallIcon_)
        SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    if (wc.hIcon) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(wc.hIcon));
}

AppWindow::~AppWindow() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (smallIcon_) DestroyIcon(smallIcon_);
}

LRESULT AppWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CLOSE: owner_.RequestClose(); return 0;
        case WM_ACTIVATE:
            // Restored or chosen from the taskbar: the panel is what the user wants active.
            if (LOWORD(wp) != WA_INACTIVE && !HIWORD(wp)) PostMessageW(hwnd_, kActivateMain, 0, 0);
            break;
        case kActivateMain:
            if (main_ && !IsIconic(hwnd_) && IsWindowVisible(main_) && IsWindowEnabled(main_) &&
                GetActiveWindow() == hwnd_)
                SetActiveWindow(main_);
            return 0;
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            // Log-off or shutdown: nothing to save, the port keeps its last byte.
            if (wp) ExitProcess(0);
            return 0;
        default: owner_.TrackModalLoop(msg); break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace pio
