// SPDX-License-Identifier: MIT
// The panel's handlers end to end on the simulated platform: toggles, the refresh and the
// port, the display and port switches, and one report per port failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "output/OutputWord.h"
#include "panel/TComponent.h"
#include "panel/TForm1.h"
#include "platform/Geometry.h"
#include "platform/Platform.h"
#include "support/PanelRig.h"
#include "support/SimPlatform.h"

namespace pio {

namespace {

class TForm1Test : public ::testing::Test {
protected:
    Point At(const TControl* c) { return PanelRig::Centre(c); }
    std::vector<TImage*> Leds() {
        auto& f = rig.form;
        return {f.p1, f.p2, f.p3, f.p4, f.p5, f.p6};
    }
    PanelRig rig;
    SimPlatform& sim = rig.sim;
    TForm1& form = rig.form;
};

}  // namespace

TEST_F(TForm1Test, CreationHandlerResetsTheWord) {
    EXPECT_EQ(outword, 0);
    EXPECT_TRUE(riderUp);
    EXPECT_EQ(minTime, 5000);
}

TEST_F(TForm1Test, DisplayOffKeepsLedsDarkWhileWordAndPortChange) {
    sim.at(5).doubleClick(At(form.pout)).at(15).click(At(form.a3));
    sim.runUntil(35);
    EXPECT_EQ(outword, 4);
    EXPECT_EQ(form.p3->Tag, 1);
    for (TImage* led : Leds()) EXPECT_TRUE(rig.Dark(led)) << led->Name();
    EXPECT_EQ(rig.device.bytes(), (std::vector<std::uint8_t>{0, 16, 16}));

    // Switching the display on shows the word at the next refresh, without a click.
    sim.at(35).doubleClick(At(form.v5));
    sim.runUntil(39);
    EXPECT_TRUE(rig.Dark(form.p3));
    sim.runUntil(40);
    EXPECT_TRUE(rig.Lit(form.p3));
    for (TImage* led : {form.p1, form.p2, form.p4, form.p5, form.p6}) EXPECT_TRUE(rig.Dark(led));
}

TEST_F(TForm1Test, LedsFollowTheWordEveryRefresh) {
    sim.at(5).doubleClick(At(form.v5)).at(12).click(At(form.l1)).at(13).click(At(form.p6));
    sim.runUntil(20);
    EXPECT_EQ(outword, 33);
    const std::vector<int> want = {1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Leds()[i]->Tag, want[i]);
        EXPECT_EQ(rig.Lit(Leds()[i]), want[i] == 1);
    }
    // Bit 6 shows nowhere.
    outword = 64;
    sim.runUntil(30);
    for (TImage* led : Leds()) EXPECT_TRUE(rig.Dark(led));
}

TEST_F(TForm1Test, SocketLedAndNumberAreOneChannel) {
    std::vector<int> seen;
    auto snap = [&] { seen.push_back(outword); };
    sim.at(1).click(At(form.a2)).call(snap);
    sim.at(2).click(At(form.p2)).call(snap);
    sim.at(3).click(At(form.l2)).call(snap);
    sim.runUntil(5);
    EXPECT_EQ(seen, (std::vector<int>{2, 0, 2}));
}

TEST_F(TForm1Test, DoubleClickOnAChannelTogglesItOnce) {
    sim.at(5).doubleClick(At(form.a5));
    sim.runUntil(6);
    EXPECT_EQ(outword, 16);
    // Two clicks that do not form a double click toggle twice.
    sim.at(7).click(At(form.a5)).at(8).click(At(form.a5));
    sim.runUntil(9);
    EXPECT_EQ(outword, 16);
}

TEST_F(TForm1Test, ClicksOutsideChannelsDoNothing) {
    for (Point p : {Point{5, 5}, Point{170, 185}, Point{40, 120}, Point{300, 150}})
        sim.at(5).click(p);
    sim.runUntil(6);
    EXPECT_EQ(outword, 0);
}

TEST_F(TForm1Test, SingleClickOnASwitchDoesNothing) {
    for (TImage* sw : {form.v5, form.pout, form.vl, form.peak}) sim.at(5).click(At(sw));
    sim.runUntil(100);
    for (TImage* sw : {form.v5, form.pout, form.vl, form.peak}) EXPECT_EQ(sw->Tag, 0);
    EXPECT_EQ(outword, 0);
    EXPECT_TRUE(rig.device.bytes().empty());
    EXPECT_FALSE(form.tick->Enabled());
}

TEST_F(TForm1Test, SwitchesToggleTheirTagAndPicture) {
    sim.at(5).doubleClick(At(form.v5)).doubleClick(At(form.pout));
    sim.runUntil(6);
    EXPECT_EQ(form.v5->Tag, 1);
    EXPECT_EQ(form.v5->GetPicture(), form.gon->GetPicture());
    EXPECT_EQ(form.pout->Tag, 1);
    EXPECT_EQ(form.pout->GetPicture(), form.oon->GetPicture());
    form.v5->Tag = 7;  // anything but 0 toggles to 0
    sim.at(7).doubleClick(At(form.v5)).doubleClick(At(form.pout));
    sim.runUntil(8);
    EXPECT_EQ(form.v5->Tag, 0);
    EXPECT_EQ(form.v5->GetPicture(), form.goff->GetPicture());
    EXPECT_EQ(form.pout->GetPicture(), form.ooff->GetPicture());
}

TEST_F(TForm1Test, PortGetsAByteEveryTickWhileSwitchedOnAndKeepsTheLast) {
    sim.at(5).click(At(form.a1)).click(At(form.a6));
    sim.at(25).doubleClick(At(form.pout));
    sim.at(55).doubleClick(At(form.pout));
    sim.runUntil(200);
    EXPECT_EQ(rig.device.bytes(), (std::vector<std::uint8_t>{132, 132, 132}));  // 30, 40, 50
}

TEST_F(TForm1Test, OneReportPerFailureEpisode) {
    rig.device.failOpen(2, FakePortDevice::Times::Always);
    sim.answerBoxesAfter(500);
    sim.at(5).doubleClick(At(form.pout));
    sim.runUntil(2000);
    ASSERT_EQ(sim.boxes().size(), 1u);
    EXPECT_EQ(sim.boxes()[0].text, "Datei nicht gefunden.");
    EXPECT_EQ(sim.boxes()[0].caption, "pio-out");
    EXPECT_EQ(sim.boxes()[0].icon, MessageIcon::Stop);
    EXPECT_EQ(sim.boxes()[0].openedAt, 10);
    EXPECT_EQ(form.pout->Tag, 1);  // port output stays on
    const auto& calls = rig.device.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "open"), 200);  // every tick tries again

    // The device comes back: the port follows the word by itself, without a report.
    sim.at(2000).call([&] { rig.device.heal(); }).click(At(form.a3));
    sim.runUntil(2100);
    EXPECT_EQ(rig.device.bytes().back(), 16);
    EXPECT_EQ(sim.boxes().size(), 1u);

    // It fails again after a good cycle: a new episode, one new report.
    sim.at(2100).call([&] { rig.device.failOpen(2, FakePortDevice::Times::Always); });
    sim.runUntil(4000);
    EXPECT_EQ(sim.boxes().size(), 2u);

    // A different failure is reported.
    sim.at(4000).call([&] { rig.device.failOpen(5, FakePortDevice::Times::Always); });
    sim.runUntil(5000);
    ASSERT_EQ(sim.boxes().size(), 3u);
    EXPECT_EQ(sim.boxes()[2].text, "Dateizugriff verweigert.");

    // Switching port output off and on starts a new episode.
    sim.at(5000).doubleClick(At(form.pout)).at(5100).doubleClick(At(form.pout));
    sim.runUntil(6000);
    EXPECT_EQ(sim.boxes().size(), 4u);
    EXPECT_EQ(sim.maxOpenBoxes(), 1);
}

TEST_F(TForm1Test, LedsAreRefreshedBeforeAFailingWrite) {
    rig.device.failOpen(2, FakePortDevice::Times::Always);
    sim.at(5).doubleClick(At(form.v5)).doubleClick(At(form.pout)).click(At(form.a4));
    bool litWhenReported = false;
    rig.report.SetCancelMode([&] { litWhenReported = rig.Lit(form.p4); });
    sim.runUntil(10);
    ASSERT_EQ(sim.boxes().size(), 1u);
    EXPECT_EQ(sim.boxes()[0].openedAt, 10);
    EXPECT_TRUE(litWhenReported);
}

TEST_F(TForm1Test, AFailureWhileABoxIsOpenIsReportedOnceItCloses) {
    rig.device.failOpen(2, FakePortDevice::Times::Always);
    sim.answerBoxesAfter(1000);
    sim.at(5).doubleClick(At(form.pout));  // box 1 from 10 to 1010
    // The port comes back while the box is open, and goes away again.
    sim.at(300).call([&] { rig.device.heal(); });
    sim.at(600).call([&] { rig.device.failOpen(2, FakePortDevice::Times::Always); });
    sim.runUntil(1005);
    EXPECT_FALSE(rig.device.bytes().empty());  // it worked in between
    EXPECT_EQ(sim.boxes().size(), 1u);
    EXPECT_TRUE(form.PortFailureUnreported());
    // The second failure was never shown: it is, at the first tick after the box closed.
    sim.runUntil(3000);
    ASSERT_EQ(sim.boxes().size(), 2u);
    EXPECT_EQ(sim.boxes()[1].text, "Datei nicht gefunden.");
    EXPECT_EQ(sim.boxes()[1].openedAt, 1010);
    EXPECT_FALSE(form.PortFailureUnreported());
    // And then no more for this episode.
    sim.runUntil(6000);
    EXPECT_EQ(sim.boxes().size(), 2u);
    EXPECT_EQ(sim.maxOpenBoxes(), 1);
}

TEST_F(TForm1Test, AChangeOfCauseWhileABoxIsOpenIsReportedOnceItCloses) {
    rig.device.failOpen(2, FakePortDevice::Times::Always);
    sim.answerBoxesAfter(1000);
    sim.at(5).doubleClick(At(form.pout));
    sim.at(400).call([&] { rig.device.failOpen(1117, FakePortDevice::Times::Always); });
    sim.runUntil(4000);
    ASSERT_EQ(sim.boxes().size(), 2u);
    EXPECT_EQ(sim.boxes()[0].text, "Datei nicht gefunden.");
    EXPECT_EQ(sim.boxes()[1].text, "I/O-Fehler 1117.");
    EXPECT_EQ(sim.boxes()[1].openedAt, 1010);
}

TEST_F(TForm1Test, AReportShownAfterThePortCameBackHoldsNothingBack) {
    // The box opens after the failing tick; the port works again before that happens.
    rig.device.failOpen(2, FakePortDevice::Times::Once);
    sim.answerBoxesAfter(100);
    sim.at(5).doubleClick(At(form.pout));
    sim.runUntil(500);
    ASSERT_EQ(sim.boxes().size(), 1u);
    // The same failure later is a new episode and is reported.
    sim.at(500).call([&] { rig.device.failOpen(2, FakePortDevice::Times::Always); });
    sim.runUntil(1000);
    EXPECT_EQ(sim.boxes().size(), 2u);
}

}  // namespace pio
