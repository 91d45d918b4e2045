// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

#include "output/EInOutError.h"
#include "output/PortWriter.h"

namespace pio {

// Runs one port cycle and returns the code of the EInOutError it threw, or 0 if none.
inline int CycleCode(PortWriter& writer, std::int32_t word, std::string* message = nullptr) {
    try {
        writer.write(word);
    } catch (const EInOutError& e) {
        if (message != nullptr) *message = e.what();
        return e.code();
    }
    return 0;
}

}  // namespace pio
