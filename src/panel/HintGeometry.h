// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "platform/Geometry.h"

namespace pio {

// The text a hint shows: everything before the first "|".
std::string ShortHint(const std::string& hint);

// Top-left of a hint box of `box` size for a control at `control` (screen coordinates):
// at the control's left edge, 6 px below its bottom edge, moved up or left to stay on
// `screen`.
Point HintPosition(const Rect& control, Size box, const Rect& screen);

}  // namespace pio
