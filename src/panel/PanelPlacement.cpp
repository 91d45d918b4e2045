// SPDX-License-Identifier: MIT
#include "panel/PanelPlacement.h"

#include <algorithm>

#include "platform/Geometry.h"

namespace pio {

Point PanelPlacement(const Rect& wanted, const Rect& screen) {
    Point at{wanted.left, wanted.top};
    at.x = std::max(std::min(at.x, screen.right() - wanted.width), screen.left);
    at.y = std::max(std::min(at.y, screen.bottom() - wanted.height), screen.top);
    return at;
}

}  // namespace pio
