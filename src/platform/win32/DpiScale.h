// SPDX-License-Identifier: MIT
#pragma once

namespace pio {

// How the panel's logical pixels map to a monitor's physical ones. The panel is pixel art:
// only whole factors keep every picture pixel a sharp square, so the factor is the whole
// number nearest to the monitor's DPI / 96, never below 1 (96 DPI: 1, 144: 2, 192: 2).
class DpiScale final {
public:
    static constexpr int kBaseDpi = 96;

    static int ForDpi(int dpi);

    // A physical coordinate in logical pixels, rounded down so that the pixel a pointer is
    // on maps to the logical pixel that covers it, also left of or above the window.
    static int ToLogical(int physical, int scale);
    // A physical length in logical pixels, rounded up so nothing physical is cut off.
    static int ToLogicalLength(int physical, int scale);
};

}  // namespace pio
