// SPDX-License-Identifier: MIT
#pragma once

#include "output/WinHidCalls.h"

namespace pio {

// WinHidCalls as Windows makes them: SetupAPI lists the HID interfaces, hid.dll (a system
// library, nothing beside the .exe) talks to the device.
class WinHidApi final : public WinHidCalls {
public:
    std::vector<std::wstring> Paths() override;
    Device Open(const std::wstring& path, unsigned long& error) override;
    void Close(Device device) override;
    unsigned long Attributes(Device device, unsigned short& vendor,
                             unsigned short& product) override;
    unsigned long Product(Device device, std::wstring& name) override;
    unsigned long GetFeature(Device device, unsigned char* report, unsigned long size) override;
    unsigned long SetFeature(Device device, unsigned char* report, unsigned long size) override;
};

}  // namespace pio
