// SPDX-License-Identifier: MIT
// The running light and the load view: loops inside their handlers, nested in each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "output/OutputWord.h"
#include "panel/TComponent.h"
#include "panel/TForm1.h"
#include "platform/Geometry.h"
#include "support/PanelRig.h"

namespace pio {

namespace {

class PatternTest : public ::testing::Test {
protected:
    Point At(const TControl* c) { return PanelRig::Centre(c); }
    // Records outword at each of `times` (the calls run nested in whatever waits then).
    void SampleWord(const std::vector<std::int64_t>& times) {
        samples_ = std::make_shared<std::vector<int>>();
        for (auto t : times) sim.at(t).call([s = samples_] { s->push_back(outword); });
    }
    std::vector<int> Samples() const { return *samples_; }

    PanelRig rig;
    SimPlatform& sim = rig.sim;
    TForm1& form = rig.form;
    std::shared_ptr<std::vector<int>> samples_;
};

std::vector<std::int64_t> Every100From(std::int64_t start, int n) {
    std::vector<std::int64_t> t;
    for (int i = 0; i < n; ++i) t.push_back(start + 100 * i);
    return t;
}

}  // namespace

TEST_F(PatternTest, SweepsFromAnyStartAt100msSteps) {
    sim.at(10).click(At(form.a1)).click(At(form.a3)).click(At(form.a6));  // word 37
    sim.at(100).doubleClick(At(form.vl));
    SampleWord(Every100From(150, 14));
    sim.at(2000).doubleClick(At(form.vl));
    sim.runUntil(3000);
    EXPECT_EQ(Samples(), (std::vector<int>{2, 4, 8, 16, 32, 16, 8, 4, 2, 1, 2, 4, 8, 16}));
    EXPECT_EQ(form.vl->Tag, 0);
    EXPECT_EQ(form.vl->GetPicture(), form.ooff->GetPicture());
}

TEST_F(PatternTest, SwitchedOffMovingUpLeavesChannelTwo) {
    sim.at(100).doubleClick(At(form.vl));
    sim.at(320).doubleClick(At(form.vl));  // word 8, moving up
    sim.runUntil(1000);
    EXPECT_EQ(outword, 2);
    EXPECT_TRUE(riderUp);
    EXPECT_FALSE(sim.loopEnded());
}

TEST_F(PatternTest, SwitchedOffMovingDownLeavesChannelOne) {
    sim.at(100).doubleClick(At(form.vl));
    sim.at(750).doubleClick(At(form.vl));  // word 4 at 700 is moving down
    SampleWord({760, 849, 851});
    sim.runUntil(1000);
    EXPECT_EQ(Samples(), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(outword, 1);
    EXPECT_TRUE(riderUp);
}

TEST_F(PatternTest, RefreshAndClicksKeepWorkingWhileTheLightRuns) {
    sim.at(5).doubleClick(At(form.v5)).doubleClick(At(form.pout));
    sim.at(100).doubleClick(At(form.vl));  // 2 at 100, 4 at 200
    sim.at(250).click(At(form.a6));        // 36 from 250
    SampleWord({260, 310});
    sim.at(400).doubleClick(At(form.vl));
    sim.runUntil(600);
    EXPECT_EQ(Samples(), (std::vector<int>{36, 72}));
    // Port bytes followed the light: 8 (word 2) ... 16 (word 4) ... 144 (36) ... 32 (72).
    const auto& bytes = rig.device.bytes();
    ASSERT_GE(bytes.size(), 50u);
    EXPECT_EQ(bytes[10], 8);    // tick 110
    EXPECT_EQ(bytes[20], 16);   // tick 210
    EXPECT_EQ(bytes[25], 144);  // tick 260
    EXPECT_EQ(bytes[30], 32);   // tick 310: 72 has bit 6, which falls out
}

TEST_F(PatternTest, RestartWhileUnwindingNestsTheNewLoop) {
    sim.at(100).doubleClick(At(form.vl));
    sim.at(330).doubleClick(At(form.vl));  // off: the nested call waits until 430
    sim.at(380).doubleClick(At(form.vl));  // on again inside that wait
    SampleWord({500, 600});
    sim.at(700).doubleClick(At(form.vl));
    sim.runUntil(1500);
    EXPECT_EQ(Samples(), (std::vector<int>{4, 8}));
    EXPECT_EQ(form.vl->Tag, 0);
    EXPECT_EQ(outword, 2);
}

TEST_F(PatternTest, ClosingDuringTheLightEndsTheProgramPromptly) {
    sim.at(100).doubleClick(At(form.vl));
    sim.at(555).close();
    sim.runUntil(10000);
    EXPECT_TRUE(sim.loopEnded());
    EXPECT_LE(sim.tickCount(), 555 + 200);
    EXPECT_EQ(form.vl->Tag, 1);
}

TEST_F(PatternTest, ClosingDuringAProbeEndsAfterTheProbe) {
    sim.at(100).doubleClick(At(form.peak));
    sim.at(620).close();
    sim.runUntil(10000);
    EXPECT_TRUE(sim.loopEnded());
    EXPECT_EQ(sim.tickCount(), 650);
}

TEST_F(PatternTest, LoadViewClearsTheWordOnAndOff) {
    sim.at(10).click(At(form.a2)).click(At(form.a5));
    sim.at(100).doubleClick(At(form.peak));
    SampleWord({101, 300, 301});
    sim.at(200).click(At(form.a4));
    sim.at(300).doubleClick(At(form.peak));
    sim.runUntil(1000);
    EXPECT_EQ(Samples(), (std::vector<int>{0, 8, 0}));
    EXPECT_EQ(form.peak->Tag, 0);
    EXPECT_EQ(form.peak->GetPicture(), form.goff->GetPicture());
    EXPECT_FALSE(form.tick->Enabled());
}

TEST_F(PatternTest, FirstProbeShowsZeroAndProbesComeEvery550ms) {
    sim.at(100).doubleClick(At(form.peak));
    sim.at(590).click(At(form.a6));  // the probe replaces it
    sim.runUntil(599);
    EXPECT_EQ(minTime, 5000);
    sim.runUntil(651);
    EXPECT_EQ(minTime, 50);
    EXPECT_EQ(outword, 0);
    EXPECT_EQ(form.Label2->Caption(), "0");
    EXPECT_TRUE(form.tick->Enabled());
    // Next probe starts 500 ms after the end of this one.
    sim.at(1160).busy(20);
    sim.runUntil(1300);
    EXPECT_EQ(outword, 0);  // 1150..1200 with 20 ms of work inside still ends at 1200
}

TEST_F(PatternTest, AProbe100msLateLightsChannelsOneToFour) {
    sim.at(100).doubleClick(At(form.peak));  // probes at 600-650, then from 1150
    sim.at(1160).busy(140);                  // the second probe ends at 1300: 150 ms
    sim.runUntil(1301);
    EXPECT_EQ(outword, 15);
    EXPECT_EQ(form.Label2->Caption(), "100");
    EXPECT_EQ(minTime, 50);
    sim.at(2360).busy(1000);  // the probe from 2350 lasts 1010 ms: all six
    sim.runUntil(3361);
    EXPECT_EQ(outword, 63);
    EXPECT_EQ(form.Label2->Caption(), "960");
}

TEST_F(PatternTest, BestDurationSurvivesSwitchingTheViewOffAndOn) {
    sim.at(100).doubleClick(At(form.peak));  // first probe: minTime 50
    sim.at(700).doubleClick(At(form.peak)).at(800).doubleClick(At(form.peak));
    sim.at(1310).busy(60);  // the first probe after switching on: 1300 .. 1370
    sim.runUntil(1400);
    EXPECT_EQ(minTime, 50);
    EXPECT_EQ(form.Label2->Caption(), "20");
    EXPECT_EQ(outword, 3);
}

TEST_F(PatternTest, LightInsideAProbeGivesAFullBar) {
    sim.at(100).doubleClick(At(form.peak));  // probes at 600, then 1150
    sim.at(1160).doubleClick(At(form.vl));   // runs inside the second probe's wait
    sim.at(2300).doubleClick(At(form.vl));   // light ends at 2400, and with it the probe
    SampleWord({2401, 2800, 2960});
    sim.runUntil(3000);
    // During the light no probe ran (tick was off), so the light's own steps show;
    // after it the probe's 1250 ms give 63 until the next probe at 2900.
    const auto s = Samples();
    EXPECT_EQ(s, (std::vector<int>{63, 63, 0}));
    EXPECT_EQ(form.Label2->Caption(), "0");
}

TEST_F(PatternTest, ViewSwitchedOffDuringAProbeStaysOff) {
    sim.at(100).doubleClick(At(form.peak));
    sim.at(620).doubleClick(At(form.peak));  // inside the first probe's wait
    sim.at(700).click(At(form.a3));
    sim.runUntil(3000);
    EXPECT_EQ(form.peak->Tag, 0);
    EXPECT_FALSE(form.tick->Enabled());
    EXPECT_EQ(outword, 4);     // no bar overwrote the click
    EXPECT_EQ(minTime, 5000);  // and no probe was recorded
    EXPECT_EQ(form.Label2->Caption(), "0");
}

TEST_F(PatternTest, TickRunsExactlyWhileTheViewIsOn) {
    for (std::int64_t t = 100; t < 5000; t += 370) sim.at(t).doubleClick(At(form.peak));
    for (std::int64_t t = 0; t < 6000; t += 7)
        sim.at(t).call([this] {
            // Outside a probe's wait (depth 1 = this call at loop level).
            if (sim.handlerDepth() == 1) {
                EXPECT_EQ(form.tick->Enabled(), form.peak->Tag == 1);
            }
        });
    sim.runUntil(6000);
}

// Double clicks at machine speed, 1 ms apart, with port output on.
class MachineSpeedLightTest : public PatternTest, public ::testing::WithParamInterface<int> {};

TEST_P(MachineSpeedLightTest, BoundedNestingAndTheRightEndState) {
    const int count = GetParam();
    const std::int64_t end = 100 + count;
    sim.at(5).doubleClick(At(form.pout));
    for (int i = 0; i < count; ++i) sim.at(100 + i).doubleClick(At(form.vl));
    int deepest = 0;
    int deepestLight = 0;
    bool onAfterClicks = false;
    sim.setAfterEvent([&] {
        deepest = std::max(deepest, sim.handlerDepth());
        deepestLight = std::max(deepestLight, form.LightNesting());
    });
    sim.at(end + 1).call([&] { onAfterClicks = form.vl->Tag == 1; });
    // An odd count leaves the light on: it must still sweep, and a last double click ends it.
    SampleWord(Every100From(end + 5000, 10));
    if (count % 2 == 1) sim.at(end + 6000).doubleClick(At(form.vl));
    sim.runUntil(end + 8000);

    EXPECT_EQ(onAfterClicks, count % 2 == 1);
    EXPECT_LE(deepestLight, TForm1::kMaxLightNesting);
    EXPECT_LE(deepest, 2 * TForm1::kMaxLightNesting + 4);  // a light's handler and its pump
    if (count % 2 == 1) {
        const auto words = Samples();
        for (int w : words) EXPECT_EQ(w & (w - 1), 0) << "one lit channel, not " << w;
        EXPECT_GT(std::set<int>(words.begin(), words.end()).size(), 3u) << "the light moves";
    }
    // Off: every loop has returned, channel 1 or 2 stays lit and the port keeps that byte.
    EXPECT_EQ(form.LightNesting(), 0);
    EXPECT_EQ(form.vl->Tag, 0);
    EXPECT_EQ(form.vl->GetPicture(), form.ooff->GetPicture());
    EXPECT_TRUE(outword == 1 || outword == 2) << outword;
    EXPECT_EQ(rig.device.bytes().back(), outword << 2);
    EXPECT_FALSE(sim.loopEnded());
}

INSTANTIATE_TEST_SUITE_P(Counts, MachineSpeedLightTest, ::testing::Values(3000, 3001, 40));

TEST_F(PatternTest, LightsNestAsBeforeAtHumanSpeed) {
    // On, off and on again quickly: the newest light runs inside the older ones, and only
    // it steps the word.
    sim.at(100).doubleClick(At(form.vl)).at(150).doubleClick(At(form.vl));
    sim.at(200).doubleClick(At(form.vl));
    int deepest = 0;
    sim.setAfterEvent([&] { deepest = std::max(deepest, form.LightNesting()); });
    SampleWord({299, 399, 499});
    sim.at(550).doubleClick(At(form.vl));
    sim.runUntil(1500);
    EXPECT_EQ(deepest, 4);  // three lights, and the last double click inside the newest
    EXPECT_EQ(Samples(), (std::vector<int>{2, 4, 8}));
    EXPECT_EQ(form.vl->Tag, 0);
    EXPECT_EQ(form.LightNesting(), 0);
}

}  // namespace pio
