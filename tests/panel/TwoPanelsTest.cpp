// SPDX-License-Identifier: MIT
// Two panels on one port, each on its own simulated platform: one drives the port, and the
// other takes over when the first lets go.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "panel/TComponent.h"
#include "support/FakePortDevice.h"
#include "support/PanelRig.h"

namespace pio {

TEST(TwoPanelsTest, OnlyOneDrivesThePortTheOtherTakesOver) {
    auto port = std::make_shared<FakePortDevice::Port>();
    auto first = std::make_unique<PanelRig>(port);
    auto second = std::make_unique<PanelRig>(port);
    auto at = [](const TControl* c) { return PanelRig::Centre(c); };
    first->sim.at(5).doubleClick(at(first->form.pout));
    second->sim.at(5).doubleClick(at(second->form.pout));
    // Boxes are answered at once, so that neither panel's clock runs ahead of the other in
    // a box's modal loop: both panels run side by side in 10 ms slices of their own clocks.
    first->sim.answerBoxesAfter(1);
    second->sim.answerBoxesAfter(1);
    auto runBoth = [&](std::int64_t until) {
        for (std::int64_t t = first->sim.tickCount(); t < until; t += 10) {
            first->sim.runUntil(t + 10);
            second->sim.runUntil(t + 10);
        }
    };
    runBoth(1000);
    EXPECT_EQ(first->device.bytes().size(), 100u);
    EXPECT_TRUE(second->device.bytes().empty());
    EXPECT_EQ(first->sim.boxes().size(), 0u);
    ASSERT_EQ(second->sim.boxes().size(), 1u);  // one report for the whole episode
    EXPECT_EQ(second->sim.boxes()[0].text, "Der Port wird von einem anderen Panel benutzt.");

    // The first panel switches port output off: the second takes the port at its next tick.
    first->sim.at(1000).doubleClick(at(first->form.pout));
    runBoth(1010);
    const auto firstBytes = first->device.bytes().size();
    EXPECT_EQ(second->device.bytes().size(), 1u);
    // Port output on again in the first: now it is the one refused, with one report.
    first->sim.at(1100).doubleClick(at(first->form.pout));
    runBoth(1500);
    EXPECT_EQ(first->device.bytes().size(), firstBytes);
    ASSERT_EQ(first->sim.boxes().size(), 1u);
    EXPECT_EQ(first->sim.boxes()[0].text, "Der Port wird von einem anderen Panel benutzt.");
    EXPECT_EQ(second->device.bytes().size(), 50u);

    // The second panel ends without switching port output off; the system frees its
    // claim, and the first panel drives the port from its next tick on.
    second.reset();
    first->sim.runUntil(first->sim.tickCount() + 10);
    EXPECT_EQ(first->device.bytes().size(), firstBytes + 1);
}

}  // namespace pio
