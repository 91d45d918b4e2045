// SPDX-License-Identifier: MIT
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace pio {

// Owns one file descriptor. The destructor closes it and drops any error, which is right for
// error paths where an earlier error is already being reported; where a close error matters,
// call ReleaseAndClose() and look at its result.
class UniqueFd final {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { ReleaseAndClose(); }

    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            ReleaseAndClose();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }

    // Closes the descriptor (if any) and returns 0 or the errno of close(2). The object is
    // empty afterwards either way: Linux frees the descriptor even when close fails, so a
    // retry could close a descriptor another thread has just been given. EINTR therefore
    // counts as success: the descriptor is gone and there is nothing left to do.
    int ReleaseAndClose() noexcept {
        const int fd = std::exchange(fd_, -1);
        if (fd < 0) return 0;
        if (::close(fd) == 0) return 0;
        return errno == EINTR ? 0 : errno;
    }

private:
    int fd_ = -1;
};

}  // namespace pio
