// SPDX-License-Identifier: MIT
#include "platform/win32/MessageWait.h"

#include <gtest/gtest.h>

#include "platform/win32/PreciseClock.h"

namespace pio {

namespace {

// Both ways of ending a wait: the high-resolution timer of newer Windows, and the raised
// system tick of Windows 7 (true and false). Bounds, not exact times: the machine may be busy.
class MessageWaitTest : public ::testing::TestWithParam<bool> {};

TEST_P(MessageWaitTest, ATimedWaitEndsNotBeforeItsTimeAndNotMuchAfter) {
    MessageWait wait(GetParam());
    const PreciseClock clock;
    for (const std::int64_t us : {2000, 10000, 30000}) {
        const std::int64_t start = clock.Microseconds();
        wait.Sleep(us);
        const std::int64_t took = clock.Microseconds() - start;
        EXPECT_GE(took, us - 1000) << "asked for " << us << " us";
        EXPECT_LT(took, us + 50000) << "asked for " << us << " us";
    }
}

TEST_P(MessageWaitTest, AWaitingMessageEndsTheWaitAtOnce) {
    MessageWait wait(GetParam());
    const PreciseClock clock;
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    const std::int64_t start = clock.Microseconds();
    wait.Sleep(5000000);
    EXPECT_LT(clock.Microseconds() - start, 1000000);
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));  // still there
}

INSTANTIATE_TEST_SUITE_P(BothTimers, MessageWaitTest, ::testing::Values(true, false));

}  // namespace

}  // namespace pio
