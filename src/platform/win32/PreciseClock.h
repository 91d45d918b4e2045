// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace pio {

// A monotonic clock from the performance counter. GetTickCount64 would do for the tick
// count's range, but it moves in steps of the system tick (15.6 ms by default), too coarse
// for a 10 ms refresh and for measuring how late a 50 ms wait ends.
class PreciseClock final {
public:
    PreciseClock();
    std::int64_t Microseconds() const;
    std::int64_t Milliseconds() const { return Microseconds() / 1000; }

private:
    std::int64_t frequency_;
    std::int64_t start_;
};

}  // namespace pio
