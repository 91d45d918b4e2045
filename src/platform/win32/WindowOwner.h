// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <functional>

#include "platform/WindowOwner.h"

namespace pio {

// What the windows of the Win32 layer ask of their owner beyond any platform's window: events
// handed to the sink in one call, and the modal loops Windows runs itself.
class Win32WindowOwner : public WindowOwner {
public:
    // Runs `fn` on the window sink as a handler (nothing without a sink).
    virtual void Deliver(const std::function<void(WindowSink&)>& fn) = 0;
    // A window's message that starts or ends a modal loop of Windows' own (a menu, moving or
    // sizing); any other message is left alone.
    virtual void TrackModalLoop(UINT msg) = 0;
};

}  // namespace pio
