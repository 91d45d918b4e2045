// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "output/EInOutError.h"
#include "toolbox/Exception.h"

namespace pio {

struct MessageCase {
    int code;
    const char* message;
};

class EInOutErrorMessageTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(EInOutErrorMessageTest, MessageChosenByCode) {
    const MessageCase& c = GetParam();
    EXPECT_EQ(IoErrorMessage(c.code), c.message);

    const EInOutError error(c.code);
    EXPECT_STREQ(error.what(), c.message);
    EXPECT_EQ(error.code(), c.code);
    EXPECT_STREQ(error.kind(), "EInOutError");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, EInOutErrorMessageTest,
    ::testing::Values(
        MessageCase{2, "Datei nicht gefunden"}, MessageCase{3, "Ungültiger Dateiname"},
        MessageCase{4, "Zu viele Dateien geöffnet"}, MessageCase{5, "Dateizugriff verweigert"},
        MessageCase{100, "Lesen nach Dateiende (EOF)"},
        MessageCase{101, "Kapazität der Diskette/Festplatte erschöpft"},
        MessageCase{106, "Ungültige numerische Eingabe"},
        // Everything else is the number in signed decimal.
        MessageCase{0, "I/O-Fehler 0"}, MessageCase{1, "I/O-Fehler 1"},
        MessageCase{6, "I/O-Fehler 6"}, MessageCase{21, "I/O-Fehler 21"},
        MessageCase{32, "I/O-Fehler 32"}, MessageCase{99, "I/O-Fehler 99"},
        MessageCase{102, "I/O-Fehler 102"}, MessageCase{103, "I/O-Fehler 103"},
        MessageCase{105, "I/O-Fehler 105"}, MessageCase{107, "I/O-Fehler 107"},
        MessageCase{1117, "I/O-Fehler 1117"}, MessageCase{-7, "I/O-Fehler -7"},
        MessageCase{-2, "I/O-Fehler -2"}, MessageCase{2147483647, "I/O-Fehler 2147483647"},
        MessageCase{-2147483647 - 1, "I/O-Fehler -2147483648"}),
    [](const auto& test) {
        const long long code = test.param.code;
        return (code < 0 ? "codeMinus" : "code") + std::to_string(code < 0 ? -code : code);
    });

TEST(EInOutError, MessagesAreUtf8) {
    // "ü" and "ö" as two-byte UTF-8 sequences, not Latin-1 single bytes.
    EXPECT_EQ(IoErrorMessage(3), "Ung\xC3\xBCltiger Dateiname");
    EXPECT_EQ(IoErrorMessage(4),
              "Zu viele Dateien ge\xC3\xB6"
              "ffnet");
}

TEST(EInOutError, CaughtAsTheProgramsBaseKeepsItsKind) {
    try {
        throw EInOutError(5);
    } catch (const Exception& e) {
        EXPECT_STREQ(e.kind(), "EInOutError");
        EXPECT_STREQ(e.what(), "Dateizugriff verweigert");
    }
}

}  // namespace pio
