// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Platform.h"

namespace pio {

// What the panel's window (PanelWidget) asks of whoever owns it, the platform: it hands its
// events on through it and asks it to close. So the window depends on this interface only,
// and the platform, which creates the window, sits above it.
class WindowOwner {
public:
    virtual ~WindowOwner() = default;

    // The panel's sink, or nullptr while there is none.
    virtual WindowSink* Sink() const = 0;
    // Runs `fn` as a handler: an error it throws goes to the error report.
    virtual void Dispatch(const Platform::Handler& fn) = 0;
    // The window was asked to close: the program is asked to end, as a handler of its own.
    virtual void RequestClose() = 0;
};

}  // namespace pio
