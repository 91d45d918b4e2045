// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/StartupResources.h"
#include "app/linux/ResourceProbe.h"

namespace pio {

namespace {

using Shortage = StartupResources::Shortage;

int OpenBelow(std::int64_t limit) {
    int n = 0;
    for (int fd = 0; fd < limit && fd < 65536; ++fd)
        if (::fcntl(fd, F_GETFD) != -1) ++n;
    return n;
}

// Puts a resource limit back when the test ends, however it ends.
class LimitGuard {
public:
    explicit LimitGuard(int resource) : resource_(resource) { ::getrlimit(resource_, &saved_); }
    ~LimitGuard() { ::setrlimit(resource_, &saved_); }
    bool Lower(rlim_t soft) {
        rlimit l = saved_;
        l.rlim_cur = soft;
        return ::setrlimit(resource_, &l) == 0;
    }

private:
    int resource_;
    rlimit saved_{};
};

// Takes every descriptor number up to the limit, so that the next open fails with EMFILE.
class Exhaust {
public:
    Exhaust() {
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fds_.push_back(fd);
    }
    ~Exhaust() {
        for (int fd : fds_) ::close(fd);
    }

private:
    std::vector<int> fds_;
};

}  // namespace

TEST(ResourceProbe, MeasuresTheLimitsAndWhatIsInUse) {
    rlimit nofile{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &nofile), 0);
    const auto f = ResourceProbe::Measure();
    if (nofile.rlim_cur == RLIM_INFINITY) {
        EXPECT_EQ(f.descriptorLimit, -1);
    } else {
        EXPECT_EQ(f.descriptorLimit, static_cast<std::int64_t>(nofile.rlim_cur));
    }
    EXPECT_EQ(f.descriptorsInUse, OpenBelow(f.descriptorLimit < 0 ? 65536 : f.descriptorLimit));
    EXPECT_GT(f.addressSpaceInUse, 0);
    EXPECT_GT(f.threadStack, 0);
}

TEST(ResourceProbe, CountsNewlyOpenedDescriptors) {
    const auto before = ResourceProbe::Measure();
    int fds[5];
    for (int& fd : fds) fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const auto after = ResourceProbe::Measure();
    for (int fd : fds) ::close(fd);
    EXPECT_EQ(after.descriptorsInUse, before.descriptorsInUse + 5);
}

TEST(ResourceProbe, AHealthyProcessHasNoShortage) {
    EXPECT_TRUE(ResourceProbe::CanOpenFile());
    EXPECT_TRUE(ResourceProbe::CanMap(std::size_t{16} << 20));
    EXPECT_TRUE(ResourceProbe::CanStartThread());
    EXPECT_EQ(ResourceProbe::AfterFailure(), Shortage::None);
}

TEST(ResourceProbe, OutOfDescriptorsIsNamedAsSuch) {
    LimitGuard guard(RLIMIT_NOFILE);
    // Fewer free than start-up needs, though some are left.
    const auto inUse = ResourceProbe::Measure().descriptorsInUse;
    ASSERT_TRUE(guard.Lower(static_cast<rlim_t>(inUse + StartupResources::kDescriptorsNeeded - 4)));
    EXPECT_EQ(ResourceProbe::BeforeStart(), Shortage::FileHandles);
    EXPECT_TRUE(ResourceProbe::CanOpenFile());
    ASSERT_TRUE(guard.Lower(static_cast<rlim_t>(inUse + StartupResources::kDescriptorsNeeded + 4)));
    EXPECT_EQ(ResourceProbe::BeforeStart(), Shortage::None);
    {
        Exhaust all;
        EXPECT_FALSE(ResourceProbe::CanOpenFile());
        EXPECT_EQ(ResourceProbe::AfterFailure(), Shortage::FileHandles);
    }
    EXPECT_TRUE(ResourceProbe::CanOpenFile());
}

TEST(ResourceProbe, OutOfAddressSpaceIsNamedAsSuch) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not run under an address-space limit";
#endif
    const auto f = ResourceProbe::Measure();
    LimitGuard guard(RLIMIT_AS);
    // 8 MB more than mapped now: less than start-up needs and than the probe's 16 MB.
    ASSERT_TRUE(guard.Lower(static_cast<rlim_t>(f.addressSpaceInUse + (std::int64_t{8} << 20))));
    EXPECT_FALSE(ResourceProbe::CanMap(std::size_t{16} << 20));
    EXPECT_EQ(ResourceProbe::AfterFailure(), Shortage::Memory);
    EXPECT_EQ(ResourceProbe::BeforeStart(), Shortage::Memory);
}

}  // namespace pio
