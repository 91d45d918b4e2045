// SPDX-License-Identifier: MIT
// The port names each platform takes for --port, and what they stand for.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "app/PortChoice.h"

namespace pio {

namespace {

struct PortCase {
    const char* label;  // the test's name
    PortRules rules;
    const char* value;
    // What the name stands for; device nullptr: a name these rules do not know.
    const char* device;
    const char* name;
    const char* holdName;
};

void PrintTo(const PortCase& c, std::ostream* os) { *os << c.label; }

constexpr PortRules L = PortRules::Linux;
constexpr PortRules W = PortRules::Windows;

class PortChoiceTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortChoiceTest, FromName) {
    const PortCase& c = GetParam();
    const std::optional<PortChoice> choice = PortChoice::FromName(c.value, c.rules);
    if (!c.device) {
        EXPECT_FALSE(choice.has_value()) << c.value << " was taken for " << choice->device;
        return;
    }
    ASSERT_TRUE(choice.has_value()) << c.value << " was refused";
    EXPECT_EQ(choice->device, c.device);
    EXPECT_EQ(choice->name, c.name);
    EXPECT_EQ(choice->holdName, c.holdName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PortChoiceTest,
    ::testing::Values(
        // Linux: LPT1..LPT3 are the first three ppdev nodes, in any letter case.
        PortCase{"linux_LPT1", L, "LPT1", "/dev/parport0", "LPT1", ""},
        PortCase{"linux_LPT2", L, "LPT2", "/dev/parport1", "LPT2", ""},
        PortCase{"linux_LPT3", L, "LPT3", "/dev/parport2", "LPT3", ""},
        PortCase{"linux_lpt2", L, "lpt2", "/dev/parport1", "LPT2", ""},
        PortCase{"linux_Lpt3", L, "Lpt3", "/dev/parport2", "LPT3", ""},
        PortCase{"linux_LPT0", L, "LPT0", nullptr, nullptr, nullptr},
        PortCase{"linux_LPT4", L, "LPT4", nullptr, nullptr, nullptr},
        PortCase{"linux_LPT9", L, "LPT9", nullptr, nullptr, nullptr},
        PortCase{"linux_LPT10", L, "LPT10", nullptr, nullptr, nullptr},
        PortCase{"linux_LPT02", L, "LPT02", nullptr, nullptr, nullptr},
        PortCase{"linux_LPT", L, "LPT", nullptr, nullptr, nullptr},
        PortCase{"linux_LPT2colon", L, "LPT2:", nullptr, nullptr, nullptr},
        PortCase{"linux_COM1", L, "COM1", nullptr, nullptr, nullptr},
        PortCase{"linux_bare_parport1", L, "parport1", nullptr, nullptr, nullptr},
        PortCase{"linux_empty", L, "", nullptr, nullptr, nullptr},
        // Linux: a path is opened as given; a ppdev node is named as the LPT it is.
        PortCase{"linux_parport0", L, "/dev/parport0", "/dev/parport0", "LPT1", ""},
        PortCase{"linux_parport1", L, "/dev/parport1", "/dev/parport1", "LPT2", ""},
        PortCase{"linux_parport9", L, "/dev/parport9", "/dev/parport9", "LPT10", ""},
        PortCase{"linux_parport10", L, "/dev/parport10", "/dev/parport10", "LPT11", ""},
        PortCase{"linux_parport01", L, "/dev/parport01", "/dev/parport01", "/dev/parport01", ""},
        PortCase{"linux_parportX", L, "/dev/parportX", "/dev/parportX", "/dev/parportX", ""},
        PortCase{"linux_parport", L, "/dev/parport", "/dev/parport", "/dev/parport", ""},
        PortCase{"linux_usb_lp0", L, "/dev/usb/lp0", "/dev/usb/lp0", "/dev/usb/lp0", ""},
        PortCase{"linux_relative", L, "./fifo", "./fifo", "./fifo", ""},
        PortCase{"linux_other_dir", L, "/tmp/dev/parport1", "/tmp/dev/parport1",
                 "/tmp/dev/parport1", ""},
        // Windows: LPT1..LPT9, each with a hold of its own, and nothing else.
        PortCase{"windows_LPT1", W, "LPT1", "LPT1", "LPT1", "Local\\pio-out-LPT1"},
        PortCase{"windows_LPT3", W, "LPT3", "LPT3", "LPT3", "Local\\pio-out-LPT3"},
        PortCase{"windows_LPT9", W, "LPT9", "LPT9", "LPT9", "Local\\pio-out-LPT9"},
        PortCase{"windows_lpt4", W, "lpt4", "LPT4", "LPT4", "Local\\pio-out-LPT4"},
        PortCase{"windows_LPT0", W, "LPT0", nullptr, nullptr, nullptr},
        PortCase{"windows_LPT10", W, "LPT10", nullptr, nullptr, nullptr},
        PortCase{"windows_COM1", W, "COM1", nullptr, nullptr, nullptr},
        PortCase{"windows_path", W, "/dev/parport1", nullptr, nullptr, nullptr},
        PortCase{"windows_device_path", W, "\\\\.\\LPT1", nullptr, nullptr, nullptr},
        PortCase{"windows_empty", W, "", nullptr, nullptr, nullptr}),
    [](const auto& test) { return std::string(test.param.label); });

TEST(PortChoice, WithoutAnOptionThePanelDrivesTheFirstPort) {
    const PortChoice onLinux = PortChoice::Default(PortRules::Linux);
    EXPECT_EQ(onLinux.device, "/dev/parport0");
    EXPECT_EQ(onLinux.name, "LPT1");
    EXPECT_EQ(onLinux.holdName, "");
    const PortChoice onWindows = PortChoice::Default(PortRules::Windows);
    EXPECT_EQ(onWindows.device, "LPT1");
    EXPECT_EQ(onWindows.name, "LPT1");
    EXPECT_EQ(onWindows.holdName, "Local\\pio-out-LPT1");
    // The same as naming the first port.
    EXPECT_EQ(PortChoice::FromName("LPT1", PortRules::Linux), onLinux);
    EXPECT_EQ(PortChoice::FromName("/dev/parport0", PortRules::Linux), onLinux);
    EXPECT_EQ(PortChoice::FromName("lpt1", PortRules::Windows), onWindows);
}

TEST(PortChoice, ErrorMessagesListWhatEachPlatformTakes) {
    EXPECT_STREQ(PortChoice::Accepted(PortRules::Linux),
                 "LPT1 bis LPT3 oder ein Gerätepfad wie /dev/parport1");
    EXPECT_STREQ(PortChoice::Accepted(PortRules::Windows), "LPT1 bis LPT9");
}

}  // namespace

}  // namespace pio
