// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// What the program needs of the process's resources to start and to go on working, and what
// a start-up failure names as its cause. The figures are measured elsewhere (ResourceProbe on
// Linux); the decisions here are plain arithmetic, so they can be tested with any numbers.
//
// Without this check a start-up short of descriptors, address space, threads or stack fails
// somewhere inside Qt, GLib, fontconfig or the dynamic loader, and what the user gets is wrong
// ("no display"), an abort, a crash, or a program that waits for a thread that never started.
class StartupResources final {
public:
    enum class Shortage { None, FileHandles, Memory, Threads, Stack };

    struct Figures {
        // The soft RLIMIT_NOFILE, or -1 for none. Descriptors are numbers below it.
        std::int64_t descriptorLimit = -1;
        // Descriptors open below that limit (standard streams included).
        std::int64_t descriptorsInUse = 0;
        // The soft RLIMIT_AS in bytes, or -1 for none, and the address space mapped now.
        std::int64_t addressSpaceLimit = -1;
        std::int64_t addressSpaceInUse = 0;
        // The stack a new thread gets (the default pthread attributes).
        std::int64_t threadStack = 8 << 20;
        // The soft RLIMIT_STACK in bytes, or -1 for none: how far the main thread's stack
        // may grow.
        std::int64_t stackLimit = -1;
    };

    // Free descriptors the program needs at start-up. Qt's start took 6 (the X connection and
    // five event descriptors) and GLib aborts without them; the port needs 2 while port output
    // is on (the lock and each cycle's open); a shown box keeps the icon theme's cache open;
    // the reserve for drawing an error box (8, see main) comes on top. That is 17; a desktop
    // session adds its D-Bus connection and input method, hence the margin to 24.
    static constexpr std::int64_t kDescriptorsNeeded = 24;

    // Address space the program maps after start-up, beyond what it has mapped when main()
    // begins (77 MB there, most of it Qt's libraries). With one malloc arena (see main) the
    // panel started under Xvfb without a failed thread from 43 MB more on (the xcb plugin and
    // its libraries, fonts, pictures, and the threads' 8 MB stacks); with less, threads
    // failed to start and Qt went on without them. Counted here: 32 MB for libraries, fonts
    // and heap, and six thread stacks (the X event reader, D-Bus, and Qt's pool, which may
    // start a thread per core) - 80 MB with the usual 8 MB stacks, nearly twice the need.
    static constexpr std::int64_t kLibrariesAndHeap = std::int64_t{32} << 20;
    static constexpr int kThreads = 6;
    static std::int64_t AddressSpaceNeeded(std::int64_t threadStack);

    // Stack the main thread needs. fontconfig, which Qt asks for the fonts of the first
    // paint, recurses deeply: under Xvfb the panel crashed there with 96 KB and less and came
    // up with 128 KB (the dynamic loader, opening Qt's platform plugin, crashed with 16 KB).
    // Four times that leaves room for a desktop's longer font configuration.
    static constexpr std::int64_t kStackNeeded = std::int64_t{512} << 10;

    // Threads the program runs beside the main one, all at the same time: Qt's X event reader,
    // its D-Bus connection and the one drawing thread of Qt's pool (see DrawingThread), and
    // one more for a desktop's additions. A thread that cannot be started is not reported by
    // Qt: the program waits for it forever, typically the moment it first draws.
    static constexpr int kThreadsNeeded = 4;
    // The shortage when only `started` of kThreadsNeeded threads could run at once: the thread
    // limit (RLIMIT_NPROC counts every process and thread of the user), or memory where there
    // was no room for their stacks either.
    static Shortage FromThreadTrial(int started, bool roomForStacks);

    // Free descriptors that still let a refused start show its report in a box: Qt's start
    // (6) and what a box opens (a font file at a time, the icon theme's cache), with margin.
    static constexpr std::int64_t kDescriptorsForBox = 12;

    // Whether a start refused for these figures can show its report in a box: when what is
    // short are descriptors and enough of them are left for that. Short of address space it
    // never tries: Qt goes on when a thread fails to start, and can then wait for it forever;
    // short of stack a box would crash in fontconfig like the panel.
    static bool BoxPossible(const Figures& figures);

    // The shortage these figures show, descriptors first (they are the commoner limit), then
    // address space, then stack.
    static Shortage Check(const Figures& figures);
    // The cause of a start-up that failed inside Qt, from probes made at that moment: a file
    // could not be opened for lack of descriptors, or a trial mapping failed.
    static Shortage FromProbes(bool outOfDescriptors, bool outOfMemory);

    // The report's exception kind and message for a shortage (nullptr for None).
    static const char* Kind(Shortage shortage);
    static const char* Message(Shortage shortage);
};
