// SPDX-License-Identifier: MIT
#include "app/linux/DescriptorReserve.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace pio {

DescriptorReserve::DescriptorReserve(int count, int spare)
    : count_(std::max(count, 0)), spare_(std::max(spare, 0)) {}

DescriptorReserve::~DescriptorReserve() { Release(); }

int DescriptorReserve::Fill() {
    // Open what is missing plus the spare: if that works, enough are free and the spare goes
    // straight back; if the limit stops it early, giving back the spare leaves the program
    // exactly that many.
    const int wanted = count_ + spare_;
    bool exhausted = false;
    while (Held() < wanted) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            // Any other error (no /dev/null in a bare container) says nothing about how many
            // descriptors are left: keep what we have.
            exhausted = errno == EMFILE || errno == ENFILE;
            break;
        }
        fds_.push_back(fd);
    }
    const int keep = exhausted ? std::clamp(Held() - spare_, 0, count_) : std::min(Held(), count_);
    while (Held() > keep) {
        ::close(fds_.back());
        fds_.pop_back();
    }
    return Held();
}

void DescriptorReserve::Release() {
    for (const int fd : fds_) ::close(fd);
    fds_.clear();
}

}  // namespace pio
