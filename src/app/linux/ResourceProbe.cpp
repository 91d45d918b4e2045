// SPDX-License-Identifier: MIT
#include "app/linux/ResourceProbe.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/StartupResources.h"

namespace pio {

namespace {

using Shortage = StartupResources::Shortage;

std::int64_t SoftLimit(int resource) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return -1;
    return static_cast<std::int64_t>(limit.rlim_cur);
}

// Descriptors open below `limit` (all of them for -1). Listing /proc takes a descriptor of its
// own, which is not counted; without one to spare, every number counts as taken.
std::int64_t DescriptorsInUse(std::int64_t limit) {
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return limit >= 0 ? limit : 0;
    const int own = ::dirfd(dir);
    std::int64_t count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own) continue;
        if (limit < 0 || fd < limit) ++count;
    }
    ::closedir(dir);
    return count;
}

std::int64_t AddressSpaceInUse() {
    std::FILE* f = std::fopen("/proc/self/statm", "re");
    if (!f) return 0;
    unsigned long long pages = 0;
    const int n = std::fscanf(f, "%llu", &pages);
    std::fclose(f);
    return n == 1 ? static_cast<std::int64_t>(pages) * ::sysconf(_SC_PAGESIZE) : 0;
}

std::int64_t ThreadStack() {
    pthread_attr_t attr;
    std::size_t size = 0;
    if (::pthread_getattr_default_np(&attr) == 0) {
        ::pthread_attr_getstacksize(&attr, &size);
        ::pthread_attr_destroy(&attr);
    }
    return size > 0 ? static_cast<std::int64_t>(size) : std::int64_t{8} << 20;
}

void* Nothing(void*) { return nullptr; }

// Threads of StartThreads wait here until all that could be started are running.
struct Gate {
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t open = PTHREAD_COND_INITIALIZER;
    bool released = false;
};

void* WaitAtGate(void* arg) {
    auto* gate = static_cast<Gate*>(arg);
    ::pthread_mutex_lock(&gate->mutex);
    while (!gate->released) ::pthread_cond_wait(&gate->open, &gate->mutex);
    ::pthread_mutex_unlock(&gate->mutex);
    return nullptr;
}

}  // namespace

StartupResources::Figures ResourceProbe::Measure() {
    StartupResources::Figures f;
    f.descriptorLimit = SoftLimit(RLIMIT_NOFILE);
    f.descriptorsInUse = DescriptorsInUse(f.descriptorLimit);
    f.addressSpaceLimit = SoftLimit(RLIMIT_AS);
    f.addressSpaceInUse = AddressSpaceInUse();
    f.threadStack = ThreadStack();
    f.stackLimit = SoftLimit(RLIMIT_STACK);
    return f;
}

Shortage ResourceProbe::BeforeStart() {
    const StartupResources::Figures figures = Measure();
    if (const Shortage s = StartupResources::Check(figures); s != Shortage::None) return s;
    const auto need = StartupResources::AddressSpaceNeeded(figures.threadStack);
    if (!CanMap(static_cast<std::size_t>(need))) return Shortage::Memory;
    const int started = StartThreads(StartupResources::kThreadsNeeded);
    // Measured after the trial: whether the stacks it wanted would have fitted.
    const bool room = CanMap(static_cast<std::size_t>(StartupResources::kThreadsNeeded) *
                             static_cast<std::size_t>(figures.threadStack));
    return StartupResources::FromThreadTrial(started, room);
}

bool ResourceProbe::BoxPossible() {
    const StartupResources::Figures figures = Measure();
    const auto need = StartupResources::AddressSpaceNeeded(figures.threadStack);
    return StartupResources::BoxPossible(figures) && CanMap(static_cast<std::size_t>(need)) &&
           StartThreads(StartupResources::kThreadsNeeded) >= StartupResources::kThreadsNeeded;
}

Shortage ResourceProbe::AfterFailure() {
    // 16 MB: two thread stacks and a library - less than any start-up step that could fail.
    return StartupResources::FromProbes(!CanOpenFile(), !CanMap(std::size_t{16} << 20));
}

bool ResourceProbe::CanMap(std::size_t bytes) {
    // Inaccessible and unbacked, yet counted against RLIMIT_AS like any mapping.
    void* p = ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return false;
    ::munmap(p, bytes);
    return true;
}

bool ResourceProbe::CanStartThread() {
    // pthread rather than std::thread: no exception to catch, and the same call Qt makes.
    pthread_t thread;
    if (::pthread_create(&thread, nullptr, Nothing, nullptr) != 0) return false;
    ::pthread_join(thread, nullptr);
    return true;
}

int ResourceProbe::StartThreads(int count) {
    Gate gate;
    std::vector<pthread_t> threads;
    for (int i = 0; i < count; ++i) {
        pthread_t thread;
        if (::pthread_create(&thread, nullptr, WaitAtGate, &gate) != 0) break;
        threads.push_back(thread);
    }
    ::pthread_mutex_lock(&gate.mutex);
    gate.released = true;
    ::pthread_cond_broadcast(&gate.open);
    ::pthread_mutex_unlock(&gate.mutex);
    for (pthread_t thread : threads) ::pthread_join(thread, nullptr);
    return static_cast<int>(threads.size());
}

bool ResourceProbe::CanOpenFile() {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    return errno != EMFILE && errno != ENFILE;
}

}  // namespace pio
