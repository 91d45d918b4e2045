// SPDX-License-Identifier: MIT
// USB relay boards as the port, against a fake hidraw: which board is taken, what is sent to
// it, and how an unplugged board is reported and followed again.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "FakeHidraw.h"
#include "output/HidRelayDevice.h"
#include "output/PortDevice.h"
#include "output/PortWriter.h"
#include "support/CycleCode.h"
#include "support/linux/TempDir.h"

namespace pio {

namespace {

constexpr int kNotFound = 2;  // "Datei nicht gefunden"
constexpr int kDenied = 5;    // "Dateizugriff verweigert"
constexpr int kNotAPort = 1;

using Sent = std::vector<std::array<unsigned char, 2>>;
constexpr unsigned char kOn = 0xFF;
constexpr unsigned char kOff = 0xFD;

// A panel on the board the node or serial names (both empty: the first board).
struct Panel {
    Panel(FakeHidraw& hidraw, const TempDir& locks, std::string node = "", std::string serial = "")
        : device(hidraw, std::move(node), std::move(serial), locks.path()), writer(device) {}
    HidRelayDevice device;
    PortWriter writer;
};

struct HidRelayDeviceTest : ::testing::Test {
    FakeHidraw hidraw;
    TempDir locks;
};

TEST_F(HidRelayDeviceTest, OnlyRelaysThatDifferFromTheBoardAreSent) {
    FakeHidraw::Board& board = hidraw.Add(0, "QWERT", 4);
    board.state = 0b0101;  // relays 1 and 3 on before the panel came
    Panel panel(hidraw, locks);
    ASSERT_EQ(CycleCode(panel.writer, 0b0011), 0);       // channels 1 and 2
    EXPECT_EQ(board.sent, (Sent{{kOff, 3}, {kOn, 2}}));  // offs first
    EXPECT_EQ(board.state, 0b0011U);
    board.sent.clear();
    for (int i = 0; i < 5; ++i) ASSERT_EQ(CycleCode(panel.writer, 0b0011), 0);
    EXPECT_EQ(board.sent, Sent{}) << "the same word again sends nothing";
    ASSERT_EQ(CycleCode(panel.writer, 0b1011), 0);
    EXPECT_EQ(board.sent, (Sent{{kOn, 4}}));
}

TEST_F(HidRelayDeviceTest, ATwoRelayBoardTakesChannelsOneAndTwo) {
    FakeHidraw::Board& board = hidraw.Add(0, "TWO01", 2);
    Panel panel(hidraw, locks);
    ASSERT_EQ(CycleCode(panel.writer, 0b111111), 0);
    EXPECT_EQ(board.sent, (Sent{{kOn, 1}, {kOn, 2}}));
    board.sent.clear();
    ASSERT_EQ(CycleCode(panel.writer, 0b111100), 0);
    EXPECT_EQ(board.sent, (Sent{{kOff, 1}, {kOff, 2}}));
}

TEST_F(HidRelayDeviceTest, AnEightRelayBoardKeepsRelaysSevenAndEight) {
    FakeHidraw::Board& board = hidraw.Add(0, "EIGHT", 8);
    board.state = 0b11000001;
    Panel panel(hidraw, locks);
    ASSERT_EQ(CycleCode(panel.writer, 0b100000), 0);  // channel 6 only
    EXPECT_EQ(board.sent, (Sent{{kOff, 1}, {kOn, 6}}));
    EXPECT_EQ(board.state, 0b11100000U);
}

TEST_F(HidRelayDeviceTest, ABoardIsFoundByItsSerialAmongTwo) {
    FakeHidraw::Board& first = hidraw.Add(2, "AAAAA", 2);
    FakeHidraw::Board& second = hidraw.Add(10, "BBBBB", 4);
    Panel bySerial(hidraw, locks, "", "BBBBB");
    ASSERT_EQ(CycleCode(bySerial.writer, 0b0001), 0);
    EXPECT_EQ(second.sent, (Sent{{kOn, 1}}));
    EXPECT_EQ(first.sent, Sent{});
    EXPECT_EQ(bySerial.device.Probe(), "BBBBB");
    // The first board is the one of the lowest number (2 before 10), and is free.
    Panel firstFound(hidraw, locks);
    EXPECT_EQ(firstFound.device.Probe(), "AAAAA");
    ASSERT_EQ(CycleCode(firstFound.writer, 0b0010), 0);
    EXPECT_EQ(first.sent, (Sent{{kOn, 2}}));
    // A serial no board has.
    Panel missing(hidraw, locks, "", "CCCCC");
    EXPECT_EQ(CycleCode(missing.writer, 1), kNotFound);
    EXPECT_EQ(missing.device.Probe(), "");
}

TEST_F(HidRelayDeviceTest, TwoPanelsOnOneBoardAreTwoPanelsOnOnePort) {
    hidraw.Add(0, "SHARE", 4);
    Panel first(hidraw, locks);
    Panel second(hidraw, locks, "/dev/hidraw0");
    ASSERT_EQ(CycleCode(first.writer, 1), 0);
    EXPECT_EQ(CycleCode(second.writer, 2), kPortHeldByAnotherPanel);
    first.writer.release();
    EXPECT_EQ(CycleCode(second.writer, 2), 0);
}

TEST_F(HidRelayDeviceTest, AnUnpluggedBoardIsNotFoundAndFollowsWhenBack) {
    FakeHidraw::Board& board = hidraw.Add(0, "PLUGS", 4);
    Panel panel(hidraw, locks);
    ASSERT_EQ(CycleCode(panel.writer, 0b0101), 0);
    hidraw.Unplug(0);
    std::string message;
    EXPECT_EQ(CycleCode(panel.writer, 0b0101, &message), kNotFound);  // the node it holds
    EXPECT_EQ(message, "Datei nicht gefunden");
    EXPECT_EQ(CycleCode(panel.writer, 0b0111), kNotFound);  // no board to find
    EXPECT_EQ(hidraw.OpenDescriptors(), 0U);
    hidraw.Plug(0);  // all relays off after the loss of power
    board.sent.clear();
    ASSERT_EQ(CycleCode(panel.writer, 0b0111), 0);
    EXPECT_EQ(board.sent, (Sent{{kOn, 1}, {kOn, 2}, {kOn, 3}}));
    EXPECT_EQ(board.state, 0b0111U);
}

TEST_F(HidRelayDeviceTest, ABoardThatMayNotBeOpenedIsDenied) {
    hidraw.Add(0, "DENY1", 2).denied = true;
    Panel panel(hidraw, locks);
    EXPECT_EQ(CycleCode(panel.writer, 1), kDenied);
    // Another board that may be opened is taken instead.
    FakeHidraw::Board& open = hidraw.Add(1, "OPEN1", 2);
    ASSERT_EQ(CycleCode(panel.writer, 1), 0);
    EXPECT_EQ(open.sent, (Sent{{kOn, 1}}));
}

TEST_F(HidRelayDeviceTest, OnlyRelayBoardsAreTaken) {
    hidraw.Add(0, "MOUSE", 4).vendor = 0x046d;
    hidraw.Add(1, "THREE", 3);  // no such board: USBRelay3
    Panel first(hidraw, locks);
    EXPECT_EQ(CycleCode(first.writer, 1), kNotFound);
    Panel byNode(hidraw, locks, "/dev/hidraw0");
    EXPECT_EQ(CycleCode(byNode.writer, 1), kNotAPort);
    EXPECT_EQ(hidraw.OpenDescriptors(), 0U);
    Panel noNode(hidraw, locks, "/dev/hidraw7");
    EXPECT_EQ(CycleCode(noNode.writer, 1), kNotFound);
}

TEST_F(HidRelayDeviceTest, SwitchOffAndTheEndLeaveTheRelays) {
    FakeHidraw::Board& board = hidraw.Add(0, "KEEPS", 4);
    {
        Panel panel(hidraw, locks);
        ASSERT_EQ(CycleCode(panel.writer, 0b1001), 0);
        panel.writer.release();
        EXPECT_EQ(hidraw.OpenDescriptors(), 0U);
        ASSERT_EQ(CycleCode(panel.writer, 0b1001), 0);
    }
    EXPECT_EQ(board.state, 0b1001U);
    EXPECT_EQ(board.sent, (Sent{{kOn, 1}, {kOn, 4}}));
    EXPECT_EQ(hidraw.OpenDescriptors(), 0U);
}

}  // namespace

}  // namespace pio
