// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "output/IoErrorCode.h"

namespace pio {

struct ErrnoCase {
    int err;
    int code;
};

class IoErrorCodeTest : public ::testing::TestWithParam<ErrnoCase> {};

TEST_P(IoErrorCodeTest, MapsErrnoToCode) {
    EXPECT_EQ(IoErrorCodeFromErrno(GetParam().err), GetParam().code)
        << "errno " << GetParam().err << " (" << std::strerror(GetParam().err) << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Table, IoErrorCodeTest,
    ::testing::Values(ErrnoCase{ENOENT, 2}, ErrnoCase{ENODEV, 2}, ErrnoCase{ENXIO, 2},
                      ErrnoCase{EACCES, 5}, ErrnoCase{EPERM, 5}, ErrnoCase{EROFS, 5},
                      ErrnoCase{EBUSY, 5}, ErrnoCase{EMFILE, 4}, ErrnoCase{ENFILE, 4},
                      ErrnoCase{EIO, 1117}, ErrnoCase{EAGAIN, 21}, ErrnoCase{EWOULDBLOCK, 21},
                      ErrnoCase{ENOSPC, 28}, ErrnoCase{ENOMEM, 8}, ErrnoCase{EINVAL, 1},
                      ErrnoCase{ENOTTY, 1},
                      // Anything else is a general I/O error.
                      ErrnoCase{EPIPE, 1117}, ErrnoCase{EINTR, 1117}, ErrnoCase{EBADF, 1117},
                      ErrnoCase{EISDIR, 1117}, ErrnoCase{EFBIG, 1117}, ErrnoCase{0, 1117},
                      ErrnoCase{-1, 1117}, ErrnoCase{100000, 1117}));

// No errno other than the listed ones may come out as a code with a message of its own: the
// Linux numbers 2..5 mean different things than the messages say.
TEST(IoErrorCode, UnlistedErrnoNeverYieldsAMessageCode) {
    for (int err = 1; err < 200; ++err) {
        if (err == EAGAIN || err == EWOULDBLOCK) continue;
        switch (err) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
            case EACCES:
            case EPERM:
            case EROFS:
            case EBUSY:
            case EMFILE:
            case ENFILE:
            case EIO:
            case ENOSPC:
            case ENOMEM:
            case EINVAL:
            case ENOTTY: continue;
            default: EXPECT_EQ(IoErrorCodeFromErrno(err), 1117) << "errno " << err;
        }
    }
}

}  // namespace pio
