// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

namespace pio {

// Bytes the C runtime's heap has handed out and not taken back; the soak test compares two
// readings to see memory growth. Each system's runtime has its own way to tell, so the
// build picks one source file (linux/ or win32/).
std::size_t HeapBytesInUse();

}  // namespace pio
