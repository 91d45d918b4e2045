// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace pio {

// The shared code speaks UTF-8; Windows' wide-character APIs want UTF-16.
class WideText final {
public:
    static std::wstring FromUtf8(const std::string& utf8);
    static std::string ToUtf8(const std::wstring& wide);
};

}  // namespace pio
