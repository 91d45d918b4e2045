// SPDX-License-Identifier: MIT
#include "output/PanelLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <string>
#include <utility>

#include "output/IoErrorCode.h"
#include "output/PortDevice.h"
#include "output/UniqueFd.h"

namespace pio {

namespace {

// Read-only is enough for flock, so a lock file that another user's panel made serves every
// user. No symlinks: in a directory everyone may write to, a planted link must not make us
// create or lock someone else's file.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
constexpr mode_t kLockFileMode = 0644;

// Opens the lock file, making it when it is missing. The plain open comes first: where the
// kernel protects files in sticky directories (fs.protected_regular), O_CREAT on another
// user's existing file is refused even though opening it is allowed.
int OpenLockFile(const std::string& path) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.c_str(), kOpenFlags);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = ::open(path.c_str(), kOpenFlags | O_CREAT | O_EXCL, kLockFileMode);
        if (fd >= 0) {
            ::fchmod(fd, kLockFileMode);  // whatever the umask, every user's panel may open it
            return fd;
        }
        if (errno != EEXIST) return -1;  // else another panel made it just now: open that one
    }
    return -1;
}

}  // namespace

PanelLock::PanelLock(std::string directory) : directory_(std::move(directory)) {}

std::string PanelLock::SystemDirectory() {
    for (const char* dir : {"/run/lock", "/var/lock", "/tmp"}) {
        struct stat st = {};
        if (::stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) return dir;
    }
    return "/tmp";
}

int PanelLock::Take(const std::string& key) {
    if (Holds(key)) return 0;
    Drop();
    const std::string dir = directory_.empty() ? SystemDirectory() : directory_;
    const int fd = OpenLockFile(dir + "/pio-out-port-" + key + ".lock");
    if (fd < 0) return IoErrorCodeFromErrno(errno);
    UniqueFd file(fd);
    struct stat st = {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return IoErrorCodeFromErrno(EPERM);
    int locked;
    do {
        locked = ::flock(file.get(), LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        return errno == EWOULDBLOCK ? kPortHeldByAnotherPanel : IoErrorCodeFromErrno(errno);
    }
    fd_ = std::move(file);
    key_ = key;
    return 0;
}

void PanelLock::Drop() {
    fd_.ReleaseAndClose();
    key_.clear();
}

}  // namespace pio
