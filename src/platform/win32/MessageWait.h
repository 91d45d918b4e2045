// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdint>

namespace pio {

// Sleeps until the thread's queue has a message or a time has passed, whichever is first.
//
// The wait must end close to its deadline: the panel's refresh runs every 10 ms, and the
// default system tick (15.6 ms) would stretch every timed wait to the next tick. Where
// Windows has high-resolution waitable timers (Windows 10 1803 and later) one of them ends
// the wait; elsewhere the system timer resolution is raised to 1 ms for as long as this
// object lives.
class MessageWait final {
public:
    // `highResolution` false takes the path of systems without such timers (for tests).
    explicit MessageWait(bool highResolution = true);
    ~MessageWait();
    MessageWait(const MessageWait&) = delete;
    MessageWait& operator=(const MessageWait&) = delete;

    // Returns once a message is waiting (also one that was already there) or after
    // `microseconds`; a negative value waits for a message only.
    void Sleep(std::int64_t microseconds);

    bool HighResolution() const { return timer_ != nullptr; }

private:
    HANDLE timer_ = nullptr;
    bool periodRaised_ = false;
};

}  // namespace pio
