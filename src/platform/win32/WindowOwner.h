// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <functional>

#include "platform/Platform.h"

namespace pio {

// What the windows of this layer (AppWindow, PanelWindow) ask of whoever owns them, the
// platform: they hand their events on through it and tell it of modal loops and requests to
// close. So a window depends on this interface only, and the platform, which creates the
// windows, sits above them.
class WindowOwner {
public:
    virtual ~WindowOwner() = default;

    // The panel's sink, or nullptr while there is none.
    virtual WindowSink* Sink() const = 0;
    // Runs `fn` as a handler: an error it throws goes to the error report.
    virtual void Dispatch(const Platform::Handler& fn) = 0;
    // Runs `fn` on the window sink as a handler (nothing without a sink).
    virtual void Deliver(const std::function<void(WindowSink&)>& fn) = 0;
    // Alt+F4 or Close: asks the program to end, as a handler of its own.
    virtual void RequestClose() = 0;
    // A window's message that starts or ends a modal loop of Windows' own (a menu, moving or
    // sizing); any other message is left alone.
    virtual void TrackModalLoop(UINT msg) = 0;
};

}  // namespace pio
