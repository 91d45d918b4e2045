// SPDX-License-Identifier: MIT
// Pointer routing over drawn elements: topmost wins, capture, click and double-click rules.
#include "panel/PointerRouter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "panel/TComponent.h"
#include "platform/Geometry.h"
#include "platform/Picture.h"
#include "platform/Platform.h"
#include "support/SimPlatform.h"

namespace pio {

namespace {

Picture Blank(int w, int h) { return Picture{w, h, std::vector<std::uint8_t>(w * h * 3)}; }

class PointerRouterTest : public ::testing::Test {
protected:
    PointerRouterTest() : window("w"), router(window) {
        bottom = window.Add<TImage>("bottom", sim, Point{0, 0}, Blank(100, 100));
        top = window.Add<TImage>("top", sim, Point{10, 10}, Blank(20, 20));
        hidden = window.Add<TImage>("hidden", sim, Point{15, 15}, Blank(5, 5));
        hidden->Visible = false;
        label = window.Add<TLabel>("label", sim, Rect{50, 50, 30, 10}, "text");
        label->Transparent = true;
        for (TControl* c : {static_cast<TControl*>(bottom), static_cast<TControl*>(top),
                            static_cast<TControl*>(hidden), static_cast<TControl*>(label)}) {
            c->OnClick = [this](TComponent* s) { log.push_back("click:" + s->Name()); };
            c->OnDblClick = [this](TComponent* s) { log.push_back("dbl:" + s->Name()); };
        }
    }
    void Click(Point p) {
        router.Press(p, MouseButton::Left, false);
        router.Release(p, MouseButton::Left);
    }
    void DoubleClick(Point p) {
        Click(p);
        router.Press(p, MouseButton::Left, true);
        router.Release(p, MouseButton::Left);
    }

    SimPlatform sim;
    TComponent window;
    PointerRouter router;
    TImage *bottom, *top, *hidden;
    TLabel* label;
    std::vector<std::string> log;
};

}  // namespace

TEST_F(PointerRouterTest, TopmostVisibleEnabledControlWins) {
    EXPECT_EQ(router.ControlAt({15, 15}), top);  // hidden one above is passed over
    EXPECT_EQ(router.ControlAt({5, 5}), bottom);
    EXPECT_EQ(router.ControlAt({29, 29}), top);     // last pixel of top
    EXPECT_EQ(router.ControlAt({30, 30}), bottom);  // one past it
    EXPECT_EQ(router.ControlAt({60, 55}), label);   // a transparent label takes its whole box
    EXPECT_EQ(router.ControlAt({100, 0}), nullptr);
    top->Enabled = false;
    EXPECT_EQ(router.ControlAt({15, 15}), bottom);
}

TEST_F(PointerRouterTest, ClickNeedsPressAndReleaseOverTheSameControl) {
    Click({12, 12});
    EXPECT_EQ(log, (std::vector<std::string>{"click:top"}));
    log.clear();
    router.Press({12, 12}, MouseButton::Left, false);  // pressed on top ...
    router.Release({50, 80}, MouseButton::Left);       // ... released elsewhere
    router.Press({60, 55}, MouseButton::Left, false);  // pressed on the label ...
    router.Release({12, 12}, MouseButton::Left);       // ... released over top: capture holds
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(router.Capture(), nullptr);
}

TEST_F(PointerRouterTest, DoubleClickGivesOneClickThenOneDoubleClick) {
    DoubleClick({12, 12});
    EXPECT_EQ(log, (std::vector<std::string>{"click:top", "dbl:top"}));
}

TEST_F(PointerRouterTest, TripleClickGivesClickDoubleClickClick) {
    DoubleClick({12, 12});
    Click({12, 12});
    EXPECT_EQ(log, (std::vector<std::string>{"click:top", "dbl:top", "click:top"}));
}

TEST_F(PointerRouterTest, RightAndMiddleButtonsDoNothing) {
    for (MouseButton b : {MouseButton::Right, MouseButton::Middle}) {
        router.Press({12, 12}, b, false);
        router.Release({12, 12}, b);
        router.Press({12, 12}, b, true);
    }
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(router.Capture(), nullptr);
}

TEST_F(PointerRouterTest, CancelModeDropsThePressWithoutAClick) {
    router.Press({12, 12}, MouseButton::Left, false);
    EXPECT_EQ(router.Capture(), top);
    router.CancelMode();
    router.Release({12, 12}, MouseButton::Left);
    EXPECT_TRUE(log.empty());
}

TEST_F(PointerRouterTest, NothingUnderThePointerTakesNoCapture) {
    Click({200, 200});
    EXPECT_EQ(router.Capture(), nullptr);
    EXPECT_TRUE(log.empty());
}

}  // namespace pio
