// SPDX-License-Identifier: MIT
#include "app/StartupFailure.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/ApplicationTitle.h"

namespace pio {

std::string StartupFailureText(const std::string& kind, const std::string& programPath,
                               std::uintptr_t address, const std::string& message) {
    const std::string module = ModuleName(programPath).substr(0, 63);
    char hex[24];
    std::snprintf(hex, sizeof hex, "%08llX", static_cast<unsigned long long>(address));
    std::string text =
        "Exception " + kind + " im Modul " + module + " bei " + hex + ".\n" + message;
    if (!message.empty() && message.back() != '.') text += '.';
    return text;
}

}  // namespace pio
