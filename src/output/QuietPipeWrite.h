// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>

#include <cstddef>

// write(2) to a pipe or FIFO whose reader may have left: returns -1 with EPIPE then, and the
// SIGPIPE the kernel sends along is taken back before it reaches the process, whose default
// action would end it. The program does not depend on SIGPIPE being ignored elsewhere.
ssize_t QuietPipeWrite(int fd, const void* data, std::size_t size);
