// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <string>

#include "platform/Geometry.h"

namespace pio {

class Canvas;

enum class MouseButton { Left, Right, Middle };
enum class MessageIcon { Stop, Information };

// What the panel window receives from the windowing system. Every call is a handler run
// by Platform::dispatch, so an escaping error reaches the error report.
class WindowSink {
public:
    virtual ~WindowSink() = default;
    // `doubleClick` marks the second press of a double click (platform's time and distance).
    virtual void pointerPress(Point p, MouseButton button, bool doubleClick) = 0;
    virtual void pointerRelease(Point p, MouseButton button) = 0;
    virtual void pointerMove(Point p) = 0;
    virtual void pointerLeave() = 0;
    virtual void keyPress() = 0;
    virtual void activeChanged(bool active) = 0;
    // Draw everything that touches `dirty`; the canvas is already clipped to it.
    virtual void paint(Canvas& canvas, const Rect& dirty) = 0;
};

// The one interface between the panel and the windowing system: time, timers, pumping
// events, the message box, hints, repaint requests and quitting.
class Platform {
public:
    using Handler = std::function<void()>;
    using ErrorSink = std::function<void(std::exception_ptr)>;
    static constexpr std::int64_t kNoDeadline = std::numeric_limits<std::int64_t>::max();

    virtual ~Platform() = default;

    // Monotonic milliseconds; 64 bits, so it never wraps.
    virtual std::int64_t tickCount() const = 0;

    // A periodic timer; returns an id > 0. Ticks never pile up: a handler that runs long
    // delays the next tick instead of causing a burst. The next tick comes one full
    // interval after the start.
    virtual int startTimer(int intervalMs, Handler onTick) = 0;
    virtual void stopTimer(int id) = 0;

    // Hands every pending event to its handler, never waiting for a new one.
    virtual void processPendingEvents() = 0;
    // Sleeps until an event is pending or the tick count reaches `deadline`. May hand the
    // events that woke it to their handlers.
    virtual void waitForEvents(std::int64_t deadline) = 0;

    // Runs the event loop until the terminated flag is set and no handler is running.
    virtual void run() = 0;

    // The request to end: only sets the flag; the loop acts on it once the outermost
    // handler has returned.
    void requestQuit();
    bool terminated() const { return terminated_; }

    // Runs `fn` after the current handler has returned, from whichever loop or pump
    // picks it up next.
    virtual void post(Handler fn) = 0;

    // A modal box; the panel is disabled while it is open. Returns when the user closes it.
    virtual void messageBox(const std::string& text, const std::string& caption,
                            MessageIcon icon) = 0;

    // Schedules a repaint of `r`; requests between two paints merge.
    virtual void invalidate(const Rect& r) = 0;

    // Hint popup in screen coordinates: topmost, never takes the focus.
    virtual Size hintSize(const std::string& text) const = 0;  // text + frame + padding
    virtual void showHint(const std::string& text, Point screenTopLeft) = 0;
    virtual void hideHint() = 0;
    virtual Rect screenRect() const = 0;
    // Where the panel's (0, 0) lies on the screen.
    virtual Point panelOrigin() const = 0;

    void setWindowSink(WindowSink* sink) { sink_ = sink; }
    void setErrorSink(ErrorSink sink) { errorSink_ = std::move(sink); }

    // How deeply handlers are nested right now (0: in the loop itself).
    int handlerDepth() const { return depth_; }

    // Every handler runs through here: errors go to the error sink, and when the outermost
    // handler returns with the terminated flag set the loop is told to end.
    void dispatch(const Handler& handler);

protected:
    WindowSink* sink() const { return sink_; }
    // Called once the terminated flag is set and no handler runs any more.
    virtual void exitLoop() = 0;

private:
    WindowSink* sink_ = nullptr;
    ErrorSink errorSink_;
    int depth_ = 0;
    bool terminated_ = false;
};

}  // namespace pio
