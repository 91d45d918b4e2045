// SPDX-License-Identifier: MIT
#pragma once

namespace pio {

// Turns an errno value into the program's I/O error code (the codes EInOutError knows).
//
// The messages were written for another platform's error numbers, and Linux errno values
// overlap them with different meanings (EIO is 5, which would read "Dateizugriff
// verweigert"), so errno is never passed through as a code. Every place that reports an
// errno goes through this one function.
int IoErrorCodeFromErrno(int err);

}  // namespace pio
