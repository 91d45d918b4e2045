#pragma once

#include <cstdint>

// Where the port byte goes. PortWriter drives one open/write/close cycle per output word, so
// an implementation holds a handle only between open() and close().
class PortDevice {
public:
    virtual ~PortDevice() = default;
    // Each returns 0 on success or an I/O error code (the codes of EInOutError).
    virtual int open() = 0;
    virtual int write(std::uint8_t byte, int& written) = 0;  // `written` preset to 0 by the caller
    virtual int close() = 0;
};
