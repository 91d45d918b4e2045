// SPDX-License-Identifier: MIT
#pragma once

namespace pio {

class Platform;

// Waits n ms while handing every pending event to its handler. At least one pass runs.
// Between passes it sleeps until the next event or the deadline instead of spinning, so
// the order of events is the same as with polling but a core is not kept busy.
void Delay(Platform& platform, int n);

}  // namespace pio
