// SPDX-License-Identifier: MIT
#include "platform/win32/DpiScale.h"

#include <gtest/gtest.h>

namespace pio {

namespace {

TEST(DpiScaleTest, FactorIsTheWholeNumberNearestToDpiOver96) {
    EXPECT_EQ(DpiScale::ForDpi(96), 1);
    EXPECT_EQ(DpiScale::ForDpi(120), 1);  // 125 %
    EXPECT_EQ(DpiScale::ForDpi(143), 1);
    EXPECT_EQ(DpiScale::ForDpi(144), 2);  // 150 %: halves go up
    EXPECT_EQ(DpiScale::ForDpi(168), 2);  // 175 %
    EXPECT_EQ(DpiScale::ForDpi(192), 2);  // 200 %
    EXPECT_EQ(DpiScale::ForDpi(240), 3);  // 250 %
    EXPECT_EQ(DpiScale::ForDpi(288), 3);  // 300 %
    EXPECT_EQ(DpiScale::ForDpi(384), 4);
}

TEST(DpiScaleTest, FactorIsNeverBelowOne) {
    EXPECT_EQ(DpiScale::ForDpi(72), 1);
    EXPECT_EQ(DpiScale::ForDpi(47), 1);
    EXPECT_EQ(DpiScale::ForDpi(0), 1);
    EXPECT_EQ(DpiScale::ForDpi(-96), 1);
}

TEST(DpiScaleTest, PhysicalPointsMapToTheLogicalPixelThatCoversThem) {
    EXPECT_EQ(DpiScale::ToLogical(0, 2), 0);
    EXPECT_EQ(DpiScale::ToLogical(1, 2), 0);
    EXPECT_EQ(DpiScale::ToLogical(2, 2), 1);
    EXPECT_EQ(DpiScale::ToLogical(601, 2), 300);
    EXPECT_EQ(DpiScale::ToLogical(5, 3), 1);
    EXPECT_EQ(DpiScale::ToLogical(77, 1), 77);
}

TEST(DpiScaleTest, PointsLeftOfOrAboveTheWindowStayOutside) {
    // A captured pointer dragged off the panel's left edge must not land on column 0.
    EXPECT_EQ(DpiScale::ToLogical(-1, 2), -1);
    EXPECT_EQ(DpiScale::ToLogical(-2, 2), -1);
    EXPECT_EQ(DpiScale::ToLogical(-3, 2), -2);
    EXPECT_EQ(DpiScale::ToLogical(-1, 1), -1);
}

TEST(DpiScaleTest, LengthsRoundUpSoNothingIsCutOff) {
    EXPECT_EQ(DpiScale::ToLogicalLength(4, 2), 2);
    EXPECT_EQ(DpiScale::ToLogicalLength(5, 2), 3);
    EXPECT_EQ(DpiScale::ToLogicalLength(1, 3), 1);
    EXPECT_EQ(DpiScale::ToLogicalLength(0, 2), 0);
    EXPECT_EQ(DpiScale::ToLogicalLength(141, 1), 141);
}

}  // namespace

}  // namespace pio
