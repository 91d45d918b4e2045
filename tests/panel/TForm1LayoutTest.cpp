// SPDX-License-Identifier: MIT
// The panel's components: creation order, places, sizes, contents, hints and wiring.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "panel/TComponent.h"
#include "platform/Geometry.h"
#include "support/PanelRig.h"

namespace pio {

namespace {

struct Expected {
    const char* name;
    char kind;  // 'i' picture, 'l' label, 't' timer
    Rect bounds;
    bool visible;
    const char* hint;  // shown hint, or "" for none
    bool click;
    bool dblClick;
};

const Expected kTable[] = {
    {"Image1", 'i', {0, -1, 340, 201}, true, "", false, false},
    {"Label1", 'l', {13, 176, 315, 18}, true, "", false, false},
    {"p1", 'i', {50, 80, 11, 11}, true, "", true, false},
    {"v5", 'i', {296, 80, 11, 11}, true, "EIN / AUS", false, true},
    {"pout", 'i', {296, 36, 11, 11}, true, "externe PIO-Unit aktivieren", false, true},
    {"a1", 'i', {40, 24, 30, 31}, true, "", true, false},
    {"a2", 'i', {80, 24, 30, 31}, true, "", true, false},
    {"a3", 'i', {120, 24, 30, 31}, true, "", true, false},
    {"a4", 'i', {160, 24, 30, 31}, true, "", true, false},
    {"a5", 'i', {200, 24, 30, 31}, true, "", true, false},
    {"a6", 'i', {240, 24, 30, 31}, true, "", true, false},
    {"p2", 'i', {91, 80, 11, 11}, true, "", true, false},
    {"p3", 'i', {130, 80, 11, 11}, true, "", true, false},
    {"p4", 'i', {170, 80, 11, 11}, true, "", true, false},
    {"p5", 'i', {210, 80, 11, 11}, true, "", true, false},
    {"p6", 'i', {250, 80, 11, 11}, true, "", true, false},
    {"goff", 'i', {32, 112, 11, 11}, false, "", false, false},
    {"gon", 'i', {40, 120, 11, 11}, false, "", false, false},
    {"ooff", 'i', {48, 128, 11, 11}, false, "", false, false},
    {"oon", 'i', {56, 136, 11, 11}, false, "", false, false},
    {"roff", 'i', {64, 144, 11, 11}, false, "", false, false},
    {"ron", 'i', {72, 152, 11, 11}, false, "", false, false},
    {"l1", 'l', {51, 60, 8, 13}, true, "", true, false},
    {"l2", 'l', {92, 60, 8, 13}, true, "", true, false},
    {"l3", 'l', {131, 60, 8, 13}, true, "", true, false},
    {"l4", 'l', {171, 60, 8, 13}, true, "", true, false},
    {"l5", 'l', {211, 60, 8, 13}, true, "", true, false},
    {"l6", 'l', {251, 60, 8, 13}, true, "", true, false},
    {"peak", 'i', {296, 128, 11, 11}, true, "Loadview", false, true},
    {"Label2", 'l', {299, 144, 8, 13}, false, "", true, false},
    {"vl", 'i', {296, 113, 11, 11}, true, "Rider", false, true},
    {"setter", 't', {}, false, "", false, false},
    {"tick", 't', {}, false, "", false, false},
};

class LayoutTest : public ::testing::TestWithParam<std::size_t> {
protected:
    PanelRig rig;
};

}  // namespace

TEST_P(LayoutTest, ComponentMatchesTheTable) {
    const std::size_t index = GetParam();
    const Expected& want = kTable[index];
    ASSERT_EQ(rig.form.Components().size(), std::size(kTable));
    TComponent* c = rig.form.Components()[index].get();
    EXPECT_EQ(c->Name(), want.name);
    EXPECT_EQ(c->Owner(), &rig.form);
    EXPECT_EQ(c->Tag, std::string(want.name) == "Image1" ? 16 : 0);
    if (want.kind == 't') {
        EXPECT_NE(dynamic_cast<TTimer*>(c), nullptr);
        return;
    }
    auto* control = dynamic_cast<TControl*>(c);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(want.kind == 'i', dynamic_cast<TImage*>(c) != nullptr);
    EXPECT_EQ(want.kind == 'l', dynamic_cast<TLabel*>(c) != nullptr);
    EXPECT_EQ(control->BoundsRect(), want.bounds);
    EXPECT_EQ(control->Visible, want.visible);
    EXPECT_EQ(control->ShowHint ? control->Hint : std::string(), want.hint);
    EXPECT_EQ(static_cast<bool>(control->OnClick), want.click);
    EXPECT_EQ(static_cast<bool>(control->OnDblClick), want.dblClick);
    // A channel control's channel is the digit in the second place of its name.
    if (want.click && c != rig.form.Label2) {
        EXPECT_GE(want.name[1], '1');
        EXPECT_LE(want.name[1], '6');
    }
}

INSTANTIATE_TEST_SUITE_P(Components, LayoutTest, ::testing::Range<std::size_t>(0, 33));

TEST(Layout, WindowAndTimers) {
    PanelRig rig;
    EXPECT_EQ(rig.form.Caption, "PIO Out");
    EXPECT_EQ(rig.form.Bounds, (Rect{321, 112, 340, 200}));
    EXPECT_EQ(rig.form.Color, 0xFFFFFFu);
    EXPECT_EQ(rig.form.setter->Interval(), 10);
    EXPECT_TRUE(rig.form.setter->Enabled());
    EXPECT_EQ(rig.form.tick->Interval(), 500);
    EXPECT_FALSE(rig.form.tick->Enabled());
    EXPECT_EQ(rig.form.a3->Hint, "Port 3");  // set, but not shown
    EXPECT_FALSE(rig.form.a3->ShowHint);
    EXPECT_EQ(rig.form.Label2->Caption(), "0");
    EXPECT_EQ(rig.form.l2->Caption(), "2");
}

TEST(Layout, EveryLedStartsWithItsOffPicture) {
    PanelRig rig;
    auto& f = rig.form;
    for (TImage* led : {f.p1, f.p2, f.p3, f.p4, f.p5, f.p6})
        EXPECT_EQ(*led->GetPicture(), *f.roff->GetPicture()) << led->Name();
    EXPECT_EQ(*f.v5->GetPicture(), *f.goff->GetPicture());
    EXPECT_EQ(*f.peak->GetPicture(), *f.goff->GetPicture());
    EXPECT_EQ(*f.pout->GetPicture(), *f.ooff->GetPicture());
    EXPECT_EQ(*f.vl->GetPicture(), *f.ooff->GetPicture());
    // Each component holds its own copy at start; copies of one picture are equal.
    EXPECT_NE(f.p1->GetPicture(), f.roff->GetPicture());
    EXPECT_NE(*f.roff->GetPicture(), *f.ron->GetPicture());
}

TEST(Layout, PicturesAreSharedAndRepaintedWhenTheyChange) {
    PanelRig rig;
    rig.sim.runUntil(0);
    const int before = rig.sim.paints();
    // The LED's own copy at start is another picture than roff's, though equal.
    rig.form.p4->SetPicture(rig.form.roff->GetPicture());
    EXPECT_EQ(rig.form.p4->GetPicture().get(), rig.form.roff->GetPicture().get());
    EXPECT_EQ(rig.sim.dirty(), rig.form.p4->BoundsRect());
    rig.sim.runUntil(1);
    rig.form.p4->SetPicture(rig.form.roff->GetPicture());  // the same picture again
    EXPECT_TRUE(rig.sim.dirty().empty());
    rig.form.p4->SetPicture(rig.form.ron->GetPicture());
    EXPECT_EQ(rig.sim.dirty(), rig.form.p4->BoundsRect());
    rig.sim.runUntil(2);
    EXPECT_EQ(rig.sim.paints(), before + 2);
}

TEST(Layout, AnIdleRefreshRepaintsNothing) {
    PanelRig rig;
    rig.sim.runUntil(15);  // the first refresh hands every LED the shared roff
    const int before = rig.sim.paints();
    rig.sim.runUntil(1000);
    EXPECT_EQ(rig.sim.paints(), before);
    rig.sim.at(1000)
        .doubleClick(PanelRig::Centre(rig.form.v5))
        .click(PanelRig::Centre(rig.form.a2));
    rig.sim.runUntil(1015);
    EXPECT_EQ(rig.sim.paints(), before + 2);  // v5's switch, then p2 at the refresh
}

}  // namespace pio
