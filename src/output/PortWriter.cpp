// SPDX-License-Identifier: MIT
#include "output/PortWriter.h"

#include <cstdint>

#include "output/EInOutError.h"
#include "output/PortByte.h"
#include "output/PortDevice.h"

namespace pio {

namespace {

// The device took the write call but not the byte.
constexpr int kShortWrite = 101;

}  // namespace

PortWriter::PortWriter(PortDevice& device) : device_(device) {}

void PortWriter::write(std::int32_t word) {
    if (const int code = device_.hold(); code != 0) throw EInOutError(code);

    // Nothing was opened when open fails, so there is nothing to close.
    if (const int code = device_.open(); code != 0) throw EInOutError(code);

    int written = 0;
    int code = device_.write(PortByte(word), written);
    if (code == 0 && written != 1) code = kShortWrite;
    if (code != 0) {
        // Do not leave the device open; the write error is the one the user needs to see,
        // so whatever close says on top of it is dropped.
        device_.close();
        throw EInOutError(code);
    }

    if (const int closeCode = device_.close(); closeCode != 0) throw EInOutError(closeCode);
}

void PortWriter::release() { device_.letGo(); }

}  // namespace pio
