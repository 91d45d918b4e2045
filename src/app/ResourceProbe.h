// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

#include "app/StartupResources.h"

// Measures and tries the process's resources on Linux, for StartupResources: the limits from
// getrlimit, the descriptors from /proc/self/fd, the address space from /proc/self/statm, and
// trial runs of what start-up will do (map memory, start threads, open a file).
class ResourceProbe final {
public:
    static StartupResources::Figures Measure();

    // The shortage start-up would run into: the figures first, then trials of the address
    // space (a mapping as large as the need, returned at once) and of the threads start-up
    // runs at once, which can fail even where the figures look fine (the thread limit, a
    // fragmented address space).
    static StartupResources::Shortage BeforeStart();

    // Whether the report of a refused start can be shown in a box (see
    // StartupResources::BoxPossible), with the same trials of memory and threads.
    static bool BoxPossible();

    // What made start-up fail, probed right after the failure: whether a file can still be
    // opened and whether a few megabytes can still be mapped.
    static StartupResources::Shortage AfterFailure();

    static bool CanMap(std::size_t bytes);
    static bool CanStartThread();
    // How many of `count` threads could be running at the same time (they are ended again
    // before this returns).
    static int StartThreads(int count);
    // False only when opening fails for lack of descriptors (EMFILE, ENFILE).
    static bool CanOpenFile();
};
