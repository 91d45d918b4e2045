// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "panel/TComponent.h"
#include "support/PanelRig.h"
#include "toolbox/FindByName.h"

namespace pio {

TEST(FindByName, ExactCaseSensitiveFirstInCreationOrder) {
    PanelRig rig;
    EXPECT_EQ(FindByName("p3", rig.form), rig.form.p3);
    EXPECT_EQ(FindByName("Image1", rig.form), rig.form.Image1);
    EXPECT_EQ(FindByName("tick", rig.form), rig.form.tick);
    EXPECT_EQ(FindByName("P3", rig.form), nullptr);
    EXPECT_EQ(FindByName("p", rig.form), nullptr);
    EXPECT_EQ(FindByName("p33", rig.form), nullptr);
    EXPECT_EQ(FindByName("", rig.form), nullptr);
    TComponent owner("o");
    auto* first = owner.Add<TComponent>("twin");
    owner.Add<TComponent>("twin");
    EXPECT_EQ(FindByName("twin", owner), first);
}

}  // namespace pio
