// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// A time limit on one step of start-up that has none of its own. Connecting to the display is
// such a step: a display whose socket takes the connection and never answers (a hung X
// server, a forwarding whose other end is gone) kept Qt's start waiting for good, with
// nothing said. Armed, the deadline ends the program when the time is up: `report` (with a
// line break added) on standard error and exit code 1, the way a failed start ends.
//
// Linux only, by SIGALRM: the handler only writes and exits, so it may interrupt anything.
class StartupDeadline final {
public:
    static void Arm(unsigned seconds, const std::string& report);
    // The step is done: the deadline no longer applies.
    static void Disarm();
};
