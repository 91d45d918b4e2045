// SPDX-License-Identifier: MIT
#include "platform/win32/Win32Error.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace pio {

Win32Error::Win32Error(const std::string& what) : Exception(Describe(what)) {}

std::string Win32Error::Describe(const std::string& what) {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : std::wstring();
    if (text) LocalFree(text);
    // The system's text ends in ".\r\n"; the report adds its own full stop.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    std::string result =
        what + ": " +
        (message.empty() ? "Fehler " + std::to_string(code) : WideText::ToUtf8(message));
    return result;
}

}  // namespace pio
