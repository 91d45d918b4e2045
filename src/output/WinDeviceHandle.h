// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <utility>

namespace pio {

// Owns one Windows kernel handle (a file or a mutex). The destructor closes it and drops any
// error, which is right on error paths where an earlier error is being reported; where the
// close matters, call Close() and look at its result.
class WinDeviceHandle final {
public:
    WinDeviceHandle() noexcept = default;
    explicit WinDeviceHandle(HANDLE h) noexcept : handle_(h) {}
    ~WinDeviceHandle() { Close(); }

    WinDeviceHandle(const WinDeviceHandle&) = delete;
    WinDeviceHandle& operator=(const WinDeviceHandle&) = delete;
    WinDeviceHandle(WinDeviceHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    WinDeviceHandle& operator=(WinDeviceHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    HANDLE Get() const noexcept { return handle_; }
    bool Valid() const noexcept { return handle_ != nullptr; }

    // Closes the handle (if any); returns 0 or GetLastError() of CloseHandle. The object is
    // empty afterwards either way: a handle that failed to close is not closed again.
    DWORD Close() noexcept {
        const HANDLE h = std::exchange(handle_, nullptr);
        if (!h) return 0;
        return CloseHandle(h) ? 0 : GetLastError();
    }

private:
    HANDLE handle_ = nullptr;  // never INVALID_HANDLE_VALUE: callers check CreateFile first
};

}  // namespace pio
