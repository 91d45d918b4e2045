// SPDX-License-Identifier: MIT
// Which Qt platform the panel runs on, by what the session offers.
#include "platform/qt/DisplayPlatform.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <string>

namespace pio {
namespace {

struct Case {
    const char* name;
    DisplayEnvironment env;
    const char* expected;
};

class DisplayPlatformTest : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(DisplayPlatformTest, ChoosesBySession) {
    const Case& c = GetParam();
    EXPECT_EQ(DisplayPlatformFor(c.env), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, DisplayPlatformTest,
    ::testing::Values(
        // Xwayland beside Wayland (GNOME, Plasma): X, where the panel keeps its place.
        Case{"XwaylandBesideWayland", {nullptr, ":0", "wayland-0"}, "xcb"},
        Case{"XOnly", {nullptr, ":1", nullptr}, "xcb"},
        Case{"WaylandOnly", {nullptr, nullptr, "wayland-1"}, "wayland"},
        // An empty variable is no display.
        Case{"EmptyDisplayBesideWayland", {nullptr, "", "wayland-0"}, "wayland"},
        Case{"EmptyWaylandBesideX", {nullptr, ":0", ""}, "xcb"},
        // The user's own choice stands, whatever the session offers.
        Case{"UserChoseWayland", {"wayland", ":0", "wayland-0"}, ""},
        Case{"UserChoseXcbOnWayland", {"xcb", nullptr, "wayland-0"}, ""},
        Case{"UserChoseOffscreen", {"offscreen", nullptr, nullptr}, ""},
        // An empty QT_QPA_PLATFORM is no choice.
        Case{"EmptyChoice", {"", ":0", "wayland-0"}, "xcb"},
        // No display at all: Qt's own attempt fails and start-up reports it.
        Case{"Nothing", {nullptr, nullptr, nullptr}, ""}, Case{"AllEmpty", {"", "", ""}, ""}),
    [](const ::testing::TestParamInfo<Case>& test) { return std::string(test.param.name); });

// The choice reaches Qt through QT_QPA_PLATFORM; a choice already there is kept.
TEST(ChooseDisplayPlatformTest, SetsQtsVariableOnlyWithoutAChoice) {
    const char* saved[] = {std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                           std::getenv("WAYLAND_DISPLAY")};
    const std::string keep[] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "",
                                saved[2] ? saved[2] : ""};

    ::unsetenv("QT_QPA_PLATFORM");
    ::setenv("DISPLAY", ":7", 1);
    ::setenv("WAYLAND_DISPLAY", "wayland-7", 1);
    ChooseDisplayPlatform();
    ASSERT_NE(std::getenv("QT_QPA_PLATFORM"), nullptr);
    EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb");

    ::unsetenv("DISPLAY");
    ::setenv("QT_QPA_PLATFORM", "wayland-egl", 1);
    ChooseDisplayPlatform();
    EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "wayland-egl");

    ::unsetenv("QT_QPA_PLATFORM");
    ChooseDisplayPlatform();
    ASSERT_NE(std::getenv("QT_QPA_PLATFORM"), nullptr);
    EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "wayland");

    const char* names[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i])
            ::setenv(names[i], keep[i].c_str(), 1);
        else
            ::unsetenv(names[i]);
    }
}

}  // namespace pio
