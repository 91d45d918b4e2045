// SPDX-License-Identifier: MIT
#include "support/HeapUse.h"

#include <malloc.h>

#include <cstddef>

namespace pio {

// glibc keeps the count itself: the bytes in allocated chunks.
std::size_t HeapBytesInUse() { return mallinfo2().uordblks; }

}  // namespace pio
