// SPDX-License-Identifier: MIT
#pragma once

#include <sys/stat.h>

#include <string>

// What a port path names, judged from stat(2) before anything is opened for writing. Only two
// kinds are ever written: a ppdev node gets the byte through the port requests, a FIFO (the
// stand-in of the test rigs and of a user without a port) through write(2). Everything else,
// a plain file, a disk, a terminal, /dev/null or /dev/port, is refused untouched.
enum class PortNodeKind { ParallelPort, Fifo, NotAPort };

// The code a cycle reports for a path that is not a port: the one for "the device does not
// understand the port requests".
constexpr int kNotAPort = 1;

PortNodeKind PortNodeKindOf(mode_t mode, dev_t rdev);
inline PortNodeKind PortNodeKindOf(const struct stat& st) {
    return PortNodeKindOf(st.st_mode, st.st_rdev);
}

// What one panel's hold is on: the device (major and minor) for a ppdev node, so that two
// nodes of one port (a container's own /dev, a second mknod) are one port; the file itself for
// a FIFO. Used as a lock file's name, so it is made of [a-z0-9.-] only.
std::string PortHoldKey(const struct stat& st);

// For the command line: how to name what an existing path is if it can never be a port ("eine
// gewöhnliche Datei", "ein Verzeichnis", "ein Blockgerät", "ein Socket"), or nullptr when it
// is missing or could be one (a character device or a FIFO, which the cycle judges itself).
const char* NeverAPort(const std::string& path);
