// SPDX-License-Identifier: MIT
// Hint timing and placement on the real panel layout.
#include "panel/HintController.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/Geometry.h"
#include "platform/Platform.h"
#include "support/PanelRig.h"
#include "support/SimPlatform.h"

namespace pio {

namespace {

class HintTest : public ::testing::Test {
protected:
    Point At(const TControl* c) { return PanelRig::Centre(c); }
    PanelRig rig;
    SimPlatform& sim = rig.sim;
};

}  // namespace

TEST_F(HintTest, ShownAfter500msBelowTheControlAndGoneAfter2500ms) {
    sim.at(100).move(At(rig.form.pout));
    sim.runUntil(599);
    EXPECT_FALSE(sim.hintShowing());
    sim.runUntil(600);
    ASSERT_EQ(sim.hints().size(), 1u);
    EXPECT_EQ(sim.hints()[0].text, "externe PIO-Unit aktivieren");
    // Left edge of pout (321 + 296), 6 px below its bottom edge (112 + 36 + 11 + 6).
    EXPECT_EQ(sim.hints()[0].at, (Point{617, 165}));
    sim.runUntil(4000);
    EXPECT_EQ(sim.hints()[0].hiddenAt, 3100);
    EXPECT_EQ(sim.hints().size(), 1u);  // resting on, it does not come back
}

TEST_F(HintTest, RestingMeansTheSameControlNotTheSamePixel) {
    sim.at(100).move(At(rig.form.vl)).at(400).move({297, 114});
    sim.runUntil(700);
    ASSERT_EQ(sim.hints().size(), 1u);
    EXPECT_EQ(sim.hints()[0].text, "Rider");
    EXPECT_EQ(sim.hints()[0].shownAt, 600);
}

TEST_F(HintTest, AfterTimingOutItReturnsOnlyOnceThePointerHasLeft) {
    sim.at(100).move(At(rig.form.v5)).at(4000).move({150, 150}).at(4100).move(At(rig.form.v5));
    sim.runUntil(5000);
    ASSERT_EQ(sim.hints().size(), 2u);
    EXPECT_EQ(sim.hints()[1].text, "EIN / AUS");
    EXPECT_EQ(sim.hints()[1].shownAt, 4600);
}

TEST_F(HintTest, QuickWhenAHintWasShowing) {
    sim.at(100).move(At(rig.form.vl)).at(1000).move(At(rig.form.peak));
    sim.runUntil(1100);
    ASSERT_EQ(sim.hints().size(), 2u);
    EXPECT_EQ(sim.hints()[0].hiddenAt, 1000);
    EXPECT_EQ(sim.hints()[1].text, "Loadview");
    EXPECT_EQ(sim.hints()[1].shownAt, 1050);
}

TEST_F(HintTest, OnlyTheFourSwitchesShowHints) {
    sim.at(100).move(At(rig.form.a1)).at(1000).move(At(rig.form.p2)).at(2000).move(At(rig.form.l3));
    sim.at(3000).move(At(rig.form.Label1)).at(4000).move({5, 5});
    sim.runUntil(5000);
    EXPECT_TRUE(sim.hints().empty());
}

struct GoneCase {
    const char* what;
    std::function<void(SimPlatform&, PanelRig&)> act;
};

class HintGoneTest : public ::testing::TestWithParam<GoneCase> {};

// A place on the panel's background, away from every component.
constexpr Point kBackground{320, 10};

TEST_P(HintGoneTest, HiddenAtOnce) {
    PanelRig rig;
    rig.sim.at(100).move(PanelRig::Centre(rig.form.pout));
    rig.sim.at(1000);
    GetParam().act(rig.sim, rig);
    rig.sim.runUntil(5000);
    ASSERT_GE(rig.sim.hints().size(), 1u);
    EXPECT_EQ(rig.sim.hints()[0].hiddenAt, 1000);
    EXPECT_EQ(rig.sim.hints().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, HintGoneTest,
    ::testing::Values(
        GoneCase{"key", [](SimPlatform& s, PanelRig&) { s.key(); }},
        GoneCase{"leftPress",
                 [](SimPlatform& s, PanelRig& r) { s.press(PanelRig::Centre(r.form.pout)); }},
        GoneCase{"rightPress",
                 [](SimPlatform& s, PanelRig& r) {
                     s.press(PanelRig::Centre(r.form.pout), MouseButton::Right);
                 }},
        GoneCase{"ontoSocket",
                 [](SimPlatform& s, PanelRig& r) { s.move(PanelRig::Centre(r.form.a6)); }},
        GoneCase{"ontoBackground", [](SimPlatform& s, PanelRig&) { s.move(kBackground); }},
        GoneCase{"leave", [](SimPlatform& s, PanelRig&) { s.leave(); }},
        GoneCase{"deactivated", [](SimPlatform& s, PanelRig&) { s.activate(false); }}),
    [](const auto& test) { return std::string(test.param.what); });

TEST_F(HintTest, NotWhileTheProgramIsInactive) {
    sim.at(50).activate(false).at(100).move(At(rig.form.pout));
    sim.runUntil(2000);
    EXPECT_TRUE(sim.hints().empty());
    sim.at(2000).activate(true);
    sim.runUntil(2600);
    ASSERT_EQ(sim.hints().size(), 1u);
    EXPECT_EQ(sim.hints()[0].shownAt, 2500);
}

TEST_F(HintTest, PendingHintIsCancelledByLeaving) {
    sim.at(100).move(At(rig.form.pout)).at(300).leave();
    sim.runUntil(2000);
    EXPECT_TRUE(sim.hints().empty());
}

}  // namespace pio
