// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace pio {

// The whole state of the six channels: bit 0 is channel 1 ... bit 5 channel 6. Shared by
// every handler of the panel; reset once when the main window is created.
extern std::int32_t outword;
// Direction of the running light: true moves the lit bit towards channel 6.
extern bool riderUp;
// Shortest load probe seen so far, in ms. Never reset after start.
extern std::int32_t minTime;

constexpr std::int32_t kMinTimeStart = 5000;

// outword 0, riderUp true, minTime 5000, in this order.
void ResetOutput();

// Channel c (1..6) toggled by adding or subtracting its bit.
std::int32_t ToggledChannel(std::int32_t word, int channel);
void ToggleChannel(int channel);

// One step of the running light on (word, up); both are updated.
void RiderStep(std::int32_t& word, bool& up);
void RiderStep();

// Bar graph of a lateness in ms: 0, 1, 3, 7, 15, 31 or 63.
std::int32_t LoadBars(std::int32_t lateness);

}  // namespace pio
