// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace pio {

// The calls of Windows' HID API (SetupAPI and hid.dll) that the USB relay device makes,
// behind one seam, so that its tests drive it with fake boards. Failures are reported as the
// Windows error code (GetLastError), never as a success: a call that failed without one
// reports ERROR_GEN_FAILURE.
class WinHidCalls {
public:
    using Device = void*;  // an open HID device (a HANDLE); nullptr for none

    virtual ~WinHidCalls() = default;
    // The device interface paths of the HID devices present now.
    virtual std::vector<std::wstring> Paths() = 0;
    // Opens a device for feature reports, or returns nullptr with `error` set.
    virtual Device Open(const std::wstring& path, unsigned long& error) = 0;
    virtual void Close(Device device) = 0;
    // Each returns 0 or the error code.
    virtual unsigned long Attributes(Device device, unsigned short& vendor,
                                     unsigned short& product) = 0;
    virtual unsigned long Product(Device device, std::wstring& name) = 0;
    // `report` starts with the report id, as HidD_GetFeature and HidD_SetFeature want it.
    virtual unsigned long GetFeature(Device device, unsigned char* report, unsigned long size) = 0;
    virtual unsigned long SetFeature(Device device, unsigned char* report, unsigned long size) = 0;
};

}  // namespace pio
