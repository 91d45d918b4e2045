// SPDX-License-Identifier: MIT
#include "panel/TForm.h"

#include <string>
#include <utility>

#include "panel/TComponent.h"
#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "platform/Platform.h"

namespace pio {

TForm::TForm(std::string name, Platform& platform)
    : TComponent(std::move(name)), platform_(platform), router_(*this), hints_(platform, router_) {}

void TForm::pointerPress(Point p, MouseButton button, bool doubleClick) {
    hints_.Cancel();
    router_.Press(p, button, doubleClick);
}

void TForm::pointerRelease(Point p, MouseButton button) { router_.Release(p, button); }

void TForm::pointerMove(Point p) { hints_.PointerMove(p); }

void TForm::pointerLeave() { hints_.PointerLeave(); }

void TForm::keyPress() { hints_.Cancel(); }

void TForm::activeChanged(bool active) { hints_.ActiveChanged(active); }

void TForm::paint(Canvas& canvas, const Rect& dirty) {
    // No erase first: the background picture covers the whole window, opaque.
    for (const auto& component : Components()) {
        const auto* control = dynamic_cast<const TControl*>(component.get());
        if (!control || !control->Visible) continue;
        const Rect area = control->BoundsRect().Intersected(dirty);
        if (area.empty()) continue;
        canvas.setClip(area);
        control->Paint(canvas);
    }
}

}  // namespace pio
