// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "platform/Geometry.h"

namespace pio {

class Platform;
class PointerRouter;
class TControl;

// Shows a control's hint once the pointer has rested on it, and takes it down again.
//  - shown after 500 ms of rest (50 ms if a hint was showing when the pointer arrived),
//    only while the program is active;
//  - gone after 2500 ms, at once on a key or button press, when the pointer moves onto a
//    control without a hint or leaves the window;
//  - after it timed out or was cancelled it stays away until the pointer leaves the control.
class HintController final {
public:
    static constexpr int kShowDelayMs = 500;
    static constexpr int kQuickShowDelayMs = 50;
    static constexpr int kHideAfterMs = 2500;

    HintController(Platform& platform, const PointerRouter& router);
    ~HintController();
    HintController(const HintController&) = delete;
    HintController& operator=(const HintController&) = delete;

    void PointerMove(Point p);
    void PointerLeave();
    void Cancel();  // key or mouse-button press
    void ActiveChanged(bool active);

    bool Showing() const { return showing_; }

private:
    static bool HasHint(const TControl* c);
    void Hide();
    void StopTimers();
    void OnShowTimer();
    void OnHideTimer();

    Platform& platform_;
    const PointerRouter& router_;
    TControl* current_ = nullptr;  // control under the pointer
    bool showing_ = false;
    bool spent_ = false;  // the hint of `current_` timed out or was cancelled
    bool active_ = true;
    int showTimer_ = 0;
    int hideTimer_ = 0;
};

}  // namespace pio
