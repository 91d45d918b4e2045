// SPDX-License-Identifier: MIT
#include "panel/HintGeometry.h"

#include <string>

#include "panel/PanelPlacement.h"
#include "platform/Geometry.h"

namespace pio {

std::string ShortHint(const std::string& hint) { return hint.substr(0, hint.find('|')); }

Point HintPosition(const Rect& control, Size box, const Rect& screen) {
    return PanelPlacement({control.left, control.bottom() + 6, box.width, box.height}, screen);
}

}  // namespace pio
