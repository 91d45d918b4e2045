// SPDX-License-Identifier: MIT
#include "toolbox/PowerOfTwo.h"

namespace pio {

int PowerOfTwo(int n) {
    if (n <= 0) return 1;
    int result = 2;
    for (int i = 1; i < n; ++i) result *= 2;
    return result;
}

}  // namespace pio
