// SPDX-License-Identifier: MIT
#include "output/PpdevDevice.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "output/ClaimDeadline.h"
#include "output/IoErrorCode.h"
#include "output/PortNode.h"
#include "output/QuietPipeWrite.h"
#include "output/UniqueFd.h"

namespace pio {

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

// A FIFO that cannot take the byte now: nobody reads it, or it is full.
int NotReady() { return IoErrorCodeFromErrno(EAGAIN); }

// Whether another device has the port of a ppdev node claimed right now: the parport core
// names the claiming device in /proc/sys/dev/parport/parportN/devices/active (N the node's
// minor number), "none" when nobody has it. A port with no such file is not there at all.
bool ClaimedByAnother(const struct stat& st) {
    const std::string path =
        "/proc/sys/dev/parport/parport" + std::to_string(minor(st.st_rdev)) + "/devices/active";
    const int active = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (active < 0) return false;
    UniqueFd file(active);
    char name[32] = {};
    const ssize_t n = ::read(file.get(), name, sizeof name - 1);
    return n > 0 && std::string(name, static_cast<std::size_t>(n)) != "none\n";
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

PpdevDevice::PpdevDevice(std::string path, std::string lockDirectory)
    : path_(std::move(path)), panelLock_(std::move(lockDirectory)) {}

PpdevDevice::~PpdevDevice() { close(); }

int PpdevDevice::hold() {
    struct stat st = {};
    if (::stat(path_.c_str(), &st) != 0) return IoErrorCodeFromErrno(errno);
    const PortNodeKind kind = PortNodeKindOf(st);
    if (kind == PortNodeKind::NotAPort) {
        letGo();
        return kNotAPort;
    }
    if (const int code = panelLock_.Take(PortHoldKey(st)); code != 0) {
        nodeLock_.ReleaseAndClose();
        return code;
    }
    if (kind != PortNodeKind::ParallelPort) return 0;

    // A node that was replaced (driver reloaded, a new device node) is a new inode, and a
    // lock on the old one guards nothing: take the new one.
    struct stat held = {};
    if (nodeLock_.valid() && ::fstat(nodeLock_.get(), &held) == 0 && SameFile(held, st)) return 0;
    const int code = LockNode(st.st_rdev);
    if (code != 0) panelLock_.Drop();  // another program's turn: no panel may wait on us
    return code;
}

int PpdevDevice::LockNode(dev_t rdev) {
    nodeLock_.ReleaseAndClose();
    // Read-only and non-blocking: the lock needs no write access, and the open must not wait.
    const int fd = RetryOnEintr(
        [&] { return ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); });
    if (fd < 0) return IoErrorCodeFromErrno(errno);
    UniqueFd node(fd);
    struct stat st = {};
    if (::fstat(node.get(), &st) != 0) return IoErrorCodeFromErrno(errno);
    if (PortNodeKindOf(st) != PortNodeKind::ParallelPort || st.st_rdev != rdev) return kNotAPort;
    if (RetryOnEintr([&] { return ::flock(node.get(), LOCK_EX | LOCK_NB); }) != 0) {
        // Only other programs lock the node itself: panels meet on their PanelLock first.
        return IoErrorCodeFromErrno(errno == EWOULDBLOCK ? EBUSY : errno);
    }
    nodeLock_ = std::move(node);
    return 0;
}

void PpdevDevice::letGo() {
    nodeLock_.ReleaseAndClose();
    panelLock_.Drop();
}

int PpdevDevice::open() {
    close();  // a previous cycle that never closed must not leak its descriptor
    struct stat st = {};
    if (::stat(path_.c_str(), &st) != 0) return IoErrorCodeFromErrno(errno);
    switch (PortNodeKindOf(st)) {
        case PortNodeKind::ParallelPort: return OpenPort();
        case PortNodeKind::Fifo: return OpenFifo();
        case PortNodeKind::NotAPort: break;
    }
    return kNotAPort;
}

int PpdevDevice::OpenPort() {
    // No O_NONBLOCK: the ppdev requests used here ignore it. O_NOCTTY in case the path turns
    // out to be a terminal after all (it is refused below, untouched).
    constexpr int kFlags = O_RDWR | O_CLOEXEC | O_NOCTTY;
    const int fd = RetryOnEintr([&] { return ::open(path_.c_str(), kFlags); });
    if (fd < 0) return IoErrorCodeFromErrno(errno);
    UniqueFd handle(fd);
    struct stat st = {};
    if (::fstat(handle.get(), &st) != 0) return IoErrorCodeFromErrno(errno);
    if (PortNodeKindOf(st) != PortNodeKind::ParallelPort) return kNotAPort;

    int claim;
    int err;
    {
        // The claim waits while another program holds the port, holding ppdev's lock of all
        // its requests: the other program could not release until the wait ends. So the wait
        // is limited; a cycle that runs out reports the port busy and the next one tries
        // again, the lock free in between. Without the limit there is no claim at all.
        ClaimDeadline deadline(kClaimWaitMs);
        if (!deadline.active()) return IoErrorCodeFromErrno(ENOMEM);
        do {
            claim = ::ioctl(handle.get(), PPCLAIM);
            err = errno;
        } while (claim != 0 && err == EINTR && !deadline.expired());
    }
    if (claim != 0) {
        // The handle closes on return; its own error would only hide this one.
        if (err == EINTR) return IoErrorCodeFromErrno(EBUSY);  // still held by another
        if (err == ENOTTY) return kNotAPort;
        // ENXIO: no port behind the node (or its driver on the way out), or another program
        // has registered the port for itself alone (PPEXCL) and claimed it. Only the first
        // is "not found".
        if (err == ENXIO && ClaimedByAnother(st)) return IoErrorCodeFromErrno(EBUSY);
        return IoErrorCodeFromErrno(err);
    }
    fd_ = std::move(handle);
    mode_ = Mode::Claimed;
    return 0;
}

int PpdevDevice::OpenFifo() {
    // Write-only and non-blocking: the open fails at once when nobody reads the FIFO (ENXIO),
    // where a blocking one would wait for a reader, and the panel with it.
    constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    const int fd = RetryOnEintr([&] { return ::open(path_.c_str(), kFlags); });
    if (fd < 0) return errno == ENXIO ? NotReady() : IoErrorCodeFromErrno(errno);
    UniqueFd handle(fd);
    struct stat st = {};
    if (::fstat(handle.get(), &st) != 0) return IoErrorCodeFromErrno(errno);
    if (PortNodeKindOf(st) != PortNodeKind::Fifo) return kNotAPort;
    fd_ = std::move(handle);
    mode_ = Mode::Fifo;
    return 0;
}

int PpdevDevice::write(std::uint8_t byte, int& written) {
    switch (mode_) {
        case Mode::Closed: return kNotOpen;
        case Mode::Claimed: {
            // PPWDATA takes a pointer to an unsigned char and sets all eight data lines at once.
            unsigned char data = byte;
            if (RetryOnEintr([&] { return ::ioctl(fd_.get(), PPWDATA, &data); }) != 0) {
                return IoErrorCodeFromErrno(errno);
            }
            written = 1;
            return 0;
        }
        case Mode::Fifo: break;
    }
    const ssize_t n = RetryOnEintr([&] { return QuietPipeWrite(fd_.get(), &byte, 1); });
    if (n < 0) {
        // Full, or its reader left since the open: not ready, as with no reader at all.
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EPIPE) return NotReady();
        return IoErrorCodeFromErrno(errno);
    }
    written = static_cast<int>(n);
    return n == 1 ? 0 : kShortWrite;
}

int PpdevDevice::close() {
    if (!fd_.valid()) return 0;

    // Release first so another program can claim the port; the data lines keep their level.
    // Both steps always run, the first error is the one reported.
    int err = 0;
    if (std::exchange(mode_, Mode::Closed) == Mode::Claimed) {
        if (RetryOnEintr([&] { return ::ioctl(fd_.get(), PPRELEASE); }) != 0) err = errno;
    }
    const int closeErr = fd_.ReleaseAndClose();
    if (err == 0) err = closeErr;
    return err == 0 ? 0 : IoErrorCodeFromErrno(err);
}

}  // namespace pio
