// SPDX-License-Identifier: MIT
#include "support/HeapUse.h"

#include <malloc.h>

namespace pio {

// The Windows C runtime keeps no running total; walking its heap and adding up the blocks in
// use gives the same figure as glibc's count (block sizes as requested, plus alignment).
std::size_t HeapBytesInUse() {
    std::size_t used = 0;
    _HEAPINFO entry{};
    entry._pentry = nullptr;
    while (_heapwalk(&entry) == _HEAPOK)
        if (entry._useflag == _USEDENTRY) used += entry._size;
    return used;
}

}  // namespace pio
