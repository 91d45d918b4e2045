// SPDX-License-Identifier: MIT
// Watches the data register of the first PC parallel port (0x378) straight through I/O port
// access, so it sees the data lines as the hardware holds them, whoever drives them and
// without claiming the port from the driver. Every change is logged as
//   <CLOCK_MONOTONIC seconds> <byte in decimal>
// (the first line is the value found at the start). Polls every 0.2 ms until SIGTERM/SIGINT.
//
//   PortSampler LOGFILE [BASE]
// Needs root (ioperm); meant for a test machine, never for a real port in use.
#include <sys/io.h>
#include <time.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void Stop(int) { g_stop = 1; }

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LOGFILE [BASE]\n", argv[0]);
        return 2;
    }
    const unsigned long base = argc > 2 ? std::strtoul(argv[2], nullptr, 0) : 0x378;
    if (ioperm(base, 1, 1) != 0) {
        std::perror("ioperm");
        return 1;
    }
    std::FILE* log = std::fopen(argv[1], "w");
    if (log == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::signal(SIGTERM, Stop);
    std::signal(SIGINT, Stop);

    int last = -1;
    const timespec period{0, 200000};
    while (!g_stop) {
        const int value = inb(static_cast<unsigned short>(base));
        if (value != last) {
            // Flushed at once: the reader follows the log while the sampler runs.
            std::fprintf(log, "%.6f %d\n", Now(), value);
            std::fflush(log);
            last = value;
        }
        nanosleep(&period, nullptr);
    }
    std::fclose(log);
    return 0;
}
