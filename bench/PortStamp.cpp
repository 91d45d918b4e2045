// SPDX-License-Identifier: MIT
// Time-stamps every byte that reaches a FIFO, for the end-to-end benchmarks
// (run_benchmarks.py).
//
//   PortStamp FIFO
//
// Opens FIFO for reading, keeps an unused write end open (so the reader never sees EOF
// while the program opens and closes its end), prints "ready", then waits in poll(2) and
// reads CLOCK_MONOTONIC (the clock of Python's time.monotonic()) right after each read(2)
// returns. Each byte then goes out on stdout as "<seconds> <byte>\n" — after the time stamp,
// so the output costs nothing in the figures. Ends when standard input is closed.
//
// Why not a Python thread: a reader that is slow to wake would batch bytes and shift their
// times. This one does nothing between the wake-up and the time stamp.
#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace pio {

namespace {

bool WriteAll(const std::string& s) {
    std::size_t done = 0;
    while (done < s.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, s.data() + done, s.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

static int Main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FIFO\n", argv[0]);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "open %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    const int keep = ::open(argv[1], O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (keep < 0) {
        std::fprintf(stderr, "open %s for writing: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    if (!WriteAll("ready\n")) return 1;

    pollfd fds[2] = {{fd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    unsigned char buf[4096];
    std::string out;
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("poll");
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            timespec now;
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            out.clear();
            char line[64];
            for (ssize_t i = 0; i < n; ++i) {
                const int len = std::snprintf(line, sizeof line, "%lld.%09ld %u\n",
                                              static_cast<long long>(now.tv_sec), now.tv_nsec,
                                              static_cast<unsigned>(buf[i]));
                out.append(line, static_cast<std::size_t>(len));
            }
            if (!WriteAll(out)) break;
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            char c;
            if (::read(STDIN_FILENO, &c, 1) <= 0) break;
        }
    }
    ::close(keep);
    ::close(fd);
    return 0;
}

}  // namespace pio

int main(int argc, char** argv) { return pio::Main(argc, argv); }
