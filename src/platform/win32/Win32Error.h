// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "toolbox/Exception.h"

namespace pio {

// A Windows call that failed while the program starts (a window class or window that could
// not be made). Reported by the start-up failure box with the system's own text.
class Win32Error final : public Exception {
public:
    // `what` names the step; the text of GetLastError() is appended.
    explicit Win32Error(const std::string& what);
    const char* kind() const override { return "EOSError"; }

private:
    static std::string Describe(const std::string& what);
};

}  // namespace pio
