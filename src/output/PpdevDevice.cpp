// SPDX-License-Identifier: MIT
#include "output/PpdevDevice.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "output/IoErrorCode.h"

namespace {

// A short write of the one byte; the same code PortWriter uses for it.
constexpr int kShortWrite = 101;
// Returned when write or close is called without a successful open.
constexpr int kNotOpen = 103;

// The syscalls are restarted by hand because the application's signal handlers are not
// ours to know: one installed without SA_RESTART would otherwise turn into an I/O error.
template <typename Call>
auto RetryOnEintr(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR) result = call();
    return result;
}

}  // namespace

PpdevDevice::PpdevDevice(std::string path) : path_(std::move(path)) {}

PpdevDevice::~PpdevDevice() {
    close();
}

int PpdevDevice::hold() {
    if (lock_.valid()) {
        // A node that was replaced (driver reloaded, a new device node) is a new inode, and a
        // lock on the old one guards nothing: take the new one.
        struct stat held {}, now {};
        if (::fstat(lock_.get(), &held) == 0 && ::stat(path_.c_str(), &now) == 0 &&
            held.st_dev == now.st_dev && held.st_ino == now.st_ino) {
            return 0;
        }
        lock_.release_and_close();
    }
    // Read-only and non-blocking: the lock needs no write access, and opening a FIFO rig
    // must not wait for a writer.
    const int fd = RetryOnEintr(
        [&] { return ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); });
    if (fd < 0) return IoErrorCodeFromErrno(errno);
    UniqueFd handle(fd);
    if (RetryOnEintr([&] { return ::flock(handle.get(), LOCK_EX | LOCK_NB); }) != 0) {
        return errno == EWOULDBLOCK ? kPortHeldByAnotherPanel : IoErrorCodeFromErrno(errno);
    }
    lock_ = std::move(handle);
    return 0;
}

void PpdevDevice::letGo() { lock_.release_and_close(); }

int PpdevDevice::open() {
    close();  // a previous cycle that never closed must not leak its descriptor

    // No O_CREAT: the port is an existing node, a missing one is an error, not a new file.
    // No O_NONBLOCK: the ppdev requests used here ignore it, and for a FIFO rig it would
    // trade blocking for spurious EAGAIN errors. O_NOCTTY keeps a pty rig from becoming
    // our controlling terminal when the program runs as a session leader.
    constexpr int kFlags = O_RDWR | O_CLOEXEC | O_NOCTTY;
    const int fd = RetryOnEintr([&] { return ::open(path_.c_str(), kFlags); });
    if (fd < 0) return IoErrorCodeFromErrno(errno);
    UniqueFd handle(fd);

    if (RetryOnEintr([&] { return ::ioctl(handle.get(), PPCLAIM); }) == 0) {
        claimed_ = true;
    } else if (errno == ENOTTY) {
        // Not a ppdev port: fall back to write(2).
        claimed_ = false;
    } else {
        // The claim failed: no port behind the node, or another program holds it
        // exclusively (both ENXIO). The handle closes on return; its own error would only
        // hide this one.
        const int err = errno;
        return IoErrorCodeFromErrno(err);
    }
    fd_ = std::move(handle);
    return 0;
}

int PpdevDevice::write(std::uint8_t byte, int& written) {
    if (!fd_.valid()) return kNotOpen;

    if (claimed_) {
        // PPWDATA takes a pointer to an unsigned char and sets all eight data lines at once.
        unsigned char data = byte;
        if (RetryOnEintr([&] { return ::ioctl(fd_.get(), PPWDATA, &data); }) != 0) {
            return IoErrorCodeFromErrno(errno);
        }
        written = 1;
        return 0;
    }

    const ssize_t n = RetryOnEintr([&] { return ::write(fd_.get(), &byte, 1); });
    if (n < 0) return IoErrorCodeFromErrno(errno);
    written = static_cast<int>(n);
    return n == 1 ? 0 : kShortWrite;
}

int PpdevDevice::close() {
    if (!fd_.valid()) return 0;

    // Release first so another program can claim the port; the data lines keep their level.
    // Both steps always run, the first error is the one reported.
    int err = 0;
    if (std::exchange(claimed_, false)) {
        if (RetryOnEintr([&] { return ::ioctl(fd_.get(), PPRELEASE); }) != 0) err = errno;
    }
    const int closeErr = fd_.release_and_close();
    if (err == 0) err = closeErr;
    return err == 0 ? 0 : IoErrorCodeFromErrno(err);
}
