// SPDX-License-Identifier: MIT
// The --port values for GPIO lines and USB relay boards, and how a wrong one is told.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/PortChoice.h"

namespace pio {

namespace {

constexpr PortRules L = PortRules::Linux;

struct DeviceCase {
    const char* label;  // the test's name
    const char* value;
    // What the value stands for; device nullptr: refused.
    const char* device;
    const char* name;
    PortKind kind;
    std::vector<std::string> lines;
    const char* serial;
};

void PrintTo(const DeviceCase& c, std::ostream* os) { *os << c.label; }

DeviceCase Gpio(const char* label, const char* value, const char* device, const char* name,
                std::vector<std::string> lines) {
    return {label, value, device, name, PortKind::Gpio, std::move(lines), ""};
}
DeviceCase Relay(const char* label, const char* value, const char* device, const char* name,
                 const char* serial) {
    return {label, value, device, name, PortKind::UsbRelay, {}, serial};
}
DeviceCase Refused(const char* label, const char* value) {
    return {label, value, nullptr, nullptr, PortKind::Parallel, {}, nullptr};
}

class PortChoiceDevices : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(PortChoiceDevices, FromName) {
    const DeviceCase& c = GetParam();
    const std::optional<PortChoice> choice = PortChoice::FromName(c.value, L);
    if (!c.device) {
        EXPECT_FALSE(choice.has_value()) << c.value << " was taken for " << choice->device;
        // Refused with the form it must have, not as an unknown port.
        EXPECT_NE(PortChoice::ExpectedForm(c.value, L), nullptr);
        return;
    }
    ASSERT_TRUE(choice.has_value()) << c.value << " was refused";
    EXPECT_EQ(choice->kind, c.kind);
    EXPECT_EQ(choice->device, c.device);
    EXPECT_EQ(choice->name, c.name);
    EXPECT_EQ(choice->lines, c.lines);
    EXPECT_EQ(choice->serial, c.serial);
}

const std::vector<std::string> kSix = {"2", "3", "4", "17", "27", "22"};

INSTANTIATE_TEST_SUITE_P(
    Values, PortChoiceDevices,
    ::testing::Values(
        Gpio("gpio_offsets", "gpiochip0:2,3,4,17,27,22", "/dev/gpiochip0", "gpiochip0", kSix),
        Gpio("gpio_chip12", "gpiochip12:2,3,4,17,27,22", "/dev/gpiochip12", "gpiochip12", kSix),
        Gpio("gpio_path", "/dev/gpiochip1:2,3,4,17,27,22", "/dev/gpiochip1", "gpiochip1", kSix),
        Gpio("gpio_names", "gpiochip0:GPIO2,GPIO3,LED_A,17,27,22", "/dev/gpiochip0", "gpiochip0",
             {"GPIO2", "GPIO3", "LED_A", "17", "27", "22"}),
        Refused("gpio_five_lines", "gpiochip0:1,2,3,4,5"),
        Refused("gpio_seven_lines", "gpiochip0:1,2,3,4,5,6,7"),
        Refused("gpio_no_lines", "gpiochip0"), Refused("gpio_empty_list", "gpiochip0:"),
        Refused("gpio_empty_line", "gpiochip0:1,2,,4,5,6"),
        Refused("gpio_trailing_comma", "gpiochip0:1,2,3,4,5,6,"),
        Refused("gpio_line_twice", "gpiochip0:1,2,3,4,5,1"),
        Refused("gpio_leading_zero", "gpiochip0:1,2,3,4,5,06"),
        Refused("gpio_negative", "gpiochip0:1,2,3,4,5,-6"),
        Refused("gpio_space", "gpiochip0:1,2,3,4,5,L 6"),
        Refused("gpio_chip_leading_zero", "gpiochip01:1,2,3,4,5,6"),
        Refused("gpio_chip_letters", "/dev/gpiochipA:1,2,3,4,5,6"),
        Relay("usb_first", "USB", "", "USB-Relais", ""),
        Relay("usb_lower_case", "usb", "", "USB-Relais", ""),
        Relay("usb_serial", "USB:ABCDE", "", "USB-Relais ABCDE", "ABCDE"),
        Relay("usb_serial_kept_as_is", "usb:a1b2c", "", "USB-Relais a1b2c", "a1b2c"),
        Relay("usb_hidraw", "/dev/hidraw3", "/dev/hidraw3", "USB-Relais", ""),
        Refused("usb_short_serial", "USB:ABCD"), Refused("usb_long_serial", "USB:ABCDEF"),
        Refused("usb_empty_serial", "USB:"), Refused("usb_serial_space", "USB:AB DE"),
        Refused("usb_hidraw_no_number", "/dev/hidraw"),
        Refused("usb_hidraw_leading_zero", "/dev/hidraw03")),
    [](const auto& test) { return std::string(test.param.label); });

TEST(PortChoiceDevices, OtherValuesKeepTheirMeaning) {
    // Paths that only look a little like the new forms are device paths as before.
    EXPECT_EQ(PortChoice::FromName("/tmp/fifo:1,2,3,4,5,6", L)->kind, PortKind::Parallel);
    EXPECT_EQ(PortChoice::FromName("/dev/hidraw0x", L)->kind, PortKind::Parallel);
    EXPECT_EQ(PortChoice::ExpectedForm("LPT7", L), nullptr);
    EXPECT_EQ(PortChoice::ExpectedForm("/dev/parport0", L), nullptr);
    // Windows has relay boards by serial or the first one, no GPIO and no hidraw nodes.
    constexpr PortRules W = PortRules::Windows;
    EXPECT_EQ(PortChoice::FromName("USB", W)->kind, PortKind::UsbRelay);
    EXPECT_EQ(PortChoice::FromName("usb:ABCDE", W)->serial, "ABCDE");
    EXPECT_EQ(PortChoice::FromName("USB:ABCDE", W)->name, "USB-Relais ABCDE");
    EXPECT_FALSE(PortChoice::FromName("USB:ABC", W).has_value());
    EXPECT_NE(PortChoice::ExpectedForm("USB:ABC", W), nullptr);
    EXPECT_FALSE(PortChoice::FromName("gpiochip0:1,2,3,4,5,6", W).has_value());
    EXPECT_EQ(PortChoice::ExpectedForm("gpiochip0:1,2,3,4,5,6", W), nullptr);
    EXPECT_FALSE(PortChoice::FromName("/dev/hidraw0", W).has_value());
}

TEST(PortChoiceDevices, AWrongFormIsAMistakeOnTheCommandLine) {
    const CommandLine gpio = CommandLine::Parse({"--port=gpiochip0:1,2,3"}, L, "1");
    EXPECT_EQ(gpio.exitCode(), 2);
    EXPECT_EQ(gpio.text(), CommandLine::ErrorLine("ungültiger Port „gpiochip0:1,2,3“ (gpiochipN: "
                                                  "und sechs verschiedene Leitungen, Nummern oder "
                                                  "Namen, mit Kommas)"));
    const CommandLine usb = CommandLine::Parse({"--port", "USB:12"}, L, "1");
    EXPECT_EQ(usb.action(), CommandLine::Action::UsageError);
    EXPECT_EQ(usb.text(), CommandLine::ErrorLine("ungültiger Port „USB:12“ (USB, USB:SERIE mit "
                                                 "der fünfstelligen Seriennummer oder "
                                                 "/dev/hidrawN)"));
    const CommandLine good = CommandLine::Parse({"--port", "gpiochip2:1,2,3,4,5,6"}, L, "1");
    ASSERT_EQ(good.action(), CommandLine::Action::Run) << good.text();
    EXPECT_EQ(good.port().kind, PortKind::Gpio);
    EXPECT_EQ(good.port().device, "/dev/gpiochip2");
}

}  // namespace

}  // namespace pio
