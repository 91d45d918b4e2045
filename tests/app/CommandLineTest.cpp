// SPDX-License-Identifier: MIT
// The command line: what each line of arguments does, and the texts it prints.
#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/PortChoice.h"
#include "app/Version.h"

namespace pio {

namespace {

using Action = CommandLine::Action;
constexpr PortRules L = PortRules::Linux;
constexpr PortRules W = PortRules::Windows;

struct LineCase {
    const char* label;  // the test's name
    PortRules rules;
    std::vector<std::string> args;
    Action action;
    // Run: the device opened and the name on the credit line. UsageError: `device` is the
    // whole error line without "pio-out: " and the pointer to --help.
    std::string device;
    std::string name;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.label; }

LineCase Runs(const char* label, PortRules rules, std::vector<std::string> args, std::string device,
              std::string name) {
    return {label, rules, std::move(args), Action::Run, std::move(device), std::move(name)};
}
LineCase Fails(const char* label, PortRules rules, std::vector<std::string> args,
               std::string what) {
    return {label, rules, std::move(args), Action::UsageError, std::move(what), ""};
}
LineCase Shows(const char* label, PortRules rules, std::vector<std::string> args, Action what) {
    return {label, rules, std::move(args), what, "", ""};
}

const std::string kLinuxPorts = " (LPT1 bis LPT3 oder ein Gerätepfad wie /dev/parport1)";
const std::string kWindowsPorts = " (LPT1 bis LPT9)";

class CommandLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTest, Parse) {
    const LineCase& c = GetParam();
    const CommandLine line = CommandLine::Parse(c.args, c.rules, "1.2.3");
    ASSERT_EQ(line.action(), c.action) << line.text();
    switch (c.action) {
        case Action::Run:
            EXPECT_EQ(line.port().device, c.device);
            EXPECT_EQ(line.port().name, c.name);
            EXPECT_EQ(line.exitCode(), 0);
            EXPECT_EQ(line.text(), "");
            break;
        case Action::UsageError:
            EXPECT_EQ(line.text(),
                      "pio-out: " + c.device + " – „pio-out --help“ zeigt die Optionen.\n");
            EXPECT_EQ(line.exitCode(), 2);
            break;
        case Action::ShowHelp:
            EXPECT_EQ(line.text(), CommandLine::HelpText(c.rules));
            EXPECT_EQ(line.exitCode(), 0);
            break;
        case Action::ShowVersion:
            EXPECT_EQ(line.text(), CommandLine::VersionText("1.2.3"));
            EXPECT_EQ(line.exitCode(), 0);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineTest,
    ::testing::Values(
        // Starting the panel.
        Runs("nothing", L, {}, "/dev/parport0", "LPT1"),
        Runs("port_LPT2", L, {"--port", "LPT2"}, "/dev/parport1", "LPT2"),
        Runs("port_is_LPT3", L, {"--port=LPT3"}, "/dev/parport2", "LPT3"),
        Runs("port_lower_case", L, {"--port", "lpt2"}, "/dev/parport1", "LPT2"),
        Runs("port_parport1", L, {"--port", "/dev/parport1"}, "/dev/parport1", "LPT2"),
        Runs("port_other_path", L, {"--port=/tmp/port"}, "/tmp/port", "/tmp/port"),
        Runs("port_path_with_is", L, {"--port=/tmp/a=b"}, "/tmp/a=b", "/tmp/a=b"),
        Runs("port_twice_last_counts", L, {"--port", "LPT2", "--port=LPT3"}, "/dev/parport2",
             "LPT3"),
        Runs("port_shortened", L, {"--po", "LPT2"}, "/dev/parport1", "LPT2"),
        Runs("port_shortest", L, {"--p=LPT3"}, "/dev/parport2", "LPT3"),
        Runs("options_end", L, {"--port", "LPT2", "--"}, "/dev/parport1", "LPT2"),
        Runs("only_options_end", L, {"--"}, "/dev/parport0", "LPT1"),
        Runs("windows_nothing", W, {}, "LPT1", "LPT1"),
        Runs("windows_LPT4", W, {"--port", "LPT4"}, "LPT4", "LPT4"),
        Runs("windows_LPT9", W, {"--port=lpt9"}, "LPT9", "LPT9"),
        // Help and version, also among other words: the first of the two counts, and they
        // win over mistakes elsewhere.
        Shows("help", L, {"--help"}, Action::ShowHelp),
        Shows("help_shortened", L, {"--h"}, Action::ShowHelp),
        Shows("version", L, {"--version"}, Action::ShowVersion),
        Shows("version_shortened", L, {"--vers"}, Action::ShowVersion),
        Shows("help_after_port", L, {"--port", "LPT2", "--help"}, Action::ShowHelp),
        Shows("help_after_unknown", L, {"--foo", "--help"}, Action::ShowHelp),
        Shows("help_after_bad_port", L, {"--port=LPT7", "--help"}, Action::ShowHelp),
        Shows("version_before_help", L, {"--version", "--help"}, Action::ShowVersion),
        Shows("help_before_version", L, {"--help", "--version"}, Action::ShowHelp),
        Shows("version_after_bare_word", L, {"x", "--version"}, Action::ShowVersion),
        Shows("windows_help", W, {"--help"}, Action::ShowHelp),
        Shows("windows_version", W, {"--version", "--port=LPT99"}, Action::ShowVersion),
        // Mistakes: the first one is reported.
        Fails("unknown", L, {"--foo"}, "unbekannte Option „--foo“"),
        Fails("unknown_with_value", L, {"--foo=bar"}, "unbekannte Option „--foo=bar“"),
        Fails("unknown_first_of_two", L, {"--foo", "--bar"}, "unbekannte Option „--foo“"),
        Fails("three_dashes", L, {"---port", "LPT2"}, "unbekannte Option „---port“"),
        Fails("no_name", L, {"--=LPT2"}, "unbekannte Option „--=LPT2“"),
        Fails("longer_than_option", L, {"--helpme"}, "unbekannte Option „--helpme“"),
        Fails("short_h", L, {"-h"}, "unbekannte Option „-h“"),
        Fails("short_p", L, {"-p", "LPT2"}, "unbekannte Option „-p“"),
        Fails("toolkit_option", L, {"-platform", "offscreen"}, "unbekannte Option „-platform“"),
        Fails("bare_word", L, {"LPT2"}, "überzähliges Argument „LPT2“"),
        Fails("bare_dash", L, {"-"}, "überzähliges Argument „-“"),
        Fails("after_options_end", L, {"--", "--help"}, "überzähliges Argument „--help“"),
        Fails("port_missing", L, {"--port"}, "Option „--port“ braucht ein Gerät" + kLinuxPorts),
        Fails("port_is_empty", L, {"--port="}, "Option „--port“ braucht ein Gerät" + kLinuxPorts),
        Fails("port_empty", L, {"--port", ""}, "Option „--port“ braucht ein Gerät" + kLinuxPorts),
        Fails("port_LPT0", L, {"--port", "LPT0"}, "unbekannter Port „LPT0“" + kLinuxPorts),
        Fails("port_LPT4", L, {"--port", "LPT4"}, "unbekannter Port „LPT4“" + kLinuxPorts),
        Fails("port_LPT7", L, {"--port", "LPT7"}, "unbekannter Port „LPT7“" + kLinuxPorts),
        Fails("port_LPT10", L, {"--port=LPT10"}, "unbekannter Port „LPT10“" + kLinuxPorts),
        Fails("port_takes_next_word", L, {"--port", "--help"},
              "unbekannter Port „--help“" + kLinuxPorts),
        Fails("port_bad_then_good", L, {"--port=COM1", "--port=LPT2"},
              "unbekannter Port „COM1“" + kLinuxPorts),
        Fails("port_newline", L, {"--port", "LPT\n2"}, "unbekannter Port „LPT?2“" + kLinuxPorts),
        Fails("help_with_value", L, {"--help=x"}, "Option „--help“ erlaubt kein Argument"),
        Fails("version_with_value", L, {"--vers=1"}, "Option „--version“ erlaubt kein Argument"),
        Fails("windows_LPT10", W, {"--port", "LPT10"}, "unbekannter Port „LPT10“" + kWindowsPorts),
        Fails("windows_LPT0", W, {"--port", "LPT0"}, "unbekannter Port „LPT0“" + kWindowsPorts),
        Fails("windows_path", W, {"--port", "C:\\port"},
              "unbekannter Port „C:\\port“" + kWindowsPorts),
        Fails("windows_missing", W, {"--port"},
              "Option „--port“ braucht ein Gerät" + kWindowsPorts)),
    [](const auto& test) { return std::string(test.param.label); });

TEST(CommandLine, WindowsHoldsEachPortUnderItsOwnName) {
    EXPECT_EQ(CommandLine::Parse({}, W, "1").port().holdName, "Local\\pio-out-LPT1");
    EXPECT_EQ(CommandLine::Parse({"--port=lpt3"}, W, "1").port().holdName, "Local\\pio-out-LPT3");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Terminal columns of a UTF-8 line: every character one column.
std::size_t Columns(const std::string& line) {
    std::size_t n = 0;
    for (char c : line) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

TEST(CommandLine, VersionTextNamesVersionCopyrightAndLicence) {
    const std::vector<std::string> lines = Lines(CommandLine::VersionText("4.5.6"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "pio-out 4.5.6");
    EXPECT_EQ(lines[1], "Copyright (C) 2026 The pio-out authors");
    EXPECT_EQ(lines[2].rfind("Lizenz MIT", 0), 0u) << lines[2];
    EXPECT_NE(lines[3].find("KEINE GARANTIE"), std::string::npos) << lines[3];
    // The program tells the project's version, given to it by the build.
    EXPECT_TRUE(std::regex_match(std::string(PIO_VERSION_STRING), std::regex(R"(\d+\.\d+\.\d+)")))
        << PIO_VERSION_STRING;
}

class HelpText : public ::testing::TestWithParam<PortRules> {};

TEST_P(HelpText, FollowsTheUsualForm) {
    const std::string text = CommandLine::HelpText(GetParam());
    const std::vector<std::string> lines = Lines(text);
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], "Aufruf: pio-out [OPTION]…");
    EXPECT_EQ(text.back(), '\n');
    for (const std::string& line : lines) EXPECT_LE(Columns(line), 79u) << line;
    // Every option the help names is one the program takes.
    std::vector<std::string> named;
    const std::regex option(R"(^ +(--[a-z]+))");
    for (const std::string& line : lines) {
        std::smatch m;
        if (std::regex_search(line, m, option)) named.push_back(m[1]);
    }
    EXPECT_EQ(named, (std::vector<std::string>{"--port", "--help", "--version"}));
    EXPECT_NE(CommandLine::Parse({"--port=LPT2"}, GetParam(), "1").action(), Action::UsageError);
    EXPECT_EQ(CommandLine::Parse({"--help"}, GetParam(), "1").action(), Action::ShowHelp);
    EXPECT_EQ(CommandLine::Parse({"--version"}, GetParam(), "1").action(), Action::ShowVersion);
    // The exit codes it lists are the ones the program ends with.
    EXPECT_NE(text.find("  0  "), std::string::npos);
    EXPECT_NE(text.find("  1  "), std::string::npos);
    EXPECT_NE(text.find("  2  falscher Aufruf"), std::string::npos);
    EXPECT_EQ(CommandLine::kUsageErrorExit, 2);
}

INSTANTIATE_TEST_SUITE_P(Platforms, HelpText, ::testing::Values(L, W), [](const auto& test) {
    return test.param == L ? std::string("linux") : std::string("windows");
});

TEST(CommandLine, EachPlatformsHelpNamesItsPortsAndWhereToReadMore) {
    const std::string onLinux = CommandLine::HelpText(L);
    EXPECT_NE(onLinux.find("LPT1 bis LPT3"), std::string::npos);
    EXPECT_NE(onLinux.find("/dev/parport1"), std::string::npos);
    EXPECT_NE(onLinux.find("„man pio-out“"), std::string::npos);
    const std::string onWindows = CommandLine::HelpText(W);
    EXPECT_NE(onWindows.find("LPT1 bis LPT9"), std::string::npos);
    EXPECT_EQ(onWindows.find("/dev/"), std::string::npos);
    EXPECT_NE(onWindows.find("LIESMICH.txt"), std::string::npos);
}

TEST(CommandLine, AnErrorIsOneLine) {
    const std::string text = CommandLine::ErrorLine("etwas");
    EXPECT_EQ(text, "pio-out: etwas – „pio-out --help“ zeigt die Optionen.\n");
    EXPECT_EQ(text.find('\n'), text.size() - 1);
}

TEST(CommandLine, APortThatCanNeverBeOneIsAMistakeOfTheLine) {
    const CommandLine line =
        CommandLine::Parse({"--port", "/home/u/notes\ntxt"}, PortRules::Linux, "1.0")
            .RefusePort("eine gewöhnliche Datei");
    EXPECT_EQ(line.action(), CommandLine::Action::UsageError);
    EXPECT_EQ(line.exitCode(), 2);
    EXPECT_EQ(line.text(),
              "pio-out: „/home/u/notes?txt“ ist kein Port, sondern eine gewöhnliche Datei – "
              "„pio-out --help“ zeigt die Optionen.\n");
}

}  // namespace

}  // namespace pio
