// SPDX-License-Identifier: MIT
// Where the panel (and a hint) goes on screens of every size.
#include "panel/PanelPlacement.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Geometry.h"

namespace pio {

namespace {

struct Case {
    const char* name;
    Rect screen;
    Point expected;
};

class PanelPlacementTest : public ::testing::TestWithParam<Case> {};

constexpr Rect kPanel{321, 112, 340, 200};

}  // namespace

TEST_P(PanelPlacementTest, StaysOrMovesTheLeast) {
    const Case& c = GetParam();
    const Point at = PanelPlacement(kPanel, c.screen);
    EXPECT_EQ(at.x, c.expected.x);
    EXPECT_EQ(at.y, c.expected.y);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, PanelPlacementTest,
    ::testing::Values(Case{"Large", {0, 0, 1280, 1024}, {321, 112}},
                      Case{"JustFits", {0, 0, 661, 312}, {321, 112}},
                      Case{"OnePixelNarrow", {0, 0, 660, 312}, {320, 112}},
                      Case{"OnePixelShort", {0, 0, 661, 311}, {321, 111}},
                      Case{"Vga", {0, 0, 640, 480}, {300, 112}},
                      Case{"ScaledByTwo", {0, 0, 640, 512}, {300, 112}},
                      Case{"Small", {0, 0, 320, 240}, {0, 40}},  // too narrow: the left part shows
                      Case{"Tiny", {0, 0, 100, 50}, {0, 0}},
                      // A screen that does not start at 0,0 (a second monitor's coordinates).
                      Case{"Offset", {1280, 0, 400, 300}, {1280, 100}},
                      Case{"NegativeOrigin", {-800, -600, 800, 600}, {-340, -200}}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace pio
