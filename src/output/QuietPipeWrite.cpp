// SPDX-License-Identifier: MIT
#include "output/QuietPipeWrite.h"

#include <signal.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace pio {

ssize_t QuietPipeWrite(int fd, const void* data, std::size_t size) {
    sigset_t pipeOnly, previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    // SIGPIPE from a write goes to the writing thread, so blocking it here is enough.
    if (pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous) != 0) return ::write(fd, data, size);

    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;

    const ssize_t n = ::write(fd, data, size);
    const int err = errno;
    if (n < 0 && err == EPIPE && !alreadyPending) {
        // Take back the one this write raised; a SIGPIPE that was pending before stays.
        const timespec now{0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = err;
    return n;
}

}  // namespace pio
