// SPDX-License-Identifier: MIT
// Cost of one output cycle (open, write one byte, close) and the CPU share of a writer
// running at 100 cycles a second, against the in-memory fake and against a FIFO that
// stands in for /dev/parport0 (the same syscalls minus the ppdev claim, which a machine
// without a parallel port cannot exercise).
//
//   PortCycleBench [--cycles N] [--seconds S] [--rate HZ]
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "output/PortDevice.h"
#include "output/PortWriter.h"
#include "output/PpdevDevice.h"
#include "support/FakePortDevice.h"

namespace pio {

namespace {

struct Options {
    int cycles = 20000;
    double seconds = 5.0;
    int rate = 100;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--cycles") o.cycles = std::max(100, std::atoi(argv[i + 1]));
        if (key == "--seconds") o.seconds = std::max(0.1, std::atof(argv[i + 1]));
        if (key == "--rate") o.rate = std::max(1, std::atoi(argv[i + 1]));
    }
    return o;
}

double Seconds(const timespec& t) { return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9; }

double Now(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return Seconds(t);
}

double ThreadRusage() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Words in the order the running light produces them, so every byte differs from the last.
std::int32_t WordFor(int i) { return 1 << (i % 6); }

void MeasureCycle(const char* name, PortWriter& writer, int cycles) {
    for (int i = 0; i < 1000; ++i) writer.write(WordFor(i));  // warm caches and dentries

    std::vector<double> us(static_cast<std::size_t>(cycles));
    for (int i = 0; i < cycles; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        writer.write(WordFor(i));
        const auto t1 = std::chrono::steady_clock::now();
        us[static_cast<std::size_t>(i)] =
            std::chrono::duration<double, std::micro>(t1 - t0).count();
    }
    std::sort(us.begin(), us.end());
    const auto at = [&](double q) { return us[static_cast<std::size_t>(q * (us.size() - 1))]; };
    std::printf("%-5s cycle: n=%d  median %.2f us  p99 %.2f us  max %.2f us\n", name, cycles,
                at(0.5), at(0.99), us.back());
}

// Runs `cycle` at o.rate for o.seconds on this thread, woken by an absolute-time sleep as a
// timer-driven writer would be. The CPU figure includes the wake-ups themselves; the "idle"
// row (no cycle at all) shows how much of it that is.
template <typename Cycle>
void MeasureRate(const char* name, Cycle cycle, const Options& o) {
    const long periodNs = 1000000000L / o.rate;
    const int cycles = static_cast<int>(o.seconds * o.rate);

    const double wall0 = Now(CLOCK_MONOTONIC);
    const double cpu0 = Now(CLOCK_THREAD_CPUTIME_ID);
    const double ru0 = ThreadRusage();
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (int i = 0; i < cycles; ++i) {
        cycle(i);
        next.tv_nsec += periodNs;
        if (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
    }
    const double wall = Now(CLOCK_MONOTONIC) - wall0;
    const double cpu = Now(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    const double ru = ThreadRusage() - ru0;
    std::printf(
        "%-5s %d Hz for %.1f s: %d wake-ups, writer thread CPU %.3f %% of a core "
        "(thread clock), %.3f %% (getrusage user+sys)\n",
        name, o.rate, wall, cycles, 100.0 * cpu / wall, 100.0 * ru / wall);
}

// A FIFO in a fresh temporary directory with a thread that drains it, as a port would.
class FifoStandIn final {
public:
    FifoStandIn() {
        std::string dir = (std::filesystem::temp_directory_path() / "pio-bench-XXXXXX").string();
        if (mkdtemp(dir.data()) == nullptr) return;
        dir_ = dir;
        path_ = dir + "/parport0";
        if (mkfifo(path_.c_str(), 0600) != 0) return;
        // Read/write: the FIFO keeps a writer between cycles, so read() blocks, never EOFs.
        fd_ = open(path_.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ >= 0) drain_ = std::thread([this] { run(); });
    }
    ~FifoStandIn() {
        if (fd_ >= 0) {
            const std::uint8_t end = 0xFF;  // no port byte has bits 0 and 1 set
            if (write(fd_, &end, 1) == 1)
                drain_.join();
            else
                drain_.detach();
            close(fd_);
        }
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    FifoStandIn(const FifoStandIn&) = delete;
    FifoStandIn& operator=(const FifoStandIn&) = delete;

    bool ok() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

private:
    void run() {
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || std::memchr(buffer, 0xFF, static_cast<std::size_t>(n)) != nullptr) {
                return;
            }
        }
    }

    std::string dir_;
    std::string path_;
    int fd_ = -1;
    std::thread drain_;
};

}  // namespace

static int Main(int argc, char** argv) {
    const Options o = ParseOptions(argc, argv);

    const auto nothing = [](int) {};
    MeasureRate("idle", nothing, o);

    {
        FakePortDevice fake;
        PortWriter writer(fake);
        MeasureCycle("fake", writer, o.cycles);
        fake.clearRecord();
        const auto write = [&](int i) { writer.write(WordFor(i)); };
        MeasureRate("fake", write, o);
    }
    {
        FifoStandIn fifo;
        if (!fifo.ok()) {
            std::fprintf(stderr, "cannot set up the FIFO stand-in: %s\n", std::strerror(errno));
            return 1;
        }
        PpdevDevice device(fifo.path());
        PortWriter writer(device);
        MeasureCycle("fifo", writer, o.cycles);
        const auto write = [&](int i) { writer.write(WordFor(i)); };
        MeasureRate("fifo", write, o);
    }
    return 0;
}

}  // namespace pio

int main(int argc, char** argv) { return pio::Main(argc, argv); }
