// SPDX-License-Identifier: MIT
#include "toolbox/Delay.h"

#include "platform/Platform.h"

namespace pio {

void Delay(Platform& platform, int n) {
    const auto deadline = platform.tickCount() + n;
    for (;;) {
        platform.processPendingEvents();
        if (platform.tickCount() >= deadline) return;
        platform.waitForEvents(deadline);
    }
}

}  // namespace pio
