// SPDX-License-Identifier: MIT
#include "output/ClaimDeadline.h"

#include <gtest/gtest.h>
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

}  // namespace
