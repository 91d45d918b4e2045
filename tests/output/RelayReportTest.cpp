// SPDX-License-Identifier: MIT
#include "output/RelayReport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace pio {
namespace {

// Every change the devices would send to bring `state` to the channels of `byte`, in order.
std::vector<std::pair<int, bool>> Changes(std::uint8_t byte, std::uint8_t state, int relays) {
    std::vector<std::pair<int, bool>> sent;
    bool on = false;
    while (const int relay = RelayReport::NextChange(byte, state, relays, on)) {
        sent.emplace_back(relay, on);
        state = RelayReport::With(state, relay, on);
        if (sent.size() > 8) break;  // a change that does not stick would loop for good
    }
    return sent;
}

using Sent = std::vector<std::pair<int, bool>>;

TEST(RelayReport, OnlyTheRelaysThatDifferAreSwitched) {
    EXPECT_EQ(Changes(0, 0, 8), Sent{});
    EXPECT_EQ(Changes(0x04, 0, 8), (Sent{{1, true}}));  // channel 1 = D2
    EXPECT_EQ(Changes(0x80, 0x01, 8), (Sent{{1, false}, {6, true}}));
    // A running light's step: the lamp that goes out goes out before the next one lights.
    EXPECT_EQ(Changes(0x04, 0x02, 8), (Sent{{2, false}, {1, true}}));
    EXPECT_EQ(Changes(0x18, 0x21, 8), (Sent{{1, false}, {6, false}, {2, true}, {3, true}}));
    EXPECT_EQ(Changes(0xFC, 0x3F, 8), Sent{});  // all six on already
    EXPECT_EQ(Changes(0x00, 0xC0, 8), Sent{});  // relays 7 and 8 left alone
    EXPECT_EQ(Changes(0x03, 0, 8), Sent{});     // D0, D1 drive nothing
}

TEST(RelayReport, ChannelsBeyondTheBoardDriveNothing) {
    EXPECT_EQ(Changes(0xFC, 0, 2), (Sent{{1, true}, {2, true}}));
    EXPECT_EQ(Changes(0xF0, 0, 1), Sent{});
    EXPECT_EQ(Changes(0xFC, 0, 0), Sent{});
}

TEST(RelayReport, ReportsReadAndSent) {
    const RelayReport::Bytes on = RelayReport::Switch(3, true);
    EXPECT_EQ(on[0], 0);  // the report id
    EXPECT_EQ(on[1], 0xFF);
    EXPECT_EQ(on[2], 3);
    EXPECT_EQ(RelayReport::Switch(8, false)[1], 0xFD);

    RelayReport::Bytes back{0, 'A', 'B', 'C', 'D', 'E', 0, 0, 0x05};
    EXPECT_EQ(RelayReport::Serial(back), "ABCDE");
    EXPECT_EQ(RelayReport::State(back), 0x05);
    back[4] = 0;  // a shorter serial ends at its first zero
    EXPECT_EQ(RelayReport::Serial(back), "ABC");
    EXPECT_EQ(RelayReport::Shown("A\nB\x7f\xc3"), "A?B??");
}

struct ProductName {
    const char* name;
    int relays;
};

class RelayReportName : public testing::TestWithParam<ProductName> {};

TEST_P(RelayReportName, RelaysOfAProductName) {
    EXPECT_EQ(RelayReport::Relays(GetParam().name), GetParam().relays) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, RelayReportName,
    testing::Values(ProductName{"USBRelay1", 1}, ProductName{"USBRelay8", 8},
                    // Linux and wine: the maker's name in front; sysfs ends lines in '\n'
                    ProductName{"www.dcttech.com USBRelay2", 2},
                    ProductName{"www.dcttech.com USBRelay4\n", 4},
                    // no such boards
                    ProductName{"USBRelay3", 0}, ProductName{"USBRelay16", 0},
                    ProductName{"USBRelay", 0}, ProductName{"USBRelay8 v2", 0},
                    ProductName{"Wine HID keyboard", 0}, ProductName{"", 0}));

}  // namespace
}  // namespace pio
