// SPDX-License-Identifier: MIT
#include "output/SystemDeviceCalls.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "output/UniqueFd.h"

namespace pio {

namespace {

// sysfs files of the kind read here (uevent) are a page at most.
constexpr std::size_t kTextLimit = 4096;

}  // namespace

int SystemDeviceCalls::Open(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? -errno : fd;
}

int SystemDeviceCalls::Close(int fd) {
    UniqueFd owned(fd);
    const int err = owned.ReleaseAndClose();
    return -err;
}

int SystemDeviceCalls::Ioctl(int fd, unsigned long request, void* arg) {
    int result;
    do {
        result = ::ioctl(fd, request, arg);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? -errno : result;
}

std::vector<std::string> SystemDeviceCalls::List(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

std::optional<std::string> SystemDeviceCalls::ReadText(const std::string& path) {
    const int fd = Open(path, O_RDONLY);
    if (fd < 0) return std::nullopt;
    UniqueFd file(fd);
    std::string text(kTextLimit, '\0');
    ssize_t n;
    do {
        n = ::read(file.get(), text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) return std::nullopt;
    text.resize(static_cast<std::size_t>(n));
    return text;
}

}  // namespace pio
