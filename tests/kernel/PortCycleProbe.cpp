// SPDX-License-Identifier: MIT
// Times the program's own port cycle (PpdevDevice: open + claim, write, release + close)
// against whatever driver is behind the node, and prints one line of figures:
//   cycles=N median_us=.. p90_us=.. p99_us=.. max_us=.. last=<byte>
// The bytes alternate between two values so every write really changes the data lines.
//
//   PortCycleProbe [--path /dev/parport0] [--cycles N]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "output/PpdevDevice.h"

namespace {

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double Percentile(std::vector<double> sorted, double p) {
    const auto index = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

}  // namespace

int main(int argc, char** argv) {
    std::string path = "/dev/parport0";
    int cycles = 2000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--path") path = argv[i + 1];
        if (key == "--cycles") cycles = std::max(10, std::atoi(argv[i + 1]));
    }

    pio::PpdevDevice device(path);
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(cycles));
    std::uint8_t byte = 0;
    for (int i = 0; i < cycles; ++i) {
        byte = (i % 2 == 0) ? 0xa8 : 0x54;
        const double start = Now();
        int written = 0;
        int code = device.open();
        if (code == 0) code = device.write(byte, written);
        const int closeCode = device.close();
        if (code == 0) code = closeCode;
        const double end = Now();
        if (code != 0) {
            std::fprintf(stderr, "cycle %d failed: I/O error %d\n", i, code);
            return 1;
        }
        times.push_back((end - start) * 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("cycles=%d median_us=%.1f p90_us=%.1f p99_us=%.1f max_us=%.1f last=%d\n", cycles,
                Percentile(times, 0.5), Percentile(times, 0.9), Percentile(times, 0.99),
                times.back(), byte);
    return 0;
}
