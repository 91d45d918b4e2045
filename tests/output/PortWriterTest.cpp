// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "output/PortByte.h"
#include "output/PortWriter.h"
#include "support/CycleCode.h"
#include "support/FakePortDevice.h"
#include "toolbox/Exception.h"

namespace pio {

namespace {

using Calls = std::vector<std::string>;

}  // namespace

// A fault injected at one step and what the cycle must do about it.
struct FaultCase {
    const char* name;
    void (*inject)(FakePortDevice&);
    int code;
    const char* message;
    Calls calls;
};

static void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class PortWriterFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(PortWriterFaultTest, FirstFailureWins) {
    const FaultCase& c = GetParam();
    FakePortDevice device;
    c.inject(device);
    PortWriter writer(device);

    std::string message;
    EXPECT_EQ(CycleCode(writer, 33, &message), c.code);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(device.calls(), c.calls);
    EXPECT_FALSE(device.isOpen());
}

TEST_P(PortWriterFaultTest, NextCycleStartsClean) {
    const FaultCase& c = GetParam();
    FakePortDevice device;
    c.inject(device);
    PortWriter writer(device);

    EXPECT_NE(CycleCode(writer, 1), 0);
    device.heal();
    device.clearRecord();
    EXPECT_EQ(CycleCode(writer, 2), 0);
    EXPECT_EQ(device.bytes(), std::vector<std::uint8_t>{8});
    EXPECT_EQ(device.calls(), (Calls{"open", "write", "close"}));
    EXPECT_FALSE(device.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PortWriterFaultTest,
    ::testing::Values(
        FaultCase{"OpenNotFound", [](FakePortDevice& d) { d.failOpen(2); }, 2,
                  "Datei nicht gefunden", Calls{"open"}},
        FaultCase{"OpenDenied", [](FakePortDevice& d) { d.failOpen(5); }, 5,
                  "Dateizugriff verweigert", Calls{"open"}},
        FaultCase{"WriteIoError", [](FakePortDevice& d) { d.failWrite(1117); }, 1117,
                  "I/O-Fehler 1117", Calls{"open", "write", "close"}},
        FaultCase{"WriteDiskFull", [](FakePortDevice& d) { d.failWrite(101); }, 101,
                  "Kapazität der Diskette/Festplatte erschöpft", Calls{"open", "write", "close"}},
        FaultCase{"ShortWriteNothing", [](FakePortDevice& d) { d.shortWrite(0); }, 101,
                  "Kapazität der Diskette/Festplatte erschöpft", Calls{"open", "write", "close"}},
        FaultCase{"ShortWriteTooMany", [](FakePortDevice& d) { d.shortWrite(2); }, 101,
                  "Kapazität der Diskette/Festplatte erschöpft", Calls{"open", "write", "close"}},
        FaultCase{"CloseFails", [](FakePortDevice& d) { d.failClose(28); }, 28, "I/O-Fehler 28",
                  Calls{"open", "write", "close"}},
        // The write error is the one reported; close's own error is dropped.
        FaultCase{"WriteAndCloseFail",
                  [](FakePortDevice& d) {
                      d.failWrite(21);
                      d.failClose(5);
                  },
                  21, "I/O-Fehler 21", Calls{"open", "write", "close"}},
        FaultCase{"ShortWriteAndCloseFail",
                  [](FakePortDevice& d) {
                      d.shortWrite(0);
                      d.failClose(2);
                  },
                  101, "Kapazität der Diskette/Festplatte erschöpft",
                  Calls{"open", "write", "close"}},
        // An open error stops the cycle: no write, and nothing to close.
        FaultCase{"OpenFailsWriteWouldToo",
                  [](FakePortDevice& d) {
                      d.failOpen(4);
                      d.failWrite(1);
                  },
                  4, "Zu viele Dateien geöffnet", Calls{"open"}}),
    [](const ::testing::TestParamInfo<FaultCase>& test) { return std::string(test.param.name); });

TEST(PortWriter, SuccessfulCyclesRecordEveryByteInOrder) {
    FakePortDevice device;
    PortWriter writer(device);
    std::vector<std::uint8_t> expected;
    for (std::int32_t word = 0; word < 128; ++word) {
        writer.write(word);
        expected.push_back(PortByte(word));
        ASSERT_FALSE(device.isOpen()) << "word " << word;
    }
    EXPECT_EQ(device.bytes(), expected);
    EXPECT_EQ(device.opens(), 128);
    EXPECT_EQ(device.closes(), 128);
}

TEST(PortWriter, PersistentFaultFailsEveryCycleAndLeavesNothingOpen) {
    FakePortDevice device;
    device.failWrite(1117, FakePortDevice::Times::Always);
    PortWriter writer(device);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(CycleCode(writer, i), 1117);
        EXPECT_FALSE(device.isOpen());
    }
    EXPECT_EQ(device.opens(), 5);
    EXPECT_EQ(device.closes(), 5);
    EXPECT_TRUE(device.bytes().empty());

    device.heal();
    EXPECT_EQ(CycleCode(writer, 4), 0);
    EXPECT_EQ(device.bytes(), std::vector<std::uint8_t>{16});
}

TEST(PortWriter, OneShotFaultHitsOnlyItsCycle) {
    FakePortDevice device;
    device.failClose(28);
    PortWriter writer(device);
    EXPECT_EQ(CycleCode(writer, 1), 28);
    EXPECT_EQ(CycleCode(writer, 2), 0);
    // A failing close still took the byte; both cycles wrote.
    EXPECT_EQ(device.bytes(), (std::vector<std::uint8_t>{4, 8}));
    EXPECT_EQ(device.closes(), 2);
}

TEST(PortWriter, FailedCycleThrowsAnExceptionOfKindEInOutError) {
    FakePortDevice device;
    device.failOpen(2);
    PortWriter writer(device);
    try {
        writer.write(1);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.kind(), "EInOutError");
        EXPECT_STREQ(e.what(), "Datei nicht gefunden");
    }
}

}  // namespace pio
