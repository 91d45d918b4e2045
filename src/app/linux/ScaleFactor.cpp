// SPDX-License-Identifier: MIT
#include "app/linux/ScaleFactor.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/CommandLine.h"

namespace pio {

bool ScaleFactor::FactorUsable(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    // Read before Qt sets the locale from the environment: "." is the decimal point, as in Qt.
    const double factor = std::strtod(begin, &end);
    if (end == begin) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (static_cast<std::size_t>(end - begin) != text.size()) return false;
    return std::isfinite(factor) && factor >= kLeast && factor <= kMost;
}

bool ScaleFactor::Usable(const std::string& variable, const std::string& value) {
    if (value.empty()) return true;
    if (variable != "QT_SCREEN_SCALE_FACTORS") return FactorUsable(value);
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(';', start);
        if (end == std::string::npos) end = value.size();
        std::string entry = value.substr(start, end - start);
        const std::size_t eq = entry.rfind('=');
        if (eq != std::string::npos) entry.erase(0, eq + 1);
        if (!entry.empty() && !FactorUsable(entry)) return false;
        start = end + 1;
    }
    return true;
}

std::string ScaleFactor::IgnoredLine(const std::string& variable, const std::string& value) {
    return "pio-out: " + variable + " " + CommandLine::Quoted(value) +
           " wird nicht beachtet (erlaubt: 0.25 bis 8)\n";
}

}  // namespace pio
