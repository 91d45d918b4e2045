// SPDX-License-Identifier: MIT
#include "output/PpdevDevice.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "output/ClaimDeadline.h"
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

// How long one cycle waits for a port that another program holds.
constexpr long kClaimWaitMs = 20;

// Whether another device has the port of a ppdev node claimed right now: the parport core
// names the claiming device in /proc/sys/dev/parport/parportN/devices/active (N the node's
// minor number), "none" when nobody has it. A port with no such file is not there at all.
bool ClaimedByAnother(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const std::string path = "/proc/sys/dev/parport/parport" +
                             std::to_string(minor(st.st_rdev)) + "/devices/active";
    const int active = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (active < 0) return false;
    UniqueFd file(active);
    char name[32] = {};
    const ssize_t n = ::read(file.get(), name, sizeof name - 1);
    return n > 0 && std::string(name, static_cast<std::size_t>(n)) != "none\n";
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

    int claim;
    int err;
    {
        // The claim waits while another program holds the port, holding ppdev's lock of all
        // its requests: the other program could not release until the wait ends. So the wait
        // is limited; a cycle that runs out reports the port busy and the next one tries
        // again, the lock free in between.
        ClaimDeadline deadline(kClaimWaitMs);
        do {
            claim = ::ioctl(handle.get(), PPCLAIM);
            err = errno;
        } while (claim != 0 && err == EINTR && !deadline.expired());
    }
    if (claim == 0) {
        claimed_ = true;
    } else if (err == ENOTTY) {
        // Not a ppdev port: fall back to write(2).
        claimed_ = false;
    } else {
        // The handle closes on return; its own error would only hide this one.
        if (err == EINTR) return IoErrorCodeFromErrno(EBUSY);  // still held by another
        // ENXIO: no port behind the node (or its driver on the way out), or another program
        // has registered the port for itself alone (PPEXCL) and claimed it. Only the first
        // is "not found".
        if (err == ENXIO && ClaimedByAnother(handle.get())) return IoErrorCodeFromErrno(EBUSY);
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
