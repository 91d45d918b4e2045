// SPDX-License-Identifier: MIT
// USB relay boards on Windows, against fake boards behind the HID seam: which board is
// taken, what is sent to it, and how an unplugged board is reported and followed again.
#include "output/WinHidRelayDevice.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "output/PortWriter.h"
#include "support/CycleCode.h"

namespace pio {

namespace {

using Sent = std::vector<std::array<unsigned char, 2>>;
constexpr unsigned char kOn = 0xFF;
constexpr unsigned char kOff = 0xFD;

// Relay boards and one keyboard as hid.dll shows them. A board unplugged fails every call on
// a handle opened before with ERROR_DEVICE_NOT_CONNECTED and is gone from the list.
class FakeWinHid final : public WinHidCalls {
public:
    struct Board {
        std::wstring path;
        std::string serial;
        std::wstring product;
        unsigned state = 0;
        bool plugged = true;
        int generation = 0;
        Sent sent{};
    };

    Board& Add(const std::string& serial, int relays) {
        const std::wstring path =
            L"\\\\?\\HID#VID_16C0&PID_05DF#" + std::to_wstring(boards_.size()) + L"#{4d1e55b2}";
        boards_.push_back({path, serial, L"USBRelay" + std::to_wstring(relays)});
        return boards_.back();
    }
    void Unplug(Board& b) {
        b.plugged = false;
        ++b.generation;
    }
    void Plug(Board& b) {
        b.plugged = true;
        b.state = 0;  // without power all relays fell off
    }
    std::size_t OpenDevices() const { return open_.size(); }

    std::vector<std::wstring> Paths() override {
        std::vector<std::wstring> paths = {L"\\\\?\\HID#VID_046D&PID_C31C#kbd#{4d1e55b2}"};
        for (const Board& b : boards_)
            if (b.plugged) paths.push_back(b.path);
        return paths;
    }
    Device Open(const std::wstring& path, unsigned long& error) override {
        for (Board& b : boards_) {
            if (!b.plugged || b.path != path) continue;
            auto* device = reinterpret_cast<Device>(static_cast<std::uintptr_t>(next_++));
            open_[device] = {&b, b.generation};
            return device;
        }
        error =
            path.find(L"046D") != std::wstring::npos ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    void Close(Device device) override { open_.erase(device); }
    unsigned long Attributes(Device device, unsigned short& vendor,
                             unsigned short& product) override {
        Board* b = Live(device);
        if (!b) return ERROR_DEVICE_NOT_CONNECTED;
        vendor = 0x16c0;
        product = 0x05df;
        return 0;
    }
    unsigned long Product(Device device, std::wstring& name) override {
        Board* b = Live(device);
        if (!b) return ERROR_DEVICE_NOT_CONNECTED;
        name = b->product;
        return 0;
    }
    unsigned long GetFeature(Device device, unsigned char* report, unsigned long size) override {
        Board* b = Live(device);
        if (!b) return ERROR_DEVICE_NOT_CONNECTED;
        if (size != 9 || report[0] != 0) return ERROR_INVALID_PARAMETER;
        for (std::size_t i = 0; i < 8; ++i)
            report[1 + i] = i < b->serial.size() && i < 5 ? b->serial[i] : 0;
        report[8] = static_cast<unsigned char>(b->state);
        return 0;
    }
    unsigned long SetFeature(Device device, unsigned char* report, unsigned long size) override {
        Board* b = Live(device);
        if (!b) return ERROR_DEVICE_NOT_CONNECTED;
        if (size != 9 || report[0] != 0) return ERROR_INVALID_PARAMETER;
        b->sent.push_back({report[1], report[2]});
        const unsigned bit = 1U << (report[2] - 1);
        if (report[1] == kOn) b->state |= bit;
        if (report[1] == kOff) b->state &= ~bit;
        return 0;
    }

private:
    struct Opened {
        Board* board;
        int generation;
    };
    Board* Live(Device device) {
        const auto it = open_.find(device);
        if (it == open_.end() || it->second.generation != it->second.board->generation)
            return nullptr;
        return it->second.board;
    }

    std::deque<Board> boards_;  // a deque: Add() keeps the boards it gave out where they are
    std::map<Device, Opened> open_;
    int next_ = 0x100;
};

TEST(WinHidRelayDevice, OnlyRelaysThatDifferFromTheBoardAreSent) {
    FakeWinHid hid;
    FakeWinHid::Board& board = hid.Add("QWERT", 4);
    board.state = 0b0101;
    WinHidRelayDevice device(hid, "");
    PortWriter writer(device);
    ASSERT_EQ(CycleCode(writer, 0b0011), 0);
    EXPECT_EQ(board.sent, (Sent{{kOff, 3}, {kOn, 2}}));  // offs first
    board.sent.clear();
    ASSERT_EQ(CycleCode(writer, 0b0011), 0);
    EXPECT_EQ(board.sent, Sent{});
}

TEST(WinHidRelayDevice, TwoAndEightRelayBoards) {
    FakeWinHid hid;
    FakeWinHid::Board& two = hid.Add("TWO01", 2);
    FakeWinHid::Board& eight = hid.Add("EIGHT", 8);
    eight.state = 0b11000000;
    WinHidRelayDevice onTwo(hid, "TWO01");
    PortWriter twoWriter(onTwo);
    ASSERT_EQ(CycleCode(twoWriter, 0b111111), 0);
    EXPECT_EQ(two.sent, (Sent{{kOn, 1}, {kOn, 2}}));
    WinHidRelayDevice onEight(hid, "EIGHT");
    PortWriter eightWriter(onEight);
    ASSERT_EQ(CycleCode(eightWriter, 0b100001), 0);
    EXPECT_EQ(eight.sent, (Sent{{kOn, 1}, {kOn, 6}}));
    EXPECT_EQ(eight.state, 0b11100001U) << "relays 7 and 8 are left alone";
}

// Under wine the board comes through Linux's hidraw: its interface path is wine's own, and
// its product name is the one Linux made, with the maker's name in front.
TEST(WinHidRelayDevice, ABoardAsWineShowsItIsDriven) {
    FakeWinHid hid;
    FakeWinHid::Board& board = hid.Add("RIGWN", 8);
    board.path = L"\\\\?\\hid#vid_16c0&pid_05df&mi_00#0&rigwn&0&0#{4d1e55b2}";
    board.product = L"www.dcttech.com USBRelay8";
    WinHidRelayDevice device(hid, "");
    PortWriter writer(device);
    ASSERT_EQ(CycleCode(writer, 0b000100), 0);
    EXPECT_EQ(board.sent, (Sent{{kOn, 3}}));

    board.product = L"www.dcttech.com USBRelay3";  // no such board
    WinHidRelayDevice none(hid, "");
    PortWriter noneWriter(none);
    EXPECT_EQ(CycleCode(noneWriter, 0b000100), ERROR_FILE_NOT_FOUND);
}

TEST(WinHidRelayDevice, ABoardIsFoundByItsSerialAmongTwo) {
    FakeWinHid hid;
    FakeWinHid::Board& first = hid.Add("AAAAA", 2);
    FakeWinHid::Board& second = hid.Add("BBBBB", 2);
    WinHidRelayDevice bySerial(hid, "BBBBB");
    PortWriter writer(bySerial);
    ASSERT_EQ(CycleCode(writer, 1), 0);
    EXPECT_EQ(second.sent, (Sent{{kOn, 1}}));
    EXPECT_EQ(first.sent, Sent{});
    EXPECT_EQ(WinHidRelayDevice(hid, "").Probe(), "AAAAA");
    WinHidRelayDevice missing(hid, "CCCCC");
    EXPECT_EQ(missing.hold(), ERROR_FILE_NOT_FOUND) << "the keyboard's refusal is no answer";
    EXPECT_EQ(missing.Probe(), "");
}

TEST(WinHidRelayDevice, TwoPanelsOnOneBoardAreTwoPanelsOnOnePort) {
    FakeWinHid hid;
    hid.Add("SHARE", 4);
    WinHidRelayDevice first(hid, "");
    WinHidRelayDevice second(hid, "SHARE");
    // The second panel on a thread of its own: a mutex is its owner thread's again and again.
    auto holdElsewhere = [&second] {
        int code = -1;
        std::thread([&] {
            code = second.hold();
            second.letGo();
        }).join();
        return code;
    };
    ASSERT_EQ(first.hold(), 0);
    EXPECT_EQ(holdElsewhere(), kPortHeldByAnotherPanel);
    EXPECT_EQ(hid.OpenDevices(), 1U) << "the refused panel keeps no board open";
    first.letGo();
    EXPECT_EQ(holdElsewhere(), 0);
}

TEST(WinHidRelayDevice, AnUnpluggedBoardIsNotFoundAndFollowsWhenBack) {
    FakeWinHid hid;
    FakeWinHid::Board& board = hid.Add("PLUGS", 4);
    WinHidRelayDevice device(hid, "");
    PortWriter writer(device);
    ASSERT_EQ(CycleCode(writer, 0b0101), 0);
    hid.Unplug(board);
    EXPECT_EQ(CycleCode(writer, 0b0101), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CycleCode(writer, 0b0111), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hid.OpenDevices(), 0U);
    hid.Plug(board);
    board.sent.clear();
    ASSERT_EQ(CycleCode(writer, 0b0111), 0);
    EXPECT_EQ(board.sent, (Sent{{kOn, 1}, {kOn, 2}, {kOn, 3}}));
    device.letGo();
    EXPECT_EQ(hid.OpenDevices(), 0U);
    EXPECT_EQ(board.state, 0b0111U) << "switch-off leaves the relays";
}

}  // namespace

}  // namespace pio
