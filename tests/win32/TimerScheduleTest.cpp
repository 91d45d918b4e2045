// SPDX-License-Identifier: MIT
#include "platform/win32/TimerSchedule.h"

#include <gtest/gtest.h>

namespace pio {

namespace {

using Ids = std::vector<int>;

TEST(TimerScheduleTest, FirstTickComesOneFullIntervalAfterTheStart) {
    TimerSchedule s;
    const int id = s.add(10, 1000);
    EXPECT_GT(id, 0);
    EXPECT_EQ(s.nextDeadline(), 1010);
    EXPECT_EQ(s.due(1009), Ids{});
    EXPECT_EQ(s.due(1010), Ids{id});
}

TEST(TimerScheduleTest, ALittleLateTickKeepsTheCadence) {
    TimerSchedule s;
    const int id = s.add(10, 0);
    s.begin(id, 13);  // the tick due at 10 ran at 13
    s.end(id);
    EXPECT_EQ(s.nextDeadline(), 20);  // not 23: the refresh stays at 100 per second
    s.begin(id, 20);
    s.end(id);
    EXPECT_EQ(s.nextDeadline(), 30);
}

TEST(TimerScheduleTest, MissedIntervalsDoNotCauseABurst) {
    TimerSchedule s;
    const int id = s.add(10, 0);
    s.begin(id, 55);  // a slow handler elsewhere kept the loop away from 10 until 55
    s.end(id);
    // One tick now, the next one a full interval later; none for 20, 30, 40 or 50.
    EXPECT_EQ(s.due(56), Ids{});
    EXPECT_EQ(s.due(64), Ids{});
    EXPECT_EQ(s.nextDeadline(), 65);
    EXPECT_EQ(s.due(65), Ids{id});
}

TEST(TimerScheduleTest, ATickExactlyOneIntervalLateIsNotRepeatedAtOnce) {
    TimerSchedule s;
    const int id = s.add(10, 0);
    s.begin(id, 20);  // the tick due at 10 ran when the next was due
    s.end(id);
    EXPECT_EQ(s.due(20), Ids{});
    EXPECT_EQ(s.nextDeadline(), 30);
}

TEST(TimerScheduleTest, ARunningTimerIsNeverDueAgainUntilItsHandlerReturns) {
    TimerSchedule s;
    const int id = s.add(10, 0);
    s.begin(id, 10);
    // Its handler pumps events for a long time (a Delay inside the tick).
    EXPECT_EQ(s.due(500), Ids{});
    EXPECT_EQ(s.nextDeadline(), TimerSchedule::kNever);
    s.end(id);
    EXPECT_EQ(s.due(500), Ids{id});
}

TEST(TimerScheduleTest, OtherTimersStayDueWhileOneRuns) {
    TimerSchedule s;
    const int slow = s.add(10, 0);
    const int fast = s.add(5, 0);
    s.begin(slow, 10);
    EXPECT_EQ(s.due(10), Ids{fast});
    EXPECT_EQ(s.nextDeadline(), 5);
}

TEST(TimerScheduleTest, DueTimersComeEarliestFirst) {
    TimerSchedule s;
    const int late = s.add(30, 0);
    const int early = s.add(10, 0);
    const int middle = s.add(20, 0);
    EXPECT_EQ(s.due(100), (Ids{early, middle, late}));
    EXPECT_EQ(s.nextDeadline(), 10);
}

TEST(TimerScheduleTest, ARemovedTimerIsGoneAndItsIdIsNotReused) {
    TimerSchedule s;
    const int a = s.add(10, 0);
    EXPECT_TRUE(s.remove(a));
    EXPECT_FALSE(s.remove(a));
    EXPECT_FALSE(s.contains(a));
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.due(1000), Ids{});
    EXPECT_EQ(s.nextDeadline(), TimerSchedule::kNever);
    const int b = s.add(10, 0);
    EXPECT_NE(a, b);  // a stale stop of `a` cannot hit `b`
}

TEST(TimerScheduleTest, RemovingATimerInsideItsOwnTickIsSafe) {
    TimerSchedule s;
    const int id = s.add(10, 0);
    s.begin(id, 10);
    EXPECT_TRUE(s.remove(id));  // TTimer disables itself in its handler
    s.end(id);
    EXPECT_FALSE(s.contains(id));
    EXPECT_EQ(s.due(100), Ids{});
}

TEST(TimerScheduleTest, StartingAgainCountsTheIntervalFromTheNewStart) {
    TimerSchedule s;
    const int first = s.add(100, 0);
    s.remove(first);  // a TTimer restarts by stopping and starting
    const int again = s.add(100, 70);
    EXPECT_EQ(s.nextDeadline(), 170);
    EXPECT_EQ(s.due(169), Ids{});
    EXPECT_EQ(s.due(170), Ids{again});
}

TEST(TimerScheduleTest, AZeroIntervalStillLeavesTimeToWait) {
    TimerSchedule s;
    const int id = s.add(0, 40);
    EXPECT_EQ(s.nextDeadline(), 41);
    s.begin(id, 41);
    s.end(id);
    EXPECT_EQ(s.nextDeadline(), 42);
}

}  // namespace

}  // namespace pio
