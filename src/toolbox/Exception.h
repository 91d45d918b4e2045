// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace pio {

// Base of the program's own errors. kind() is the class name that the start-up failure
// report prints as the error's kind.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    virtual const char* kind() const { return "Exception"; }
};

}  // namespace pio
