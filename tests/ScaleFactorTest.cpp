// SPDX-License-Identifier: MIT
// Which scaling factors from Qt's variables the program lets through to Qt.
#include <gtest/gtest.h>

#include "app/ScaleFactor.h"

TEST(ScaleFactor, FactorsTheScreenCanShowAreUsed) {
    for (const char* f : {"1", "2", "1.5", "0.25", "8", " 2", "2 ", "3e0"})
        EXPECT_TRUE(ScaleFactor::Usable("QT_SCALE_FACTOR", f)) << f;
    EXPECT_TRUE(ScaleFactor::Usable("QT_SCALE_FACTOR", ""));  // set to nothing: no setting
}

TEST(ScaleFactor, NoWindowOrAHugeOneIsNotLetThrough) {
    // 0, nan and inf left no window and the program running; -1 and 1000 made it 65376 and
    // 32767 pixels wide.
    for (const char* f : {"0", "nan", "NaN", "inf", "-inf", "-1", "1000", "0.2", "8.5", "1e308",
                          "-0", "1,5", "2x", "x", "  "})
        EXPECT_FALSE(ScaleFactor::Usable("QT_SCALE_FACTOR", f)) << f;
}

TEST(ScaleFactor, EveryScreenFactorIsChecked) {
    const char* v = "QT_SCREEN_SCALE_FACTORS";
    EXPECT_TRUE(ScaleFactor::Usable(v, "2"));
    EXPECT_TRUE(ScaleFactor::Usable(v, "1;2;1.5"));
    EXPECT_TRUE(ScaleFactor::Usable(v, "HDMI-1=2;DP-1=1;"));
    EXPECT_FALSE(ScaleFactor::Usable(v, "1000"));
    EXPECT_FALSE(ScaleFactor::Usable(v, "1;0"));
    EXPECT_FALSE(ScaleFactor::Usable(v, "HDMI-1=2;DP-1=nan"));
    EXPECT_FALSE(ScaleFactor::Usable(v, "HDMI-1=-1"));
}

TEST(ScaleFactor, TheLineSaysWhatIsLeftUnused) {
    EXPECT_EQ(ScaleFactor::IgnoredLine("QT_SCALE_FACTOR", "0"),
              "pio-out: QT_SCALE_FACTOR „0“ wird nicht beachtet (erlaubt: 0.25 bis 8)\n");
    // Like the command line's words: a control in the value does not break the line.
    EXPECT_EQ(ScaleFactor::IgnoredLine("QT_SCALE_FACTOR", "1\n2"),
              "pio-out: QT_SCALE_FACTOR „1?2“ wird nicht beachtet (erlaubt: 0.25 bis 8)\n");
}
