// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Platform.h"

namespace pio {

// What a window of a platform's own (Qt's PanelWidget, Win32's PanelWindow and AppWindow)
// asks of whoever owns it, the platform: it hands its events on through it and asks it to
// close. So a window depends on this interface only, and the platform, which creates the
// windows, sits above them.
class WindowOwner {
public:
    virtual ~WindowOwner() = default;

    // The panel's sink, or nullptr while there is none.
    virtual WindowSink* Sink() const = 0;
    // Runs `fn` as a handler: an error it throws goes to the error report.
    virtual void Dispatch(const Platform::Handler& fn) = 0;
    // The window was asked to close (Alt+F4, Close): the program is asked to end, as a
    // handler of its own.
    virtual void RequestClose() = 0;
};

}  // namespace pio
