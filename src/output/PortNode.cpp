// SPDX-License-Identifier: MIT
#include "output/PortNode.h"

#include <linux/major.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <string>

namespace pio {

namespace {

// Every ppdev node has the driver's major number; the minor is the port's number.
bool IsPpdevNode(mode_t mode, dev_t rdev) { return S_ISCHR(mode) && major(rdev) == PP_MAJOR; }

}  // namespace

PortNodeKind PortNodeKindOf(mode_t mode, dev_t rdev) {
    if (IsPpdevNode(mode, rdev)) return PortNodeKind::ParallelPort;
    if (S_ISFIFO(mode)) return PortNodeKind::Fifo;
    return PortNodeKind::NotAPort;
}

std::string PortHoldKey(const struct stat& st) {
    if (S_ISCHR(st.st_mode)) {
        return "c" + std::to_string(major(st.st_rdev)) + "." + std::to_string(minor(st.st_rdev));
    }
    return "fifo-" + std::to_string(major(st.st_dev)) + "." + std::to_string(minor(st.st_dev)) +
           "-" + std::to_string(st.st_ino);
}

const char* NeverAPort(const std::string& path) {
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0) return nullptr;
    if (S_ISREG(st.st_mode)) return "eine gewöhnliche Datei";
    if (S_ISDIR(st.st_mode)) return "ein Verzeichnis";
    if (S_ISBLK(st.st_mode)) return "ein Blockgerät";
    if (S_ISSOCK(st.st_mode)) return "ein Socket";
    return nullptr;
}

}  // namespace pio
