// SPDX-License-Identifier: MIT
// Six lines of a GPIO chip as the port, against a fake chip: how they are requested, what
// each byte sets, and what a busy line, a missing chip or a switch-off does.
#include <gtest/gtest.h>
#include <linux/gpio.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "FakeGpioChip.h"
#include "output/GpioDevice.h"
#include "output/PortDevice.h"
#include "output/PortWriter.h"
#include "support/CycleCode.h"

namespace pio {

namespace {

constexpr int kNotFound = 2;  // "Datei nicht gefunden"
constexpr int kBusy = 5;      // "Dateizugriff verweigert", as for a port claimed by another

const std::vector<unsigned> kOffsets = {3, 4, 5, 17, 18, 20};
const std::vector<std::string> kLines = {"3", "4", "5", "17", "18", "20"};

struct Rig {
    FakeGpioChip chip{24};
    GpioDevice device{chip, "/dev/gpiochip0", kLines};
    PortWriter writer{device};
};

TEST(GpioDevice, TheLinesAreRequestedAsOutputsOfThisProgram) {
    Rig rig;
    ASSERT_EQ(CycleCode(rig.writer, 0), 0);
    ASSERT_EQ(rig.chip.requests.size(), 1U);
    const gpio_v2_line_request& request = rig.chip.requests[0];
    EXPECT_STREQ(request.consumer, "pio-out");
    EXPECT_EQ(request.num_lines, 6U);
    EXPECT_NE(request.config.flags & GPIO_V2_LINE_FLAG_OUTPUT, 0U);
    for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(request.offsets[i], kOffsets[i]) << i;
    for (unsigned offset : kOffsets) EXPECT_TRUE(rig.chip.lines[offset].output) << offset;
    // The request is kept while held: later cycles make no new one.
    ASSERT_EQ(CycleCode(rig.writer, 5), 0);
    EXPECT_EQ(rig.chip.requests.size(), 1U);
}

TEST(GpioDevice, ChannelKFollowsBitKPlus1OfThePortByte) {
    Rig rig;
    ASSERT_EQ(rig.device.hold(), 0);
    ASSERT_EQ(rig.device.open(), 0);
    for (unsigned channels = 0; channels < 64; ++channels) {
        // Bits 0 and 1 (D0, D1) belong to no channel and must change nothing.
        const auto byte = static_cast<std::uint8_t>(channels << 2 | (channels & 3));
        int written = 0;
        ASSERT_EQ(rig.device.write(byte, written), 0);
        EXPECT_EQ(written, 1);
        EXPECT_EQ(rig.chip.Values(kOffsets), channels) << "byte " << int{byte};
    }
    // Lines not named stay untouched.
    EXPECT_FALSE(rig.chip.lines[6].used);
    EXPECT_FALSE(rig.chip.lines[6].value);
}

TEST(GpioDevice, LinesMayBeNamed) {
    FakeGpioChip chip(24);
    GpioDevice device(chip, "/dev/gpiochip0", {"GPIO3", "GPIO4", "5", "GPIO17", "GPIO18", "20"});
    PortWriter writer(device);
    ASSERT_EQ(CycleCode(writer, 0b100001), 0);
    EXPECT_EQ(chip.Values(kOffsets), 0b100001U);
}

TEST(GpioDevice, SwitchOffAndReturnKeepTheLevels) {
    Rig rig;
    ASSERT_EQ(CycleCode(rig.writer, 0b010110), 0);
    rig.writer.release();
    // Released, not reset: the lines are free and keep what was written.
    for (unsigned offset : kOffsets) EXPECT_FALSE(rig.chip.lines[offset].used) << offset;
    EXPECT_EQ(rig.chip.Values(kOffsets), 0b010110U);
    EXPECT_EQ(rig.chip.OpenDescriptors(), 0U);
    // Port output on again: the new request starts the lines where they were, no pulse.
    ASSERT_EQ(rig.device.hold(), 0);
    EXPECT_EQ(rig.chip.Values(kOffsets), 0b010110U);
    ASSERT_EQ(rig.chip.requests.size(), 2U);
    EXPECT_EQ(rig.chip.requests[1].config.attrs[0].mask, 0x3FU);
}

TEST(GpioDevice, TheEndOfThePanelKeepsTheLevels) {
    FakeGpioChip chip(24);
    {
        GpioDevice device(chip, "/dev/gpiochip0", kLines);
        PortWriter writer(device);
        ASSERT_EQ(CycleCode(writer, 0b111111), 0);
    }
    EXPECT_EQ(chip.Values(kOffsets), 0b111111U);
    EXPECT_EQ(chip.OpenDescriptors(), 0U);
}

TEST(GpioDevice, ALineOfAnotherProgramIsBusy) {
    Rig rig;
    rig.chip.Take(17, "gpio-keys");
    std::string message;
    EXPECT_EQ(CycleCode(rig.writer, 1, &message), kBusy);
    EXPECT_EQ(message, "Dateizugriff verweigert");
    EXPECT_FALSE(rig.chip.lines[3].used) << "a failed request must hold no line";
    EXPECT_EQ(rig.chip.OpenDescriptors(), 0U);
    // Free again: the next cycle gets the lines.
    rig.chip.lines[17].used = false;
    EXPECT_EQ(CycleCode(rig.writer, 1), 0);
    EXPECT_EQ(rig.chip.Values(kOffsets), 1U);
}

TEST(GpioDevice, TwoPanelsOnOneChipAreTwoPanelsOnOnePort) {
    FakeGpioChip chip(24);
    GpioDevice first(chip, "/dev/gpiochip0", kLines);
    GpioDevice second(chip, "/dev/gpiochip0", {"0", "1", "2", "3", "7", "8"});  // shares line 3
    GpioDevice apart(chip, "/dev/gpiochip0", {"9", "10", "11", "12", "13", "14"});
    ASSERT_EQ(first.hold(), 0);
    EXPECT_EQ(second.hold(), kPortHeldByAnotherPanel);
    EXPECT_EQ(apart.hold(), 0) << "other lines of the chip are another port";
    first.letGo();
    EXPECT_EQ(second.hold(), 0);
}

TEST(GpioDevice, AChipTakenAwayIsNotFoundUntilItIsBack) {
    Rig rig;
    ASSERT_EQ(CycleCode(rig.writer, 1), 0);
    rig.chip.Unplug();
    EXPECT_EQ(CycleCode(rig.writer, 2), kNotFound);  // the held request fails
    EXPECT_EQ(CycleCode(rig.writer, 2), kNotFound);  // the chip cannot be opened
    EXPECT_EQ(rig.chip.OpenDescriptors(), 0U);
    rig.chip.Plug();
    EXPECT_EQ(CycleCode(rig.writer, 3), 0);
    EXPECT_EQ(rig.chip.Values(kOffsets), 3U);
}

struct BadLines {
    const char* label;
    std::vector<std::string> lines;
    int code;
};

void PrintTo(const BadLines& c, std::ostream* os) { *os << c.label; }

class GpioDeviceRefuses : public ::testing::TestWithParam<BadLines> {};

TEST_P(GpioDeviceRefuses, LinesTheChipCannotGive) {
    FakeGpioChip chip(24);
    GpioDevice device(chip, "/dev/gpiochip0", GetParam().lines);
    EXPECT_EQ(device.hold(), GetParam().code);
    EXPECT_EQ(chip.OpenDescriptors(), 0U);
    int written = 0;
    EXPECT_NE(device.write(0xFC, written), 0) << "a write without the lines";
    EXPECT_EQ(written, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GpioDeviceRefuses,
    ::testing::Values(BadLines{"offset_beyond_chip", {"0", "1", "2", "3", "4", "24"}, kNotFound},
                      BadLines{"unknown_name", {"0", "1", "2", "3", "4", "LED9"}, kNotFound},
                      // A name and an offset for one line: two channels cannot share it.
                      BadLines{"one_line_twice", {"GPIO1", "1", "2", "3", "4", "5"}, 1},
                      BadLines{"five_lines", {"0", "1", "2", "3", "4"}, 1}),
    [](const auto& test) { return std::string(test.param.label); });

TEST(GpioDevice, AMissingChipIsNotFound) {
    FakeGpioChip chip(24);
    GpioDevice device(chip, "/dev/gpiochip7", kLines);
    EXPECT_EQ(device.hold(), kNotFound);
}

}  // namespace

}  // namespace pio
