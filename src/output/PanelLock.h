// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "output/UniqueFd.h"

namespace pio {

// The lock that keeps one port to one panel while its port output is on: flock(2) on a lock
// file of the port's own (named after PortHoldKey) in the system's lock directory. Nothing but
// a panel takes these locks, so a refusal here always means another panel; and the kernel
// drops the lock when the descriptor closes, which it does however the program ends.
//
// The files are never removed: unlinking a lock file lets a third panel lock a new file of the
// same name while a second still waits on the old one. They are empty and /run/lock is
// emptied at every boot.
class PanelLock final {
public:
    // `directory`: where the lock files live; empty for the system's lock directory.
    explicit PanelLock(std::string directory = "");

    // Takes the lock for `key`, giving up any other it held. Returns 0, kPortHeldByAnotherPanel
    // or the I/O error code of what failed.
    int Take(const std::string& key);
    void Drop();

    bool Holds(const std::string& key) const { return fd_.valid() && key_ == key; }

    // The system's lock directory: the first of /run/lock, /var/lock and /tmp that exists. All
    // panels choose alike, whoever runs them.
    static std::string SystemDirectory();

private:
    std::string directory_;
    std::string key_;
    UniqueFd fd_;
};

}  // namespace pio
