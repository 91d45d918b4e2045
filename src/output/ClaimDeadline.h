// SPDX-License-Identifier: MIT
#pragma once

#include <signal.h>
#include <time.h>

namespace pio {

// Cuts a blocking system call of the calling thread short after a given time: a timer sends
// a signal to this thread alone, whose handler does nothing and is installed without
// SA_RESTART, so the call returns EINTR. expired() then tells that EINTR from one caused by
// any other signal.
//
// The timer goes on firing, once per the same time, until the deadline ends. A thread held
// up between arming and the call (a busy machine) takes the first signal before the call
// has begun; one shot would then leave the call without a limit.
//
// Needed for ppdev's PPCLAIM, which waits without limit while another program holds the port,
// and waits holding the lock that all ppdev requests take: the holder cannot even release the
// port while we wait, so without a limit both programs hang for good.
//
// Where no timer can be made (out of memory, or no queued signal left under RLIMIT_SIGPENDING),
// the deadline is inactive and error() says why: the caller must not start the call then, as
// it would block without limit.
class ClaimDeadline final {
public:
    explicit ClaimDeadline(long milliseconds);
    ~ClaimDeadline();

    ClaimDeadline(const ClaimDeadline&) = delete;
    ClaimDeadline& operator=(const ClaimDeadline&) = delete;

    bool active() const { return armed_; }
    // The errno of the failure to arm the timer; 0 when it is armed.
    int error() const { return error_; }
    // True once the time is up (the call was, or will be, interrupted).
    bool expired() const;

    // The signal the deadline uses; its handler is installed by the first deadline.
    static int Signal();

private:
    timer_t timer_{};
    timespec end_{};
    bool armed_ = false;
    int error_ = 0;
};

}  // namespace pio
