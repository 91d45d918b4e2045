// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pio {

// The few system calls the GPIO and USB relay devices make, behind one seam, so that their
// tests drive them with a fake chip or a fake board. Every call reports failure as a negative
// errno value instead of through errno, which a fake could not set without races.
class DeviceCalls {
public:
    virtual ~DeviceCalls() = default;
    // open(2): the descriptor or -errno.
    virtual int Open(const std::string& path, int flags) = 0;
    // close(2): 0 or -errno. The descriptor is gone either way.
    virtual int Close(int fd) = 0;
    // ioctl(2): its non-negative result or -errno.
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
    // The names in a directory, without "." and "..", in no particular order; empty when it
    // cannot be read.
    virtual std::vector<std::string> List(const std::string& directory) = 0;
    // A small text file (sysfs), or nothing when it cannot be read.
    virtual std::optional<std::string> ReadText(const std::string& path) = 0;
};

}  // namespace pio
