// SPDX-License-Identifier: MIT
#include "platform/Platform.h"

#include <exception>

namespace pio {

void Platform::requestQuit() {
    terminated_ = true;
    if (depth_ == 0) exitLoop();
}

void Platform::dispatch(const Handler& handler) {
    ++depth_;
    try {
        handler();
    } catch (...) {
        // The handler ends at the point of failure; what it did before stays.
        if (errorSink_) errorSink_(std::current_exception());
    }
    --depth_;
    if (depth_ == 0 && terminated_) exitLoop();
}

}  // namespace pio
