// SPDX-License-Identifier: MIT
#include "output/OutputWord.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace pio {

TEST(OutputWord, ResetSetsTheThreeGlobals) {
    outword = 99;
    riderUp = false;
    minTime = 12;
    ResetOutput();
    EXPECT_EQ(outword, 0);
    EXPECT_TRUE(riderUp);
    EXPECT_EQ(minTime, 5000);
}

TEST(ToggleChannel, AddsWhenClearSubtractsWhenSet) {
    outword = 0;
    ToggleChannel(3);
    EXPECT_EQ(outword, 4);
    ToggleChannel(3);
    EXPECT_EQ(outword, 0);
    ToggleChannel(1);
    ToggleChannel(6);
    EXPECT_EQ(outword, 33);
    // Bit 6 (set by the light) is left alone by channel toggles.
    EXPECT_EQ(ToggledChannel(64 + 32, 6), 64);
    EXPECT_EQ(ToggledChannel(64, 1), 65);
}

struct StepCase {
    std::int32_t word;
    bool up;
    std::int32_t wantWord;
    bool wantUp;
};

class RiderStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(RiderStepTest, OneStep) {
    auto c = GetParam();
    RiderStep(c.word, c.up);
    EXPECT_EQ(c.word, c.wantWord);
    EXPECT_EQ(c.up, c.wantUp);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RiderStepTest,
    ::testing::Values(StepCase{16, true, 32, false},   // turns at 32
                      StepCase{32, false, 16, false},  // and comes back
                      StepCase{1, false, 1, true},     // halves to 0, then lands on 1 going up
                      StepCase{0, true, 0, true},      // an all-off word never lights
                      StepCase{5, false, 2, false},    // truncates
                      StepCase{3, false, 1, true},     // reaches 1 and turns
                      StepCase{34, true, 68, false},   // channel 6 on pushes into bit 6
                      StepCase{68, false, 34, false},  // and comes back through channel 6
                      StepCase{63, true, 126, false},  // a full bar doubles past the LEDs
                      StepCase{2, false, 1, true}),
    [](const auto& test) {
        return "from" + std::to_string(test.param.word) + (test.param.up ? "Up" : "Down");
    });

TEST(RiderStep, FullSweepHasPeriodTen) {
    std::int32_t word = 1;
    bool up = true;
    const std::vector<std::int32_t> want = {2, 4, 8, 16, 32, 16, 8, 4, 2, 1,
                                            2, 4, 8, 16, 32, 16, 8, 4, 2, 1};
    std::vector<std::int32_t> got;
    for (std::size_t i = 0; i < want.size(); ++i) {
        RiderStep(word, up);
        got.push_back(word);
    }
    EXPECT_EQ(got, want);
}

TEST(RiderStep, GlobalFormUsesOutwordAndRiderUp) {
    outword = 16;
    riderUp = true;
    RiderStep();
    EXPECT_EQ(outword, 32);
    EXPECT_FALSE(riderUp);
}

class LoadBarsTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(LoadBarsTest, Thresholds) {
    EXPECT_EQ(LoadBars(std::get<0>(GetParam())), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadBarsTest,
    ::testing::Values(std::make_tuple(0, 0), std::make_tuple(1, 1), std::make_tuple(10, 1),
                      std::make_tuple(11, 3), std::make_tuple(30, 3), std::make_tuple(31, 7),
                      std::make_tuple(90, 7), std::make_tuple(91, 15), std::make_tuple(270, 15),
                      std::make_tuple(271, 31), std::make_tuple(810, 31), std::make_tuple(900, 31),
                      std::make_tuple(901, 63), std::make_tuple(100000, 63)),
    [](const auto& test) { return "late" + std::to_string(std::get<0>(test.param)) + "ms"; });

}  // namespace pio
