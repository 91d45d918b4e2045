// SPDX-License-Identifier: MIT
// pio-out on Windows: start-up, the event loop and the report of a failed start.
#include <windows.h>

#include <string>

#include "app/ApplicationTitle.h"
#include "app/PanelSession.h"
#include "app/StartupFailure.h"
#include "output/Exception.h"
#include "output/WinLptDevice.h"
#include "panel/PanelPlacement.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Platform.h"

namespace {

std::string ProgramPath() {
    // Long paths: grow the buffer until the whole path fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return "pio-out.exe";
        if (n < path.size()) {
            path.resize(n);
            return WideText::ToUtf8(path);
        }
        path.resize(path.size() * 2);
    }
}

// The one place a failed start-up is shown: a task-modal stop box, then exit code 1.
[[noreturn]] void StartupFailed(const std::string& programPath, const std::string& kind,
                                const std::string& message) {
    const std::string text = StartupFailureText(kind, programPath, 0, message);
    MessageBoxW(nullptr, WideText::FromUtf8(text).c_str(),
                WideText::FromUtf8(kStartupFailureCaption).c_str(),
                MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    ExitProcess(1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    const std::string programPath = ProgramPath();
    const std::string title = ApplicationTitle(programPath);
    try {
        Win32Platform platform(instance);
        WinLptDevice device("LPT1");
        PanelSession session(platform, device, title);
        Rect bounds = session.Form().Bounds;
        // The panel's own place, unless that would leave part of it off a small screen.
        const Point at = PanelPlacement(bounds, platform.screenRect());
        bounds.left = at.x;
        bounds.top = at.y;
        platform.CreateWindows(title, bounds);
        session.Start();
        platform.ShowWindows(showCommand);
        platform.run();
        // Nothing is left to save or close by hand: the port keeps its last byte, and the
        // system frees the windows, the port handle and the hold on the port with the
        // process. Tearing the windows down one by one would only keep the ended panel on
        // the screen longer (under wine without a window manager two seconds each).
        ExitProcess(0);
    } catch (const Exception& e) {
        StartupFailed(programPath, e.kind(), e.what());
    } catch (const std::exception& e) {
        StartupFailed(programPath, "Exception", e.what());
    }
}
