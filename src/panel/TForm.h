// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "panel/HintController.h"
#include "panel/PointerRouter.h"
#include "panel/TComponent.h"
#include "platform/Platform.h"

namespace pio {

// A borderless window whose components are drawn elements: it routes the pointer to them,
// shows their hints and paints them bottom first in creation order.
class TForm : public TComponent, public WindowSink {
public:
    TForm(std::string name, Platform& platform);

    std::string Caption;
    std::uint32_t Color = 0xFFFFFF;
    Rect Bounds;  // on the screen, in pixels

    // WindowSink
    void pointerPress(Point p, MouseButton button, bool doubleClick) override;
    void pointerRelease(Point p, MouseButton button) override;
    void pointerMove(Point p) override;
    void pointerLeave() override;
    void keyPress() override;
    void activeChanged(bool active) override;
    void paint(Canvas& canvas, const Rect& dirty) override;

    // Ends a capture without a click (an error report is about to open).
    void CancelMode() { router_.CancelMode(); }
    const PointerRouter& Router() const { return router_; }

protected:
    Platform& platform_;

private:
    PointerRouter router_;
    HintController hints_;
};

}  // namespace pio
