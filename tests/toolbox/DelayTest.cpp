// SPDX-License-Identifier: MIT
#include "toolbox/Delay.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "panel/TComponent.h"
#include "support/SimPlatform.h"

namespace pio {

TEST(Delay, AtLeastOnePassAndReturnsAtTheDeadline) {
    SimPlatform sim;
    std::vector<std::int64_t> seen;
    sim.at(0).call([&] {
        Delay(sim, 0);  // still hands pending events on
        seen.push_back(sim.tickCount());
        Delay(sim, 100);
        seen.push_back(sim.tickCount());
    });
    sim.at(0).call([&] { seen.push_back(-1); });
    sim.runUntil(1000);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{-1, 0, 100}));
}

TEST(Delay, HandsOnEveryEventThatFallsDueInOrder) {
    SimPlatform sim;
    std::vector<std::string> log;
    TTimer timer("t", sim, 30, true);
    timer.SetOnTimer([&](TComponent*) { log.push_back("tick" + std::to_string(sim.tickCount())); });
    sim.at(5).call([&] {
        Delay(sim, 100);
        log.push_back("done" + std::to_string(sim.tickCount()));
    });
    sim.at(40).call([&] { log.emplace_back("a40"); });
    sim.at(60).call([&] { log.emplace_back("b60"); });
    sim.runUntil(106);
    EXPECT_EQ(log,
              (std::vector<std::string>{"tick30", "a40", "b60", "tick60", "tick90", "done105"}));
}

TEST(Delay, ASlowNestedHandlerMakesTheWaitLate) {
    SimPlatform sim;
    std::int64_t took = 0;
    sim.at(0).call([&] {
        const auto t0 = sim.tickCount();
        Delay(sim, 50);
        took = sim.tickCount() - t0;
    });
    sim.at(20).busy(130);
    sim.runUntil(1000);
    EXPECT_EQ(took, 150);
}

}  // namespace pio
