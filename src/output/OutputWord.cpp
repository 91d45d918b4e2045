// SPDX-License-Identifier: MIT
#include "output/OutputWord.h"

#include <cstdint>

#include "toolbox/PowerOfTwo.h"

namespace pio {

std::int32_t outword = 0;
bool riderUp = true;
std::int32_t minTime = kMinTimeStart;

void ResetOutput() {
    outword = 0;
    riderUp = true;
    minTime = kMinTimeStart;
}

std::int32_t ToggledChannel(std::int32_t word, int channel) {
    const std::int32_t bit = PowerOfTwo(channel - 1);
    // Add or subtract rather than exclusive-or: the test makes both the same for one bit.
    return (word & bit) == bit ? word - bit : word + bit;
}

void ToggleChannel(int channel) { outword = ToggledChannel(outword, channel); }

void RiderStep(std::int32_t& word, bool& up) {
    word = up ? word * 2 : word / 2;
    if (up && word >= 32) up = false;
    if (!up && word <= 1) {
        up = true;
        word = 1;
    }
}

void RiderStep() { RiderStep(outword, riderUp); }

std::int32_t LoadBars(std::int32_t x) {
    std::int32_t bars = 0;
    if (x > 0) bars += 1;
    if (x > 10) bars += 2;
    if (x > 30) bars += 4;
    if (x > 90) bars += 8;
    if (x > 270) bars += 16;
    if (x > 900) bars += 32;
    return bars;
}

}  // namespace pio
