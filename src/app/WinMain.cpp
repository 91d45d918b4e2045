// SPDX-License-Identifier: MIT
// pio-out on Windows: start-up, the event loop and the report of a failed start.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/ApplicationTitle.h"
#include "app/CommandLine.h"
#include "app/CreditLine.h"
#include "app/PanelSession.h"
#include "app/StartupFailure.h"
#include "app/Version.h"
#include "output/WinHidApi.h"
#include "output/WinHidRelayDevice.h"
#include "output/WinLptDevice.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Platform.h"

namespace pio {

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

// The arguments after the program name, in UTF-8, split the way the C runtime splits them.
std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words) return args;
    for (int i = 1; i < count; ++i) args.push_back(WideText::ToUtf8(words[i]));
    LocalFree(words);
    return args;
}

enum class Written { Yes, Failed, NowhereToGo };

// A console takes the text as UTF-16; a file or pipe gets UTF-8 with Windows line ends.
Written WriteTo(HANDLE handle, const std::string& utf8) {
    DWORD mode = 0;
    DWORD done = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = WideText::FromUtf8(utf8);
        const auto size = static_cast<DWORD>(wide.size());
        return WriteConsoleW(handle, wide.data(), size, &done, nullptr) && done == size
                   ? Written::Yes
                   : Written::Failed;
    }
    std::string bytes;
    for (char c : utf8) bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const auto size = static_cast<DWORD>(bytes.size());
    return WriteFile(handle, bytes.data(), size, &done, nullptr) && done == size ? Written::Yes
                                                                                 : Written::Failed;
}

// A windowed program has no console of its own. Its standard handles are there when whoever
// started it passed them on (redirected to a file or a pipe, as scripts and tests do);
// started from a console window without that, the text goes to the parent's console, which
// has already shown its prompt again, so it starts on a line of its own.
Written WriteStandard(DWORD which, const std::string& utf8) {
    const HANDLE inherited = GetStdHandle(which);
    if (inherited && inherited != INVALID_HANDLE_VALUE &&
        GetFileType(inherited) != FILE_TYPE_UNKNOWN)
        return WriteTo(inherited, utf8);
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return Written::NowhereToGo;
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return Written::NowhereToGo;
    const Written written = WriteTo(console, "\n" + utf8);
    CloseHandle(console);
    return written;
}

// --help, --version or a mistake on the command line: the text goes out before any window
// exists. Started with neither handles nor a console (from Explorer or a shortcut), a box
// is the only place left to show it. Exit codes as on Linux: 0, 2 for a mistake, 1 when the
// text could not be written.
int PrintAndEnd(const CommandLine& line) {
    const bool mistake = line.action() == CommandLine::Action::UsageError;
    switch (WriteStandard(mistake ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE, line.text())) {
        case Written::Yes: return line.exitCode();
        case Written::Failed: return 1;
        case Written::NowhereToGo: break;
    }
    MessageBoxW(nullptr, WideText::FromUtf8(line.text()).c_str(), L"pio-out",
                MB_OK | (mistake ? MB_ICONSTOP : MB_ICONINFORMATION));
    return line.exitCode();
}

}  // namespace

static int Main(HINSTANCE instance, int showCommand) {
    const CommandLine line =
        CommandLine::Parse(Arguments(), PortRules::Windows, PIO_VERSION_STRING);
    if (line.action() != CommandLine::Action::Run) return PrintAndEnd(line);

    const std::string programPath = ProgramPath();
    const std::string title = ApplicationTitle(programPath);
    return RunOrReportStartupFailure(
        [&]() -> int {
            Win32Platform platform(instance);
            WinHidApi hid;
            std::unique_ptr<PortDevice> device;
            std::string credit;
            if (line.port().kind == PortKind::UsbRelay) {
                auto relays = std::make_unique<WinHidRelayDevice>(hid, line.port().serial);
                // The board's serial, looked up now where the command line named none.
                const std::string serial =
                    line.port().serial.empty() ? relays->Probe() : std::string();
                credit = DeviceCreditLine(line.port().name + (serial.empty() ? "" : " " + serial));
                device = std::move(relays);
            } else {
                device = std::make_unique<WinLptDevice>(line.port().device,
                                                        WideText::FromUtf8(line.port().holdName));
                credit = CreditLine(line.port().name);
            }
            PanelSession session(platform, *device, title, credit);
            platform.CreateWindows(title, session.WindowBounds());
            session.Start();
            platform.ShowWindows(showCommand);
            platform.run();
            // Nothing is left to save or close by hand: the port keeps its last byte, and the
            // system frees the windows, the port handle and the hold on the port with the
            // process. Tearing the windows down one by one would only keep the ended panel on
            // the screen longer (under wine without a window manager two seconds each).
            ExitProcess(0);
        },
        [&programPath](const std::string& kind, const std::string& message) {
            StartupFailed(programPath, kind, message);
        });
}

}  // namespace pio

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return pio::Main(instance, showCommand);
}
