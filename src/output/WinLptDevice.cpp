// SPDX-License-Identifier: MIT
#include "output/WinLptDevice.h"

#include <utility>

namespace pio {

namespace {

// Returned when write is called without a successful open (as by the Linux device).
constexpr int kNotOpen = 103;
// What a name that is no port is refused with: the port requests mean nothing to it.
constexpr int kNotAPort = ERROR_INVALID_FUNCTION;
// A pipe that took nothing within the time limit: full, or nobody reads it.
constexpr int kNotReady = ERROR_NOT_READY;
// A failing call that left no error behind must still not read as success.
constexpr int kGeneralFailure = 1117;  // ERROR_IO_DEVICE

int LastError() {
    const DWORD err = GetLastError();
    return err != 0 ? static_cast<int>(err) : kGeneralFailure;
}

}  // namespace

WinLptDevice::WinLptDevice(std::string device, std::wstring holdName)
    : device_(std::move(device)), holdName_(std::move(holdName)) {}

WinLptDevice::~WinLptDevice() {
    close();
    letGo();
}

int WinLptDevice::hold() {
    if (held_) return 0;
    if (!mutex_.Valid()) {
        HANDLE m = CreateMutexW(nullptr, FALSE, holdName_.c_str());
        if (!m) return LastError();
        mutex_ = WinDeviceHandle(m);
    }
    switch (WaitForSingleObject(mutex_.Get(), 0)) {
        case WAIT_OBJECT_0:
        // The panel that held it ended without letting go (it crashed): the port is ours.
        case WAIT_ABANDONED: held_ = true; return 0;
        case WAIT_TIMEOUT: return kPortHeldByAnotherPanel;
        default: return LastError();
    }
}

void WinLptDevice::letGo() {
    if (!held_) return;
    held_ = false;
    ReleaseMutex(mutex_.Get());
}

WinLptDevice::Kind WinLptDevice::KindOf(DWORD fileType) {
    switch (fileType) {
        case FILE_TYPE_CHAR: return Kind::Port;
        case FILE_TYPE_PIPE: return Kind::Pipe;
        default:  // a file on a disk, or what Windows cannot tell
            return Kind::NotAPort;
    }
}

int WinLptDevice::open() {
    close();  // a previous cycle that never closed must not leak its handle
    HANDLE h = CreateFileA(device_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    file_ = WinDeviceHandle(h);
    switch (KindOf(GetFileType(h))) {
        case Kind::Port: break;
        case Kind::Pipe: return OpenPipe();
        case Kind::NotAPort: file_.Close(); return kNotAPort;
    }

    // Windows' parallel driver takes time-outs for a parallel device through the same
    // request as a serial port (IOCTL_SERIAL_SET_TIMEOUTS, which SetCommTimeouts sends).
    // Without one, a write to a port with nothing attached waits for the printer handshake
    // as long as the driver likes, and the panel with it. Devices that know no time-outs
    // (a file or pipe standing in for the port) refuse the call; that changes nothing.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // reads, never made, would return at once
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    SetCommTimeouts(h, &timeouts);
    return 0;
}

int WinLptDevice::OpenPipe() {
    // Only an overlapped handle can give up on a write: opened again with that flag.
    file_.Close();
    HANDLE h = CreateFileA(device_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    file_ = WinDeviceHandle(h);
    if (KindOf(GetFileType(h)) != Kind::Pipe) {  // something else appeared under the name
        file_.Close();
        return kNotAPort;
    }
    if (!writeDone_.Valid()) {
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!event) {
            const int err = LastError();
            file_.Close();
            return err;
        }
        writeDone_ = WinDeviceHandle(event);
    }
    pipe_ = true;
    return 0;
}

int WinLptDevice::WritePipe(std::uint8_t value, int& written) {
    const std::uint8_t buffer[1] = {value};
    OVERLAPPED pending{};
    pending.hEvent = writeDone_.Get();
    ResetEvent(pending.hEvent);
    DWORD count = 0;
    if (!WriteFile(file_.Get(), buffer, 1, &count, &pending)) {
        if (GetLastError() != ERROR_IO_PENDING) return LastError();
        if (WaitForSingleObject(pending.hEvent, kWriteTimeoutMs) != WAIT_OBJECT_0) {
            // The buffer must stay valid until the write is really over, cancelled or not.
            CancelIoEx(file_.Get(), &pending);
            const bool done = GetOverlappedResult(file_.Get(), &pending, &count, TRUE);
            if (!done || count != 1) return kNotReady;
        } else if (!GetOverlappedResult(file_.Get(), &pending, &count, FALSE)) {
            return LastError();
        }
    }
    written = static_cast<int>(count);
    return 0;
}

int WinLptDevice::write(std::uint8_t value, int& written) {
    if (!file_.Valid()) return kNotOpen;
    if (pipe_) return WritePipe(value, written);
    const std::uint8_t buffer[1] = {value};
    DWORD count = 0;
    if (!WriteFile(file_.Get(), buffer, 1, &count, nullptr)) return LastError();
    written = static_cast<int>(count);
    return 0;
}

int WinLptDevice::close() {
    pipe_ = false;
    const DWORD err = file_.Close();
    return static_cast<int>(err);
}

}  // namespace pio
