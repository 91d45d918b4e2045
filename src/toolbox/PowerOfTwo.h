// SPDX-License-Identifier: MIT
#pragma once

namespace pio {

// 1 for any n <= 0, otherwise 2 to the power n.
int PowerOfTwo(int n);

}  // namespace pio
