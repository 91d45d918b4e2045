// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace pio {

// The panel's credit line for the port in use: "PIO Out · 6 Kanäle an LPT2". A port name
// too wide for the 315 px label (a long device path) keeps its end, where the device's own
// name is, behind "…": as many characters as fit, by their widths in the label's font.
std::string CreditLine(const std::string& portName);

// The line for a device the program names itself ("USB-Relais ABCDE", "gpiochip0"): never
// cut. The widths above are upper bounds for any name a user may type, and would cut
// "USB-Relais ABCDE" although it takes some 130 px in the label's font (147 are free).
std::string DeviceCreditLine(const std::string& deviceName);

}  // namespace pio
