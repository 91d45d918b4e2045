// SPDX-License-Identifier: MIT
#include "panel/HintController.h"

#include "panel/HintGeometry.h"
#include "panel/PointerRouter.h"
#include "panel/TComponent.h"
#include "platform/Geometry.h"
#include "platform/Platform.h"

namespace pio {

HintController::HintController(Platform& platform, const PointerRouter& router)
    : platform_(platform), router_(router) {}

HintController::~HintController() { StopTimers(); }

bool HintController::HasHint(const TControl* c) {
    return c && c->ShowHint && !ShortHint(c->Hint).empty();
}

void HintController::PointerMove(Point p) {
    TControl* under = router_.ControlAt(p);
    if (under == current_) return;  // resting on the same control: the clock keeps running
    const bool wasShowing = showing_;
    Hide();
    StopTimers();
    current_ = under;
    spent_ = false;
    if (!HasHint(current_)) return;
    showTimer_ = platform_.startTimer(wasShowing ? kQuickShowDelayMs : kShowDelayMs,
                                      [this] { OnShowTimer(); });
}

void HintController::PointerLeave() {
    Hide();
    StopTimers();
    current_ = nullptr;
    spent_ = false;
}

void HintController::Cancel() {
    if (showTimer_ == 0 && !showing_) return;
    Hide();
    StopTimers();
    spent_ = true;
}

void HintController::ActiveChanged(bool active) {
    active_ = active;
    StopTimers();
    if (!active) {
        Hide();
    } else if (!showing_ && !spent_ && HasHint(current_)) {
        // The pointer already rests on a control with a hint: count from now.
        showTimer_ = platform_.startTimer(kShowDelayMs, [this] { OnShowTimer(); });
    }
}

void HintController::Hide() {
    if (!showing_) return;
    showing_ = false;
    platform_.hideHint();
}

void HintController::StopTimers() {
    if (showTimer_) platform_.stopTimer(showTimer_);
    if (hideTimer_) platform_.stopTimer(hideTimer_);
    showTimer_ = hideTimer_ = 0;
}

void HintController::OnShowTimer() {
    StopTimers();
    if (!active_ || spent_ || !HasHint(current_)) return;
    const std::string text = ShortHint(current_->Hint);
    const Point origin = platform_.panelOrigin();
    Rect onScreen = current_->BoundsRect();
    onScreen.left += origin.x;
    onScreen.top += origin.y;
    platform_.showHint(text,
                       HintPosition(onScreen, platform_.hintSize(text), platform_.screenRect()));
    showing_ = true;
    hideTimer_ = platform_.startTimer(kHideAfterMs, [this] { OnHideTimer(); });
}

void HintController::OnHideTimer() {
    StopTimers();
    Hide();
    spent_ = true;
}

}  // namespace pio
