// SPDX-License-Identifier: MIT
#include "output/ClaimDeadline.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace pio {

namespace {

// A pipe nobody writes to: reading it blocks until a signal interrupts the read.
class EmptyPipe {
public:
    EmptyPipe() { EXPECT_EQ(::pipe(fds_), 0); }
    ~EmptyPipe() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    int reader() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
};

TEST(ClaimDeadline, EndsABlockingCallWithEintrAndSaysSo) {
    EmptyPipe pipe;
    ClaimDeadline deadline(20);
    ASSERT_TRUE(deadline.active());
    char byte = 0;
    const ssize_t n = ::read(pipe.reader(), &byte, 1);
    const int err = errno;
    EXPECT_EQ(n, -1);
    EXPECT_EQ(err, EINTR);
    EXPECT_TRUE(deadline.expired());
}

TEST(ClaimDeadline, CutsShortACallThatBeginsAfterTheFirstSignal) {
    // A thread held up between arming and the call takes the first signal before the call has
    // begun. Here sigtimedwait takes it, while the signal is blocked; the call that follows
    // must still end early, not run into the poll's own 10 s.
    sigset_t deadlineOnly, previous;
    sigemptyset(&deadlineOnly);
    sigaddset(&deadlineOnly, ClaimDeadline::Signal());
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &deadlineOnly, &previous), 0);
    EmptyPipe pipe;
    ClaimDeadline deadline(20);
    const timespec generous{10, 0};
    const int taken = ::sigtimedwait(&deadlineOnly, nullptr, &generous);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ASSERT_TRUE(deadline.active());
    ASSERT_EQ(taken, ClaimDeadline::Signal());
    EXPECT_TRUE(deadline.expired());

    pollfd reader{pipe.reader(), POLLIN, 0};
    const int n = ::poll(&reader, 1, 10000);
    const int err = errno;
    EXPECT_EQ(n, -1) << "the call ran its whole 10 s: nothing cut it short";
    EXPECT_EQ(err, EINTR);
}

TEST(ClaimDeadline, NotExpiredBeforeItsTime) {
    ClaimDeadline deadline(60000);
    ASSERT_TRUE(deadline.active());
    EXPECT_FALSE(deadline.expired());
}

TEST(ClaimDeadline, LeavesTheCallersErrnoAlone) {
    errno = EIO;
    {
        ClaimDeadline deadline(60000);
        EXPECT_EQ(errno, EIO);
        EXPECT_FALSE(deadline.expired());
        EXPECT_EQ(errno, EIO);
    }
    EXPECT_EQ(errno, EIO);
}

TEST(ClaimDeadline, OneAfterAnotherEachInterruptsOnlyItsOwnCall) {
    // A deadline gone leaves no timer behind (the first one fired more than once by the time
    // it ends): a wait after it runs its full time, and only the second deadline cuts the
    // read after that short.
    EmptyPipe pipe;
    char byte = 0;
    {
        ClaimDeadline first(10);
        EXPECT_EQ(::read(pipe.reader(), &byte, 1), -1);
        EXPECT_TRUE(first.expired());
        timespec twoShotsMore{0, 30 * 1000000L};
        while (::nanosleep(&twoShotsMore, &twoShotsMore) != 0 && errno == EINTR) {
        }
    }
    pollfd reader{pipe.reader(), POLLIN, 0};
    EXPECT_EQ(::poll(&reader, 1, 200), 0) << "a signal came after its deadline had ended";
    ClaimDeadline second(10);
    EXPECT_EQ(::read(pipe.reader(), &byte, 1), -1);
    EXPECT_EQ(errno, EINTR);
    EXPECT_TRUE(second.expired());
}

// No queued signal left for the timer (RLIMIT_SIGPENDING 0): the deadline says it is not
// armed and why, so the claim is not started without it.
TEST(ClaimDeadline, ThatCannotBeArmedSaysSo) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit none{0, 0};
        if (::setrlimit(RLIMIT_SIGPENDING, &none) != 0) ::_exit(99);
        ClaimDeadline deadline(20);
        ::_exit(!deadline.active() && deadline.error() == EAGAIN ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: armed anyway, or another reason";
    ClaimDeadline armed(20);
    EXPECT_TRUE(armed.active());
    EXPECT_EQ(armed.error(), 0);
}

}  // namespace

}  // namespace pio
