// SPDX-License-Identifier: MIT
// Watches output lines and logs every change of their levels as
//   <CLOCK_MONOTONIC seconds> <value in decimal>
// (the first line is the value found at the start). Polls every 0.2 ms until SIGTERM/SIGINT.
//
//   PortSampler LOGFILE [BASE]
//       The data register of a PC parallel port (default 0x378), read straight through I/O
//       port access: the lines as the hardware holds them, whoever drives them and without
//       claiming the port from the driver. Needs root (ioperm); meant for a test machine,
//       never for a real port in use.
//   PortSampler LOGFILE --files FILE...
//       Up to 16 files that read "0" or "1", such as the GPIO simulator's line levels in
//       sysfs: bit k of the value is FILE k. The files are read one after the other, so a
//       read that a change falls into can mix old and new levels; a value counts only once
//       two reads in a row agree, and its time is when the first of them began.
//
// A separate process that does nothing but poll: a sampler that shared an interpreter with
// the checks beside it missed two 100 ms steps in a row on a busy host.
#include <fcntl.h>
#include <sys/io.h>
#include <time.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void Stop(int) { g_stop = 1; }

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The files' levels as one value, -1 when one of them could not be read.
int ReadFiles(const std::vector<int>& fds) {
    int value = 0;
    for (std::size_t k = 0; k < fds.size(); ++k) {
        char level = 0;
        if (pread(fds[k], &level, 1, 0) != 1 || (level != '0' && level != '1')) {
            return -1;
        }
        value |= (level - '0') << k;
    }
    return value;
}

// A value read twice alike, and when the first of the two reads began.
int ReadStable(const std::vector<int>& fds, double* at) {
    double t = Now();
    int value = ReadFiles(fds);
    while (!g_stop) {
        const double t_next = Now();
        const int again = ReadFiles(fds);
        if (again == value) {
            break;
        }
        t = t_next;
        value = again;
    }
    *at = t;
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    const bool files = argc > 2 && std::strcmp(argv[2], "--files") == 0;
    if (argc < 2 || (files && (argc < 4 || argc > 19))) {
        std::fprintf(stderr, "usage: %s LOGFILE [BASE]\n       %s LOGFILE --files FILE...\n",
                     argv[0], argv[0]);
        return 2;
    }
    std::vector<int> fds;
    unsigned long base = 0x378;
    if (files) {
        for (int k = 3; k < argc; ++k) {
            const int fd = open(argv[k], O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                std::perror(argv[k]);
                return 1;
            }
            fds.push_back(fd);
        }
    } else {
        base = argc > 2 ? std::strtoul(argv[2], nullptr, 0) : base;
        if (ioperm(base, 1, 1) != 0) {
            std::perror("ioperm");
            return 1;
        }
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
        double at = 0;
        const int value = files ? ReadStable(fds, &at) : inb(static_cast<unsigned short>(base));
        if (!files) {
            at = Now();
        }
        if (value < 0) {
            std::perror("read");
            return 1;
        }
        if (value != last) {
            // Flushed at once: the reader follows the log while the sampler runs.
            std::fprintf(log, "%.6f %d\n", at, value);
            std::fflush(log);
            last = value;
        }
        nanosleep(&period, nullptr);
    }
    std::fclose(log);
    return 0;
}
