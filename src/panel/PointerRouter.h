// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Geometry.h"
#include "platform/Platform.h"

namespace pio {

class TComponent;
class TControl;

// Routes pointer input to the controls of one window, the way a click on a drawn element
// is expected to behave: capture, press and release over the same control, and the second
// press of a double click running the double-click handler at once.
class PointerRouter final {
public:
    explicit PointerRouter(const TComponent& window) : window_(window) {}

    // The topmost (latest created) visible, enabled control whose rectangle holds `p`.
    TControl* ControlAt(Point p) const;

    void Press(Point p, MouseButton button, bool doubleClick);
    void Release(Point p, MouseButton button);
    // Drops the capture and the pressed mark without a click.
    void CancelMode();

    TControl* Capture() const { return capture_; }

private:
    const TComponent& window_;
    TControl* capture_ = nullptr;
    TControl* pressed_ = nullptr;
};

}  // namespace pio
