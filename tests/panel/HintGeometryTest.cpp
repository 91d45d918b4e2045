// SPDX-License-Identifier: MIT
#include "panel/HintGeometry.h"

#include <gtest/gtest.h>

#include "platform/Geometry.h"

namespace pio {

TEST(HintGeometry, ShortHintIsTheTextBeforeTheFirstBar) {
    EXPECT_EQ(ShortHint("Rider"), "Rider");
    EXPECT_EQ(ShortHint("kurz|lang|mehr"), "kurz");
    EXPECT_EQ(ShortHint("|lang"), "");
}

TEST(HintGeometry, BelowTheControlAndKeptOnTheScreen) {
    const Rect screen{0, 0, 800, 600};
    EXPECT_EQ(HintPosition({100, 100, 11, 11}, {50, 15}, screen), (Point{100, 117}));
    // Right edge: moved left so the box ends at the screen's edge.
    EXPECT_EQ(HintPosition({780, 100, 11, 11}, {50, 15}, screen), (Point{750, 117}));
    // Bottom edge: moved up.
    EXPECT_EQ(HintPosition({100, 590, 11, 11}, {50, 15}, screen), (Point{100, 585}));
    // A screen that does not start at 0.
    EXPECT_EQ(HintPosition({-10, 5, 11, 11}, {50, 15}, {0, 0, 800, 600}), (Point{0, 22}));
}

}  // namespace pio
