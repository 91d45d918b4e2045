// SPDX-License-Identifier: MIT
#include "platform/win32/DpiScale.h"

#include <algorithm>

namespace pio {

int DpiScale::ForDpi(int dpi) {
    // Halves round up, as 144 DPI (150 %) looks closer to 2 than to 1 on a panel this small.
    return std::max(1, (dpi + kBaseDpi / 2) / kBaseDpi);
}

int DpiScale::ToLogical(int physical, int scale) {
    if (scale <= 1) return physical;
    // C++ division truncates toward zero; pointer positions left of the window are negative.
    return physical >= 0 ? physical / scale : -((-physical + scale - 1) / scale);
}

int DpiScale::ToLogicalLength(int physical, int scale) {
    if (scale <= 1) return physical;
    return (physical + scale - 1) / scale;
}

}  // namespace pio
