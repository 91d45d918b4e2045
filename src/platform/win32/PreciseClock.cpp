// SPDX-License-Identifier: MIT
#include "platform/win32/PreciseClock.h"

#include <windows.h>

namespace pio {

namespace {

std::int64_t Counter() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

}  // namespace

PreciseClock::PreciseClock() : start_(Counter()) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);  // never fails on XP and later
    frequency_ = f.QuadPart > 0 ? f.QuadPart : 1;
}

std::int64_t PreciseClock::Microseconds() const {
    const std::int64_t c = Counter() - start_;
    // Split so that counter * 1e6 cannot overflow after days of running at 10 MHz.
    return c / frequency_ * 1000000 + c % frequency_ * 1000000 / frequency_;
}

}  // namespace pio
