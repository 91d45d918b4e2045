// SPDX-License-Identifier: MIT
#include "output/ClaimDeadline.h"

#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace pio {

namespace {

// Interrupting is all the signal is for.
void Ignore(int) {}

void InstallHandler() {
    struct sigaction action = {};
    action.sa_handler = Ignore;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the interrupted call must return EINTR
    sigaction(ClaimDeadline::Signal(), &action, nullptr);
}

}  // namespace

int ClaimDeadline::Signal() {
    // A real-time signal nobody else in the program uses (Qt and glibc use none of these).
    return SIGRTMIN + 3;
}

ClaimDeadline::ClaimDeadline(long milliseconds) {
    static std::once_flag installed;
    std::call_once(installed, InstallHandler);

    const int saved = errno;  // the caller's errno is no business of ours
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = Signal();
    event._sigev_un._tid = static_cast<pid_t>(::syscall(SYS_gettid));
    if (::timer_create(CLOCK_MONOTONIC, &event, &timer_) != 0) {
        error_ = errno;
    } else {
        itimerspec when{};
        when.it_value.tv_sec = milliseconds / 1000;
        when.it_value.tv_nsec = (milliseconds % 1000) * 1000000L;
        when.it_interval = when.it_value;
        ::clock_gettime(CLOCK_MONOTONIC, &end_);
        end_.tv_sec += when.it_value.tv_sec;
        end_.tv_nsec += when.it_value.tv_nsec;
        if (end_.tv_nsec >= 1000000000L) {
            end_.tv_nsec -= 1000000000L;
            ++end_.tv_sec;
        }
        armed_ = ::timer_settime(timer_, 0, &when, nullptr) == 0;
        if (!armed_) {
            error_ = errno;
            ::timer_delete(timer_);
        }
    }
    if (!armed_ && error_ == 0) error_ = EAGAIN;
    errno = saved;
}

ClaimDeadline::~ClaimDeadline() {
    if (!armed_) return;
    const int saved = errno;  // the destructor runs between a failed call and its report
    ::timer_delete(timer_);
    errno = saved;
}

bool ClaimDeadline::expired() const {
    if (!armed_) return false;
    const int saved = errno;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    errno = saved;
    return now.tv_sec > end_.tv_sec || (now.tv_sec == end_.tv_sec && now.tv_nsec >= end_.tv_nsec);
}

}  // namespace pio
