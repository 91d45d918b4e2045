// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <vector>

namespace pio {

// When the periodic timers are due, kept apart from Windows so the rules can be tested on
// their own. Times are the platform's millisecond tick count.
//
// - A timer's first tick is due one full interval after it was started.
// - The cadence is kept: a tick that comes a little late does not shift the ones after it.
// - Ticks never pile up: when a handler (or anything else) made the loop miss whole
//   intervals, the next tick is due one interval after the late one, so there is no burst.
// - A timer whose handler still runs (it waits in a pump) is never due again until it returns.
class TimerSchedule final {
public:
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

    // Returns the new timer's id (> 0; ids are not reused).
    int add(int intervalMs, std::int64_t now);
    // False when `id` is unknown (already removed).
    bool remove(int id);
    bool contains(int id) const { return timers_.count(id) != 0; }
    bool empty() const { return timers_.empty(); }

    // The idle timers due at `now`, the earliest due first.
    std::vector<int> due(std::int64_t now) const;
    // The earliest time an idle timer becomes due, or kNever.
    std::int64_t nextDeadline() const;

    // A tick of `id` starts at `now`: the timer counts as running and its next tick is planned.
    void begin(int id, std::int64_t now);
    // The tick's handler has returned.
    void end(int id);

private:
    struct Entry {
        std::int64_t interval;
        std::int64_t due;
        bool running;
    };
    std::map<int, Entry> timers_;
    int lastId_ = 0;
};

}  // namespace pio
