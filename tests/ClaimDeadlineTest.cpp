// SPDX-License-Identifier: MIT
#include "output/ClaimDeadline.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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
    // A deadline gone leaves no timer behind: the read after it is interrupted by the second
    // deadline, which is the one that expired.
    EmptyPipe pipe;
    char byte = 0;
    {
        ClaimDeadline first(10);
        EXPECT_EQ(::read(pipe.reader(), &byte, 1), -1);
        EXPECT_TRUE(first.expired());
    }
    ClaimDeadline second(10);
    EXPECT_FALSE(second.expired());
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
