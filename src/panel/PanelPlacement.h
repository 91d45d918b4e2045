// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Geometry.h"

namespace pio {

// Where a window with the bounds `wanted` goes on `screen`: at its own place wherever it lies
// wholly on the screen; otherwise moved up and left by the least amount that makes it fit,
// never past the screen's top-left corner (a screen smaller than the window shows its
// top-left part).
Point PanelPlacement(const Rect& wanted, const Rect& screen);

}  // namespace pio
