// SPDX-License-Identifier: MIT
#include "platform/win32/TimerSchedule.h"

#include <algorithm>

namespace pio {

int TimerSchedule::add(int intervalMs, std::int64_t now) {
    // A zero interval would make the timer due at every turn of the loop and starve the
    // wait; a millisecond is the finest the tick count can tell apart anyway.
    const std::int64_t interval = std::max(intervalMs, 1);
    const int id = ++lastId_;
    timers_[id] = Entry{interval, now + interval, false};
    return id;
}

bool TimerSchedule::remove(int id) { return timers_.erase(id) != 0; }

std::vector<int> TimerSchedule::due(std::int64_t now) const {
    std::vector<std::pair<std::int64_t, int>> found;
    for (const auto& [id, t] : timers_)
        if (!t.running && t.due <= now) found.emplace_back(t.due, id);
    std::sort(found.begin(), found.end());
    std::vector<int> ids;
    ids.reserve(found.size());
    for (const auto& f : found) ids.push_back(f.second);
    return ids;
}

std::int64_t TimerSchedule::nextDeadline() const {
    std::int64_t next = kNever;
    for (const auto& [id, t] : timers_)
        if (!t.running) next = std::min(next, t.due);
    return next;
}

void TimerSchedule::begin(int id, std::int64_t now) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return;
    Entry& t = it->second;
    t.running = true;
    t.due += t.interval;
    if (t.due <= now) t.due = now + t.interval;  // missed whole intervals: no catching up
}

void TimerSchedule::end(int id) {
    const auto it = timers_.find(id);
    if (it != timers_.end()) it->second.running = false;
}

}  // namespace pio
