// SPDX-License-Identifier: MIT
#include "app/StartupFailure.h"

#include <gtest/gtest.h>

#include <string>

namespace pio {

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

}  // namespace pio
