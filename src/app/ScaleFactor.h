// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// Qt takes its scaling variables as they come: QT_SCALE_FACTOR=0 or "nan" left the panel
// without a window and the program running with nothing said, -1 or 1000 made the window 32767
// pixels wide or more. Only factors at which the panel can be seen and used are let through;
// a variable with any other is left unused, with a line on standard error that says so.
class ScaleFactor final {
public:
    // The panel (340 x 200) from 85 x 50 to 2720 x 1600 pixels.
    static constexpr double kLeast = 0.25;
    static constexpr double kMost = 8.0;

    // The variables checked, in the order they are checked.
    static constexpr const char* kVariables[] = {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS"};

    // Whether `value` of `variable` may be used: QT_SCALE_FACTOR one factor, and
    // QT_SCREEN_SCALE_FACTORS a list of factors separated by ";", each alone or as
    // "SCREEN=factor". An empty value is no setting and may stay.
    static bool Usable(const std::string& variable, const std::string& value);
    // One factor, a decimal number with "." (space around it allowed), within the range.
    static bool FactorUsable(const std::string& text);

    // "pio-out: QT_SCALE_FACTOR „0“ wird nicht beachtet (erlaubt: 0.25 bis 8)\n"
    static std::string IgnoredLine(const std::string& variable, const std::string& value);
};
