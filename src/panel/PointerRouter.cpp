// SPDX-License-Identifier: MIT
#include "panel/PointerRouter.h"

#include "panel/TComponent.h"
#include "platform/Geometry.h"
#include "platform/Platform.h"

namespace pio {

TControl* PointerRouter::ControlAt(Point p) const {
    const auto& list = window_.Components();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        auto* control = dynamic_cast<TControl*>(it->get());
        if (control && control->Visible && control->Enabled && control->BoundsRect().Contains(p))
            return control;
    }
    return nullptr;
}

void PointerRouter::Press(Point p, MouseButton button, bool doubleClick) {
    if (button != MouseButton::Left) return;
    TControl* target = capture_ ? capture_ : ControlAt(p);
    if (!target) return;
    capture_ = target;
    if (doubleClick) {
        // Runs at the press and leaves no mark, so its release gives no click.
        pressed_ = nullptr;
        if (target->OnDblClick) target->OnDblClick(target);
    } else {
        pressed_ = target;
    }
}

void PointerRouter::Release(Point p, MouseButton button) {
    if (button != MouseButton::Left || !capture_) return;
    TControl* target = capture_;
    capture_ = nullptr;
    if (pressed_ != target) return;
    pressed_ = nullptr;
    if (target->BoundsRect().Contains(p) && target->OnClick) target->OnClick(target);
}

void PointerRouter::CancelMode() {
    capture_ = nullptr;
    pressed_ = nullptr;
}

}  // namespace pio
