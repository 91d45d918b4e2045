// SPDX-License-Identifier: MIT
// Makes the one mistake named by its argument, for the sanitizers to report.
#include <cstdlib>
#include <cstring>
#include <limits>

// The leak's only pointer; a global the compiler must keep writing to, so neither the
// allocation nor the store that loses it can be left out.
void* volatile g_lost = nullptr;

int main(int argc, char** argv) {
    const char* what = argc > 1 ? argv[1] : "";
    volatile int n = argc + 7;  // 9 when called with one argument; unknown to the compiler
    if (std::strcmp(what, "address") == 0) {
        char* p = new char[8];
        p[n] = 1;  // past the end
        delete[] p;
    } else if (std::strcmp(what, "undefined") == 0) {
        volatile int big = std::numeric_limits<int>::max();
        return big + n > 0 ? 0 : 3;  // signed overflow
    } else if (std::strcmp(what, "leak") == 0) {
        g_lost = std::malloc(64);
        g_lost = nullptr;  // the only pointer is gone
    }
    return 0;
}
