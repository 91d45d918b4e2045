// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

namespace pio {

// A few descriptors of /dev/null held back for the moment the program has run out of them.
// When the process limit is reached, Qt can map an error box but not draw it: the fonts and
// the icon theme are files it has to open. Giving the reserve up just before the box opens
// lets the box be drawn; taking it back afterwards keeps it for the next time.
//
// Taking it back never starves the program: a refill leaves `spare` descriptors free (the
// port cycle needs one every 10 ms), so when descriptors are short it holds fewer than
// `count`, and gets the rest back at a later refill once descriptors are free again.
//
// Linux only: the descriptors are real ones, opened with O_CLOEXEC so a child never sees them.
class DescriptorReserve final {
public:
    DescriptorReserve(int count, int spare);
    ~DescriptorReserve();
    DescriptorReserve(const DescriptorReserve&) = delete;
    DescriptorReserve& operator=(const DescriptorReserve&) = delete;

    // Opens descriptors until `count` are held or only `spare` would be left free; returns
    // how many are held.
    int Fill();
    // Closes them all: from here on the program can open that many files more.
    void Release();
    int Held() const { return static_cast<int>(fds_.size()); }
    int Count() const { return count_; }

private:
    int count_;
    int spare_;
    std::vector<int> fds_;
};

}  // namespace pio
