// SPDX-License-Identifier: MIT
#pragma once

#include "output/DeviceCalls.h"

namespace pio {

// DeviceCalls as the system makes them. Calls interrupted by a signal are restarted, as the
// ppdev device does: the application's signal handlers are not ours to know.
class SystemDeviceCalls final : public DeviceCalls {
public:
    int Open(const std::string& path, int flags) override;
    int Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    std::vector<std::string> List(const std::string& directory) override;
    std::optional<std::string> ReadText(const std::string& path) override;
};

}  // namespace pio
