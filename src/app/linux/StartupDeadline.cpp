// SPDX-License-Identifier: MIT
#include "app/linux/StartupDeadline.h"

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>

namespace pio {

namespace {

// The report, ready for the handler: it may neither allocate nor take locks.
char g_report[1024];
std::size_t g_length = 0;

void OnDeadline(int) {
    std::size_t done = 0;
    while (done < g_length) {
        const ssize_t n = ::write(STDERR_FILENO, g_report + done, g_length - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::_exit(1);
}

}  // namespace

void StartupDeadline::Arm(unsigned seconds, const std::string& report) {
    g_length = std::min(report.size(), sizeof g_report - 1);
    std::memcpy(g_report, report.data(), g_length);
    g_report[g_length++] = '\n';
    struct sigaction action = {};
    action.sa_handler = OnDeadline;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, nullptr);
    ::alarm(seconds);
}

void StartupDeadline::Disarm() {
    ::alarm(0);
    ::signal(SIGALRM, SIG_DFL);
}

}  // namespace pio
