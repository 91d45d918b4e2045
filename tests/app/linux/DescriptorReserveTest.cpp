// SPDX-License-Identifier: MIT
#include "app/linux/DescriptorReserve.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace pio {

namespace {

// Lowers this process's descriptor limit for one test and puts it back afterwards.
class DescriptorReserveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved_), 0); }
    void TearDown() override {
        for (int fd : extra_) ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved_);
    }

    // The lowest descriptor number not in use, and so where a limit of "n free" starts.
    static int LowestFree() {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ::close(fd);
        return fd;
    }
    static std::set<int> OpenDescriptors() {
        std::set<int> fds;
        for (int fd = 0; fd < 4096; ++fd)
            if (::fcntl(fd, F_GETFD) != -1) fds.insert(fd);
        return fds;
    }
    // Allows exactly `free` more descriptors (the numbers above the highest in use are free).
    void LimitToFree(int free) {
        const std::set<int> open = OpenDescriptors();
        const int highest = open.empty() ? -1 : *open.rbegin();
        // Fill the holes below the highest, so the count above is all that is left.
        for (int fd = 0; fd < highest; ++fd)
            if (!open.count(fd)) extra_.push_back(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        rlimit limit = saved_;
        limit.rlim_cur = static_cast<rlim_t>(highest + 1 + free);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    }
    // How many descriptors can still be opened (all closed again afterwards).
    static int CountFree() {
        std::vector<int> fds;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fds.push_back(fd);
        for (int fd : fds) ::close(fd);
        return static_cast<int>(fds.size());
    }

    rlimit saved_{};
    std::vector<int> extra_;
};

}  // namespace

TEST_F(DescriptorReserveTest, HoldsItsCountWhenDescriptorsArePlenty) {
    const std::set<int> before = OpenDescriptors();
    DescriptorReserve reserve(8, 4);
    EXPECT_EQ(reserve.Fill(), 8);
    EXPECT_EQ(reserve.Held(), 8);
    const std::set<int> after = OpenDescriptors();
    EXPECT_EQ(after.size(), before.size() + 8);  // the spare went back
    for (int fd : after) {
        if (before.count(fd)) continue;
        EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC) << "descriptor " << fd;
    }
    EXPECT_EQ(reserve.Fill(), 8);  // a second fill takes nothing more
    EXPECT_EQ(OpenDescriptors().size(), before.size() + 8);
}

TEST_F(DescriptorReserveTest, ReleaseGivesEveryDescriptorBack) {
    LimitToFree(10);
    DescriptorReserve reserve(6, 4);
    ASSERT_EQ(reserve.Fill(), 6);
    EXPECT_EQ(CountFree(), 4);
    reserve.Release();
    EXPECT_EQ(reserve.Held(), 0);
    EXPECT_EQ(CountFree(), 10);
}

TEST_F(DescriptorReserveTest, AFillWhenShortLeavesTheSpareFree) {
    LimitToFree(7);
    DescriptorReserve reserve(8, 4);
    EXPECT_EQ(reserve.Fill(), 3);
    EXPECT_EQ(CountFree(), 4);
}

TEST_F(DescriptorReserveTest, AFillWithFewerThanTheSpareFreeTakesNothing) {
    LimitToFree(3);
    DescriptorReserve reserve(8, 4);
    EXPECT_EQ(reserve.Fill(), 0);
    EXPECT_EQ(CountFree(), 3);
}

TEST_F(DescriptorReserveTest, ALaterFillTopsUpOnceDescriptorsAreFreeAgain) {
    LimitToFree(6);
    DescriptorReserve reserve(8, 4);
    ASSERT_EQ(reserve.Fill(), 2);
    LimitToFree(20);  // the two held count as in use: 20 beyond them
    EXPECT_EQ(reserve.Fill(), 8);
    EXPECT_EQ(CountFree(), 14);
}

TEST_F(DescriptorReserveTest, TheDestructorClosesThem) {
    LimitToFree(10);
    {
        DescriptorReserve reserve(5, 2);
        ASSERT_EQ(reserve.Fill(), 5);
        EXPECT_EQ(CountFree(), 5);
    }
    EXPECT_EQ(CountFree(), 10);
}

}  // namespace pio
