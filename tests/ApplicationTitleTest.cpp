// SPDX-License-Identifier: MIT
#include "app/ApplicationTitle.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/StartupFailure.h"

class ApplicationTitleTest
    : public ::testing::TestWithParam<std::tuple<const char*, const char*>> {};

TEST_P(ApplicationTitleTest, FromTheProgramPath) {
    EXPECT_EQ(ApplicationTitle(std::get<0>(GetParam())), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ApplicationTitleTest,
    ::testing::Values(std::make_tuple("/usr/bin/pio-out", "pio-out"),
                      std::make_tuple("/opt/x/MY.PANEL.EXE", "My"),
                      std::make_tuple("PANEL.EXE", "Panel"),
                      std::make_tuple("C:\\Tools\\PANEL.EXE", "Panel"),
                      std::make_tuple("/a.b/c/PioOut", "Pioout"),
                      std::make_tuple("/usr/bin/.hidden", ""),
                      std::make_tuple("/usr/bin/xY", "xy")),
    [](const auto& test) { return "case" + std::to_string(test.index); });

TEST(StartupFailure, TextFieldsAndTheDotRule) {
    EXPECT_EQ(StartupFailureText("EInOutError", "/usr/bin/pio-out", 0, "Datei nicht gefunden"),
              "Exception EInOutError im Modul pio-out bei 00000000.\nDatei nicht gefunden.");
    EXPECT_EQ(StartupFailureText("EOSError", "/x/y", 0x1234ab, "Schon."),
              "Exception EOSError im Modul y bei 001234AB.\nSchon.");
    EXPECT_EQ(StartupFailureText("E", "m", 0, ""), "Exception E im Modul m bei 00000000.\n");
    const std::string longName(80, 'n');
    const std::string text = StartupFailureText("E", "/d/" + longName, 0, "x");
    EXPECT_NE(text.find(" im Modul " + std::string(63, 'n') + " bei "), std::string::npos);
    EXPECT_EQ(std::string(kStartupFailureCaption), "Anwendungsfehler");
}
