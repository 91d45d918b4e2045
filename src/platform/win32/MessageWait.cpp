// SPDX-License-Identifier: MIT
#include "platform/win32/MessageWait.h"

#include <mmsystem.h>

namespace pio {

namespace {

// From Windows 10 1803; older systems refuse the flag with ERROR_INVALID_PARAMETER.
constexpr DWORD kHighResolutionTimer = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

}  // namespace

MessageWait::MessageWait(bool highResolution) {
    if (highResolution)
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    if (!timer_) periodRaised_ = timeBeginPeriod(1) == TIMERR_NOERROR;
}

MessageWait::~MessageWait() {
    if (timer_) CloseHandle(timer_);
    if (periodRaised_) timeEndPeriod(1);
}

void MessageWait::Sleep(std::int64_t microseconds) {
    constexpr DWORD kWake = QS_ALLINPUT;
    // MWMO_INPUTAVAILABLE: also wake for messages that were already in the queue when a
    // PeekMessage left them there, or the wait could sleep on a pending message.
    constexpr DWORD kFlags = MWMO_INPUTAVAILABLE;
    if (microseconds < 0) {
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, kWake, kFlags);
        return;
    }
    if (timer_) {
        LARGE_INTEGER due;
        due.QuadPart = -microseconds * 10;  // relative, in 100 ns units
        if (SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
            MsgWaitForMultipleObjectsEx(1, &timer_, INFINITE, kWake, kFlags);
            CancelWaitableTimer(timer_);
            return;
        }
    }
    // Rounded up: a wait that ends before its deadline would only be repeated at once.
    const std::int64_t ms = (microseconds + 999) / 1000;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms < 0x7FFFFFFF ? ms : 0x7FFFFFFE),
                                kWake, kFlags);
}

}  // namespace pio
