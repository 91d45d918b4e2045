// SPDX-License-Identifier: MIT
// How a word from outside appears in an error line: whatever could break the line up or act on
// a terminal becomes "?", and so does every byte that is no valid UTF-8; the rest is kept.
#include <gtest/gtest.h>

#include <string>

#include "app/CommandLine.h"
#include "app/PortChoice.h"

namespace pio {

namespace {

std::string Shown(const std::string& word) {
    const std::string q = CommandLine::Quoted(word);
    // Without the „ and “ around it.
    return q.substr(3, q.size() - 6);
}

}  // namespace

TEST(CommandLineQuoting, ControlsAndSeparatorsBecomeQuestionMarks) {
    EXPECT_EQ(Shown("LPT\n2"), "LPT?2");
    EXPECT_EQ(Shown("a\x1b[2Jb"), "a?[2Jb");  // C0: ESC
    EXPECT_EQ(Shown("a\x7f"
                    "b"),
              "a?b");  // DEL
    EXPECT_EQ(Shown("a\xc2\x85"
                    "b"),
              "a?b");  // U+0085, next line (C1)
    EXPECT_EQ(Shown("a\xc2\x9b"
                    "2Jb"),
              "a?2Jb");  // U+009B, the C1 control sequence start
    EXPECT_EQ(Shown("a\xc2\x80\xc2\x9f"
                    "b"),
              "a??b");  // the ends of the C1 range
    EXPECT_EQ(Shown("a\xe2\x80\xa8"
                    "b"),
              "a?b");  // U+2028, line separator
    EXPECT_EQ(Shown("a\xe2\x80\xa9"
                    "b"),
              "a?b");  // U+2029, paragraph separator
}

TEST(CommandLineQuoting, InvalidUtf8BecomesQuestionMarks) {
    EXPECT_EQ(Shown("a\xff"
                    "b"),
              "a?b");  // never in UTF-8
    EXPECT_EQ(Shown("a\x80"
                    "b"),
              "a?b");                 // a stray continuation byte
    EXPECT_EQ(Shown("a\xc3"), "a?");  // cut off at the end
    EXPECT_EQ(Shown("a\xe2\x80"
                    "b"),
              "a??b");                             // cut off before another character
    EXPECT_EQ(Shown("\xc0\xaf"), "??");            // overlong "/"
    EXPECT_EQ(Shown("\xe0\x80\x8a"), "???");       // overlong line feed
    EXPECT_EQ(Shown("\xed\xa0\x80"), "???");       // a surrogate
    EXPECT_EQ(Shown("\xf4\x90\x80\x80"), "????");  // beyond U+10FFFF
}

TEST(CommandLineQuoting, PrintableTextIsKept) {
    EXPECT_EQ(Shown("/dev/parport1"), "/dev/parport1");
    EXPECT_EQ(Shown("Gerät"), "Gerät");
    EXPECT_EQ(Shown("\xc2\xa0"), "\xc2\xa0");  // U+00A0, just after C1
    EXPECT_EQ(Shown("\xe2\x80\xa7\xe2\x80\xaa"), "\xe2\x80\xa7\xe2\x80\xaa");  // around U+2028/9
    EXPECT_EQ(Shown("€ \xf0\x9f\x94\x8c"), "€ \xf0\x9f\x94\x8c");              // 3 and 4 bytes
    EXPECT_EQ(Shown(""), "");
}

TEST(CommandLineQuoting, TheErrorLineOfABadPortStaysOnePlainLine) {
    const CommandLine line =
        CommandLine::Parse({"--port", "LPT\xc2\x85\xe2\x80\xa8\xff"}, PortRules::Linux, "1.0");
    ASSERT_EQ(line.action(), CommandLine::Action::UsageError);
    EXPECT_NE(line.text().find("„LPT???“"), std::string::npos) << line.text();
    EXPECT_EQ(line.text().find('\n'), line.text().size() - 1);
}

}  // namespace pio
