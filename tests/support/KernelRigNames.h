// SPDX-License-Identifier: MIT
// The kernel rig's probe (tests/kernel/PortCycleProbe.cpp) names the ppdev device without the
// namespace the code has since been given; it is compiled with this header in front.
#pragma once

#include "output/PpdevDevice.h"

using pio::PpdevDevice;
