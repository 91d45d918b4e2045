// SPDX-License-Identifier: MIT
#include "app/ApplicationTitle.h"

#include <cctype>
#include <cstddef>
#include <string>

namespace pio {

std::string ModuleName(const std::string& programPath) {
    const auto slash = programPath.find_last_of("/\\");
    return slash == std::string::npos ? programPath : programPath.substr(slash + 1);
}

std::string ApplicationTitle(const std::string& programPath) {
    std::string title = ModuleName(programPath);
    title = title.substr(0, title.find('.'));
    for (std::size_t i = 1; i < title.size(); ++i) {
        const auto c = static_cast<unsigned char>(title[i]);
        if (c < 0x80) title[i] = static_cast<char>(std::tolower(c));
    }
    return title;
}

}  // namespace pio
