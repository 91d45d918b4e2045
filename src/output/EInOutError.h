// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "toolbox/Exception.h"

namespace pio {

// The German message shown for an I/O error code; codes without a message of their own read
// "I/O-Fehler <code>".
std::string IoErrorMessage(int code);

// An output cycle to the port failed. code() is the error code (see IoErrorCode.h for how
// errno becomes one), what() its German message.
class EInOutError final : public Exception {
public:
    explicit EInOutError(int code);

    int code() const { return code_; }
    const char* kind() const override { return "EInOutError"; }

private:
    int code_;
};

}  // namespace pio
