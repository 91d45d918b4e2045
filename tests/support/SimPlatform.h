// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Platform.h"

namespace pio {

// A platform for tests: a virtual millisecond clock that moves only when a wait (or the
// test) moves it, a script of input events, timers that fire when due in virtual time and
// only when nothing else is pending, and message boxes that are recorded and answered
// after a chosen virtual time while the timers keep running.
//
// Scripts are written fluently:  sim.at(100).click({55, 85}).after(300).doubleClick(v5)
class SimPlatform final : public Platform {
public:
    struct Box {
        std::string text;
        std::string caption;
        MessageIcon icon;
        std::int64_t openedAt;
        std::int64_t closedAt = -1;
    };
    struct HintShown {
        std::string text;
        Point at;
        std::int64_t shownAt;
        std::int64_t hiddenAt = -1;
    };

    SimPlatform();

    // --- script (times are virtual ms) ---
    SimPlatform& at(std::int64_t t);
    SimPlatform& after(std::int64_t dt);
    SimPlatform& press(Point p, MouseButton b = MouseButton::Left);
    SimPlatform& release(Point p, MouseButton b = MouseButton::Left);
    SimPlatform& doublePress(Point p);  // the second press of a double click
    SimPlatform& click(Point p);        // press and release
    SimPlatform& doubleClick(Point p);  // press, release, double press, release
    SimPlatform& move(Point p);
    SimPlatform& leave();
    SimPlatform& key();
    SimPlatform& activate(bool active);
    SimPlatform& close();
    SimPlatform& call(std::function<void()> fn);  // runs as a handler of its own
    SimPlatform& busy(std::int64_t ms);           // a handler that takes `ms`

    // --- running ---
    // Runs the event loop until the clock would pass `t` at loop level, or the loop ends.
    void runUntil(std::int64_t t);
    void advance(std::int64_t ms) { now_ += ms; }  // for handlers that "take time"
    void answerBoxesAfter(std::int64_t ms) { boxAnswerMs_ = ms; }
    void setCanvas(Canvas* canvas) { canvas_ = canvas; }
    void setScreen(Rect screen) { screen_ = screen; }
    void setPanelOrigin(Point p) { origin_ = p; }
    // Aborts the run when the clock passes this (a script that never lets a loop end).
    void setHardLimit(std::int64_t t) { hardLimit_ = t; }
    // Called after every event, repaint and tick handled, at any depth.
    void setAfterEvent(std::function<void()> fn) { afterEvent_ = std::move(fn); }
    // Forgets the recorded boxes and hints (long runs); only while no box is open.
    void clearRecords() {
        if (openBoxes_ > 0) return;
        boxes_.clear();
        hints_.clear();
    }

    // --- what happened ---
    const std::vector<Box>& boxes() const { return boxes_; }
    int openBoxes() const { return openBoxes_; }
    int maxOpenBoxes() const { return maxOpenBoxes_; }
    const std::vector<HintShown>& hints() const { return hints_; }
    bool hintShowing() const { return hintShowing_; }
    bool loopEnded() const { return loopEnded_; }
    const Rect& dirty() const { return dirty_; }
    int paints() const { return paints_; }
    int droppedInput() const { return droppedInput_; }
    std::size_t activeTimers() const { return timers_.size(); }

    // --- Platform ---
    std::int64_t tickCount() const override { return now_; }
    int startTimer(int intervalMs, Handler onTick) override;
    void stopTimer(int id) override;
    void processPendingEvents() override;
    void waitForEvents(std::int64_t deadline) override;
    void run() override;
    void post(Handler fn) override;
    void messageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void invalidate(const Rect& r) override { dirty_ = dirty_.United(r); }
    Size hintSize(const std::string& text) const override;
    void showHint(const std::string& text, Point screenTopLeft) override;
    void hideHint() override;
    Rect screenRect() const override { return screen_; }
    Point panelOrigin() const override { return origin_; }

protected:
    void exitLoop() override { loopEnded_ = true; }

private:
    struct Event {
        bool input;  // input to the panel; dropped while a message box is open
        Handler fn;
    };
    struct Timer {
        int interval;
        std::int64_t due;
        Handler fn;
        bool running = false;
    };
    using Key = std::pair<std::int64_t, std::uint64_t>;  // (time, sequence)

    SimPlatform& input(std::function<void(WindowSink&)> fn);
    bool handleOne();  // handles the next pending thing; false if nothing is pending
    bool handleNext();
    std::int64_t nextTime() const;
    void check() const;

    std::int64_t now_ = 0;
    std::int64_t cursor_ = 0;
    std::int64_t stopAt_ = 0;
    std::int64_t hardLimit_ = 24LL * 3600 * 1000;
    std::uint64_t seq_ = 0;
    std::multimap<Key, Event> queue_;
    std::map<int, Timer> timers_;
    int nextTimerId_ = 1;
    Rect dirty_;
    Canvas* canvas_ = nullptr;
    int paints_ = 0;
    std::int64_t boxAnswerMs_ = 1000;
    std::vector<Box> boxes_;
    int openBoxes_ = 0;
    int maxOpenBoxes_ = 0;
    int droppedInput_ = 0;
    std::vector<HintShown> hints_;
    bool hintShowing_ = false;
    Rect screen_{0, 0, 1024, 768};
    Point origin_{321, 112};
    bool loopEnded_ = false;
    std::function<void()> afterEvent_;
};

}  // namespace pio
