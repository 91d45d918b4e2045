// SPDX-License-Identifier: MIT
#include "output/PortByte.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "output/PortWriter.h"
#include "support/FakePortDevice.h"

namespace pio {

namespace {

using Calls = std::vector<std::string>;

}  // namespace

struct ByteCase {
    std::int32_t word;
    std::uint8_t byte;
};

static void PrintTo(const ByteCase& c, std::ostream* os) {
    *os << "word " << c.word << " -> " << static_cast<int>(c.byte);
}

class PortByteTest : public ::testing::TestWithParam<ByteCase> {};

TEST_P(PortByteTest, ShiftsTheLowByteLeftByTwo) {
    EXPECT_EQ(PortByte(GetParam().word), GetParam().byte);
}

TEST_P(PortByteTest, TheCycleWritesExactlyThatByte) {
    FakePortDevice device;
    PortWriter writer(device);
    writer.write(GetParam().word);
    EXPECT_EQ(device.bytes(), std::vector<std::uint8_t>{GetParam().byte});
    EXPECT_EQ(device.calls(), (Calls{"open", "write", "close"}));
    EXPECT_FALSE(device.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Words, PortByteTest,
                         ::testing::Values(ByteCase{0, 0}, ByteCase{4, 16}, ByteCase{33, 132},
                                           ByteCase{127, 252}, ByteCase{64, 0},  // bit 6 drops
                                           ByteCase{68, 16}, ByteCase{1, 4}, ByteCase{32, 128},
                                           ByteCase{63, 252}, ByteCase{255, 252},
                                           ByteCase{256 + 5, 20},  // only the low byte counts
                                           ByteCase{-1, 252}),
                         [](const auto& test) {
                             const long long w = test.param.word;
                             return (w < 0 ? "wordMinus" : "word") + std::to_string(w < 0 ? -w : w);
                         });

}  // namespace pio
