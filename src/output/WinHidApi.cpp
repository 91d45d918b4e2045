// SPDX-License-Identifier: MIT
#include "output/WinHidApi.h"

#include <windows.h>
// After windows.h, which they build on. MinGW's hidsdi.h declares C functions without
// saying so to C++.
extern "C" {
#include <hidsdi.h>
}
#include <setupapi.h>

#include <vector>

namespace pio {

namespace {

unsigned long LastError() {
    const DWORD err = GetLastError();
    return err != 0 ? err : ERROR_GEN_FAILURE;
}

}  // namespace

std::vector<std::wstring> WinHidApi::Paths() {
    std::vector<std::wstring> paths;
    GUID hid;
    HidD_GetHidGuid(&hid);
    HDEVINFO set =
        SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return paths;
    SP_DEVICE_INTERFACE_DATA item{};
    item.cbSize = sizeof item;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid, i, &item); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &item, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
        // The detail is a struct of variable length: a buffer of the size asked for, aligned
        // for the struct.
        std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (SetupDiGetDeviceInterfaceDetailW(set, &item, detail, size, nullptr, nullptr))
            paths.emplace_back(detail->DevicePath);
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

WinHidCalls::Device WinHidApi::Open(const std::wstring& path, unsigned long& error) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = LastError();
        return nullptr;
    }
    return h;
}

void WinHidApi::Close(Device device) { CloseHandle(device); }

unsigned long WinHidApi::Attributes(Device device, unsigned short& vendor,
                                    unsigned short& product) {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!HidD_GetAttributes(device, &attributes)) return LastError();
    vendor = attributes.VendorID;
    product = attributes.ProductID;
    return 0;
}

unsigned long WinHidApi::Product(Device device, std::wstring& name) {
    wchar_t buffer[128] = {};  // the longest a USB string descriptor can be, and its end
    if (!HidD_GetProductString(device, buffer, sizeof buffer - sizeof buffer[0]))
        return LastError();
    name = buffer;
    return 0;
}

unsigned long WinHidApi::GetFeature(Device device, unsigned char* report, unsigned long size) {
    return HidD_GetFeature(device, report, size) ? 0 : LastError();
}

unsigned long WinHidApi::SetFeature(Device device, unsigned char* report, unsigned long size) {
    return HidD_SetFeature(device, report, size) ? 0 : LastError();
}

}  // namespace pio
