// SPDX-License-Identifier: MIT
#include "toolbox/PowerOfTwo.h"

#include <gtest/gtest.h>

namespace pio {

TEST(PowerOfTwo, OneForZeroAndBelowElseDoubling) {
    EXPECT_EQ(PowerOfTwo(0), 1);
    EXPECT_EQ(PowerOfTwo(-3), 1);
    EXPECT_EQ(PowerOfTwo(1), 2);
    EXPECT_EQ(PowerOfTwo(5), 32);
    EXPECT_EQ(PowerOfTwo(30), 1 << 30);
}

}  // namespace pio
