// SPDX-License-Identifier: MIT
#include "output/IoErrorCode.h"

#include <cerrno>

namespace pio {

namespace {

// Codes that have no message of their own but are still worth telling apart in a report.
constexpr int kGeneralFailure = 1117;  // the device reported an I/O error
constexpr int kNotReady = 21;
constexpr int kDiskFull = 28;
constexpr int kOutOfMemory = 8;
constexpr int kInvalidFunction = 1;

}  // namespace

int IoErrorCodeFromErrno(int err) {
    // One value on Linux, two on other C libraries (Windows' has EWOULDBLOCK 140, EAGAIN 11):
    // tested apart, since two equal case labels would not compile.
    if (err == EAGAIN || err == EWOULDBLOCK) return kNotReady;
    switch (err) {
        // No port behind the path: missing node, or a node with no driver loaded.
        case ENOENT:
        case ENODEV:
        case ENXIO: return 2;
        // Permission, or the port held by someone else.
        case EACCES:
        case EPERM:
        case EROFS:
        case EBUSY: return 5;
        case EMFILE:
        case ENFILE: return 4;
        case EIO: return kGeneralFailure;
        case ENOSPC: return kDiskFull;
        case ENOMEM: return kOutOfMemory;
        case EINVAL:
        case ENOTTY: return kInvalidFunction;
        default: return kGeneralFailure;
    }
}

}  // namespace pio
