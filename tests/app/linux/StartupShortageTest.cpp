// SPDX-License-Identifier: MIT
// Start-up short of threads or of stack: the decisions on the figures, and the probes under
// real limits (in a child process, whose limits and user do not touch the test's).
#include <gtest/gtest.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>

#include "app/StartupResources.h"
#include "app/linux/ResourceProbe.h"

namespace pio {

namespace {

using Shortage = StartupResources::Shortage;
constexpr std::int64_t KB = 1024;

StartupResources::Figures Typical() {
    StartupResources::Figures f;
    f.descriptorLimit = 1024;
    f.descriptorsInUse = 3;
    f.addressSpaceInUse = 77 * KB * KB;
    f.stackLimit = 8192 * KB;
    return f;
}

// Runs `body` in a child process and returns its exit code (-1: it did not end normally).
int InChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The thread limit is not enforced for root: a child that is root becomes a user of its own
// (no process of the machine runs as it), so the limit counts the child alone.
// RLIMIT_NPROC counts every process and thread of the real user, so the limit means
// something only for a user that runs nothing else: root makes the child one of its own.
bool BecomeLimitedUser(rlim_t processes) {
    if (::setgid(54321) != 0 || ::setuid(54321) != 0) return false;
    const rlimit limit{processes, processes};
    return ::setrlimit(RLIMIT_NPROC, &limit) == 0;
}

}  // namespace

TEST(StartupShortage, StackBelowTheNeedIsRefusedWithoutABox) {
    StartupResources::Figures f = Typical();
    // ulimit -s 96 and less crashed in fontconfig at the first paint; 16 in the loader.
    for (std::int64_t kb : {16, 96, 128, 511}) {
        f.stackLimit = kb * KB;
        EXPECT_EQ(StartupResources::Check(f), Shortage::Stack) << kb << " KB";
        EXPECT_FALSE(StartupResources::BoxPossible(f)) << kb << " KB";
    }
    for (std::int64_t limit : {512 * KB, 8192 * KB, std::int64_t{-1}}) {
        f.stackLimit = limit;
        EXPECT_EQ(StartupResources::Check(f), Shortage::None) << limit;
        EXPECT_TRUE(StartupResources::BoxPossible(f)) << limit;
    }
    // Descriptors and address space are named first, as before.
    f.stackLimit = 64 * KB;
    f.descriptorLimit = 8;
    EXPECT_EQ(StartupResources::Check(f), Shortage::FileHandles);
}

TEST(StartupShortage, AFailedThreadTrialNamesTheLimitWhereMemoryIsThere) {
    EXPECT_EQ(StartupResources::FromThreadTrial(StartupResources::kThreadsNeeded, true),
              Shortage::None);
    EXPECT_EQ(StartupResources::FromThreadTrial(StartupResources::kThreadsNeeded + 1, false),
              Shortage::None);
    for (int started = 0; started < StartupResources::kThreadsNeeded; ++started) {
        EXPECT_EQ(StartupResources::FromThreadTrial(started, true), Shortage::Threads);
        EXPECT_EQ(StartupResources::FromThreadTrial(started, false), Shortage::Memory);
    }
    // Qt's X event reader, its D-Bus thread and the drawing thread were seen running at once.
    EXPECT_GE(StartupResources::kThreadsNeeded, 3);
}

TEST(StartupShortage, KindsAndMessages) {
    EXPECT_STREQ(StartupResources::Kind(Shortage::Threads), "EThread");
    EXPECT_STREQ(StartupResources::Message(Shortage::Threads), "Zu viele Prozesse oder Threads");
    EXPECT_STREQ(StartupResources::Kind(Shortage::Stack), "EStackOverflow");
    EXPECT_STREQ(StartupResources::Message(Shortage::Stack), "Zu wenig Stapelspeicher");
}

TEST(StartupShortage, TheProbeMeasuresTheStackLimit) {
    rlimit stack{};
    ASSERT_EQ(::getrlimit(RLIMIT_STACK, &stack), 0);
    const auto f = ResourceProbe::Measure();
    if (stack.rlim_cur == RLIM_INFINITY)
        EXPECT_EQ(f.stackLimit, -1);
    else
        EXPECT_EQ(f.stackLimit, static_cast<std::int64_t>(stack.rlim_cur));
    EXPECT_EQ(InChild([] {
                  const rlimit small{96 * KB, RLIM_INFINITY};
                  if (::setrlimit(RLIMIT_STACK, &small) != 0) return 2;
                  return ResourceProbe::BeforeStart() == Shortage::Stack ? 0 : 1;
              }),
              0);
}

TEST(StartupShortage, TheThreadsAreTriedAllAtOnce) {
    EXPECT_EQ(ResourceProbe::StartThreads(StartupResources::kThreadsNeeded),
              StartupResources::kThreadsNeeded);
    if (::geteuid() != 0) {
        // Seen as a user with other work running: the limit was used up before the test.
        GTEST_SKIP() << "needs root: a user of its own for the process limit";
    }
    // Under a limit of the child and two threads beside it, two of four run at once (one at
    // a time, all four would have started); the limit is the cause, not memory.
    EXPECT_EQ(InChild([] {
                  if (!BecomeLimitedUser(3)) return 10;
                  if (ResourceProbe::StartThreads(4) != 2) return 11;
                  if (!ResourceProbe::CanStartThread()) return 12;
                  return ResourceProbe::BeforeStart() == Shortage::Threads ? 0 : 13;
              }),
              0);
    // No thread at all beside the child: what `prlimit --nproc=1` did.
    EXPECT_EQ(InChild([] {
                  if (!BecomeLimitedUser(1)) return 10;
                  if (ResourceProbe::StartThreads(4) != 0) return 11;
                  return ResourceProbe::BeforeStart() == Shortage::Threads ? 0 : 12;
              }),
              0);
}

}  // namespace pio
