// SPDX-License-Identifier: MIT
#include "support/SimPlatform.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>

#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "platform/Picture.h"
#include "platform/Platform.h"

namespace pio {

namespace {

// Draws nothing; used when a test does not look at the pixels.
class NullCanvas final : public Canvas {
public:
    void setClip(const Rect&) override {}
    void drawPicture(Point, const Picture&) override {}
    void fillRect(const Rect&, std::uint32_t) override {}
    void drawText(const Rect&, const std::string&, const FontSpec&, std::uint32_t,
                  TextAlign) override {}
};

}  // namespace

SimPlatform::SimPlatform() = default;

SimPlatform& SimPlatform::at(std::int64_t t) {
    cursor_ = t;
    return *this;
}

SimPlatform& SimPlatform::after(std::int64_t dt) {
    cursor_ += dt;
    return *this;
}

SimPlatform& SimPlatform::input(std::function<void(WindowSink&)> fn) {
    queue_.emplace(Key{cursor_, seq_++}, Event{true, [this, fn] {
                                                   if (sink()) fn(*sink());
                                               }});
    return *this;
}

SimPlatform& SimPlatform::press(Point p, MouseButton b) {
    return input([p, b](WindowSink& s) { s.pointerPress(p, b, false); });
}
SimPlatform& SimPlatform::release(Point p, MouseButton b) {
    return input([p, b](WindowSink& s) { s.pointerRelease(p, b); });
}
SimPlatform& SimPlatform::doublePress(Point p) {
    return input([p](WindowSink& s) { s.pointerPress(p, MouseButton::Left, true); });
}
SimPlatform& SimPlatform::click(Point p) { return press(p).release(p); }
SimPlatform& SimPlatform::doubleClick(Point p) {
    return press(p).release(p).doublePress(p).release(p);
}
SimPlatform& SimPlatform::move(Point p) {
    return input([p](WindowSink& s) { s.pointerMove(p); });
}
SimPlatform& SimPlatform::leave() {
    return input([](WindowSink& s) { s.pointerLeave(); });
}
SimPlatform& SimPlatform::key() {
    return input([](WindowSink& s) { s.keyPress(); });
}
SimPlatform& SimPlatform::activate(bool active) {
    // Activation is the window manager's doing; it arrives even while a box is open.
    queue_.emplace(Key{cursor_, seq_++}, Event{false, [this, active] {
                                                   if (sink()) sink()->activeChanged(active);
                                               }});
    return *this;
}
SimPlatform& SimPlatform::close() {
    queue_.emplace(Key{cursor_, seq_++}, Event{true, [this] { requestQuit(); }});
    return *this;
}
SimPlatform& SimPlatform::call(std::function<void()> fn) {
    queue_.emplace(Key{cursor_, seq_++}, Event{false, std::move(fn)});
    return *this;
}
SimPlatform& SimPlatform::busy(std::int64_t ms) {
    return call([this, ms] { advance(ms); });
}

int SimPlatform::startTimer(int intervalMs, Handler onTick) {
    const int id = nextTimerId_++;
    timers_[id] = Timer{intervalMs, now_ + intervalMs, std::move(onTick)};
    return id;
}

void SimPlatform::stopTimer(int id) { timers_.erase(id); }

void SimPlatform::post(Handler fn) {
    queue_.emplace(Key{now_, seq_++}, Event{false, std::move(fn)});
}

bool SimPlatform::handleOne() {
    const bool handled = handleNext();
    if (handled && afterEvent_) afterEvent_();
    return handled;
}

bool SimPlatform::handleNext() {
    // Queued events first (in the order they fell due), then repaints, then timer ticks.
    if (!queue_.empty() && queue_.begin()->first.first <= now_) {
        Event e = std::move(queue_.begin()->second);
        queue_.erase(queue_.begin());
        if (e.input && openBoxes_ > 0) {
            ++droppedInput_;  // the panel is disabled while a box is open
            return true;
        }
        dispatch(e.fn);
        return true;
    }
    if (!dirty_.empty()) {
        const Rect area = dirty_;
        dirty_ = {};
        ++paints_;
        NullCanvas null;
        Canvas& canvas = canvas_ ? *canvas_ : null;
        dispatch([&] {
            if (sink()) sink()->paint(canvas, area);
        });
        return true;
    }
    int dueId = 0;
    for (auto& [id, t] : timers_)
        if (!t.running && t.due <= now_ && (dueId == 0 || t.due < timers_[dueId].due)) dueId = id;
    if (dueId == 0) return false;
    Timer& t = timers_[dueId];
    t.due = now_ + t.interval;  // counted from this tick: a late tick never causes a burst
    t.running = true;
    const Handler fn = t.fn;
    dispatch(fn);
    auto it = timers_.find(dueId);
    if (it != timers_.end()) it->second.running = false;
    return true;
}

void SimPlatform::processPendingEvents() {
    // At loop level the loop ends right after the event that set the terminated flag;
    // a nested pump goes on.
    while (!(terminated() && handlerDepth() == 0) && handleOne()) {
    }
}

std::int64_t SimPlatform::nextTime() const {
    std::int64_t next = kNoDeadline;
    if (!queue_.empty()) next = queue_.begin()->first.first;
    if (!dirty_.empty()) next = std::min(next, now_);
    for (const auto& [id, t] : timers_)
        if (!t.running) next = std::min(next, t.due);
    return next;
}

void SimPlatform::check() const {
    if (now_ > hardLimit_) {
        std::fprintf(stderr, "SimPlatform: virtual clock passed its hard limit at %lld ms\n",
                     static_cast<long long>(now_));
        std::abort();
    }
}

void SimPlatform::waitForEvents(std::int64_t deadline) {
    const std::int64_t next = std::min(nextTime(), deadline);
    if (next > now_ && next != kNoDeadline) now_ = next;
    check();
}

void SimPlatform::run() {
    loopEnded_ = false;
    // One event at a time, so that a run stops at its time even when events keep coming.
    while (!terminated()) {
        if (handleOne()) {
            if (now_ > stopAt_) return;
            continue;
        }
        if (nextTime() > stopAt_) {
            now_ = std::max(now_, stopAt_);
            return;
        }
        waitForEvents(kNoDeadline);
    }
    loopEnded_ = true;
}

void SimPlatform::runUntil(std::int64_t t) {
    stopAt_ = t;
    run();
}

void SimPlatform::messageBox(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
    boxes_.push_back(Box{text, caption, icon, now_});
    const std::size_t index = boxes_.size() - 1;
    ++openBoxes_;
    maxOpenBoxes_ = std::max(maxOpenBoxes_, openBoxes_);
    const std::int64_t answerAt = now_ + boxAnswerMs_;
    // The box's own modal loop: timers, repaints and posted work go on.
    while (now_ < answerAt) {
        processPendingEvents();
        if (now_ >= answerAt) break;
        waitForEvents(answerAt);
    }
    --openBoxes_;
    if (index < boxes_.size()) boxes_[index].closedAt = now_;
}

Size SimPlatform::hintSize(const std::string& text) const {
    // Fixed metrics: 5 px a character, 13 px a line, plus the frame and padding.
    return {static_cast<int>(text.size()) * 5 + 6, 13 + 2};
}

void SimPlatform::showHint(const std::string& text, Point screenTopLeft) {
    hints_.push_back(HintShown{text, screenTopLeft, now_});
    hintShowing_ = true;
}

void SimPlatform::hideHint() {
    if (hintShowing_ && !hints_.empty()) hints_.back().hiddenAt = now_;
    hintShowing_ = false;
}

}  // namespace pio
