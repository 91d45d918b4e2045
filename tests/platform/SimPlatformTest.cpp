// SPDX-License-Identifier: MIT
// The event loop's rules, pinned on the simulated platform: nesting, ending, timers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "panel/TComponent.h"
#include "platform/Platform.h"
#include "support/SimPlatform.h"
#include "toolbox/Delay.h"

namespace pio {

namespace {

struct Recorder {
    std::vector<std::string> log;
    std::vector<std::int64_t> at;
    void operator()(SimPlatform& sim, const std::string& what) {
        log.push_back(what);
        at.push_back(sim.tickCount());
    }
};

}  // namespace

TEST(SimPlatform, HandlersNestInsideAPump) {
    SimPlatform sim;
    Recorder r;
    sim.at(10).call([&] {
        r(sim, "outer-start");
        Delay(sim, 50);  // the click below falls due in here and runs nested
        r(sim, "outer-end");
    });
    sim.at(30).call([&] { r(sim, "inner@" + std::to_string(sim.handlerDepth())); });
    sim.runUntil(200);
    EXPECT_EQ(r.log, (std::vector<std::string>{"outer-start", "inner@2", "outer-end"}));
    EXPECT_EQ(r.at[1], 30);
    EXPECT_EQ(r.at[2], 60);
}

TEST(SimPlatform, EndInsideAPumpWaitsForTheOutermostHandler) {
    SimPlatform sim;
    Recorder r;
    sim.at(10).call([&] {
        Delay(sim, 100);
        r(sim, "outer-returns");
    });
    sim.at(20).close();
    sim.at(50).call([&] { r(sim, "still-handled-after-close"); });
    sim.at(500).call([&] { r(sim, "never"); });
    sim.runUntil(1000);
    EXPECT_TRUE(sim.terminated());
    EXPECT_TRUE(sim.loopEnded());
    EXPECT_EQ(r.log, (std::vector<std::string>{"still-handled-after-close", "outer-returns"}));
    EXPECT_EQ(r.at.back(), 110);
    EXPECT_EQ(sim.tickCount(), 110);  // the loop ended as soon as the handler returned
}

TEST(SimPlatform, CloseAtLoopLevelEndsAtOnce) {
    SimPlatform sim;
    int ticks = 0;
    TTimer timer("t", sim, 10, true);
    timer.SetOnTimer([&](TComponent*) { ++ticks; });
    sim.at(55).close();
    sim.runUntil(1000);
    EXPECT_TRUE(sim.loopEnded());
    EXPECT_EQ(ticks, 5);
    EXPECT_EQ(sim.tickCount(), 55);
}

TEST(SimPlatform, TimerTicksOnlyWhenNothingElseIsPending) {
    SimPlatform sim;
    Recorder r;
    TTimer timer("t", sim, 10, true);
    timer.SetOnTimer([&](TComponent*) { r(sim, "tick"); });
    sim.at(10).call([&] { r(sim, "event"); });
    sim.runUntil(10);
    EXPECT_EQ(r.log, (std::vector<std::string>{"event", "tick"}));
}

TEST(SimPlatform, SlowHandlerDelaysLaterTicksWithoutABurst) {
    SimPlatform sim;
    std::vector<std::int64_t> ticks;
    TTimer timer("t", sim, 10, true);
    timer.SetOnTimer([&](TComponent*) { ticks.push_back(sim.tickCount()); });
    sim.at(15).busy(100);  // the loop is blocked from 15 to 115
    sim.runUntil(140);
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{10, 115, 125, 135}));
}

TEST(SimPlatform, TimerRestartRules) {
    SimPlatform sim;
    std::vector<std::int64_t> ticks;
    TTimer timer("t", sim, 100, true);
    timer.SetOnTimer([&](TComponent*) { ticks.push_back(sim.tickCount()); });
    sim.at(150).call([&] { timer.SetEnabled(true); });  // same value: nothing changes
    sim.at(250).call([&] { timer.SetInterval(100); });  // same value: nothing changes
    sim.at(330).call([&] { timer.SetInterval(50); });   // restarts: next at 380
    sim.at(400).call([&] { timer.SetEnabled(false); });
    sim.at(410).call([&] { timer.SetEnabled(true); });  // restarts: next at 460
    sim.runUntil(470);
    EXPECT_EQ(ticks, (std::vector<std::int64_t>{100, 200, 300, 380, 460}));
}

TEST(SimPlatform, TimerRunsOnlyWithIntervalAndHandler) {
    SimPlatform sim;
    int ticks = 0;
    TTimer noHandler("a", sim, 10, true);
    TTimer zero("b", sim, 0, true);
    zero.SetOnTimer([&](TComponent*) { ++ticks; });
    EXPECT_EQ(sim.activeTimers(), 0u);
    noHandler.SetOnTimer([&](TComponent*) { ++ticks; });
    EXPECT_EQ(sim.activeTimers(), 1u);
    sim.runUntil(35);
    EXPECT_EQ(ticks, 3);
}

TEST(SimPlatform, MessageBoxIsRecordedAndTimersRunWhileItIsOpen) {
    SimPlatform sim;
    sim.answerBoxesAfter(300);
    int ticks = 0;
    TTimer timer("t", sim, 10, true);
    timer.SetOnTimer([&](TComponent*) { ++ticks; });
    sim.at(100).call([&] { sim.messageBox("Text.", "Caption", MessageIcon::Stop); });
    sim.at(150).click({5, 5});  // input to the disabled panel is dropped
    sim.runUntil(400);
    ASSERT_EQ(sim.boxes().size(), 1u);
    EXPECT_EQ(sim.boxes()[0].text, "Text.");
    EXPECT_EQ(sim.boxes()[0].caption, "Caption");
    EXPECT_EQ(sim.boxes()[0].openedAt, 100);
    EXPECT_EQ(sim.boxes()[0].closedAt, 400);
    EXPECT_EQ(ticks, 40);
    EXPECT_EQ(sim.droppedInput(), 2);
}

}  // namespace pio
