// SPDX-License-Identifier: MIT
// Windows itself reads the icon: pio-out.ico loaded from the file, and the MAINICON resource
// of pio-out.exe, at each size Windows asks for, show the icon built into the program pixel
// for pixel, transparent where it is transparent.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "art/Artwork.h"

namespace pio {

namespace {

// The pixels of one bitmap of an icon as 0x00RRGGBB, rows top to bottom.
std::vector<std::uint32_t> Pixels(HBITMAP bitmap, int size) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size * size));
    HDC dc = GetDC(nullptr);
    const int rows =
        GetDIBits(dc, bitmap, 0, static_cast<UINT>(size), pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(rows, size);
    for (std::uint32_t& p : pixels) p &= 0xFFFFFFu;
    return pixels;
}

// Compares a loaded icon with the built-in one enlarged to `size` without smoothing.
void ExpectShowsTheIcon(HICON icon, int size) {
    ASSERT_NE(icon, nullptr) << "size " << size << ", error " << GetLastError();
    ICONINFO parts{};
    ASSERT_TRUE(GetIconInfo(icon, &parts));
    ASSERT_NE(parts.hbmColor, nullptr) << "a monochrome icon";
    BITMAP bm{};
    GetObject(parts.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, size);
    EXPECT_EQ(bm.bmHeight, size);
    const std::vector<std::uint32_t> colour = Pixels(parts.hbmColor, size);
    const std::vector<std::uint32_t> mask = Pixels(parts.hbmMask, size);
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);

    const artwork::Icon want = artwork::ProgramIcon();
    int mismatches = 0;
    for (int y = 0; y < size && mismatches < 5; ++y)
        for (int x = 0; x < size && mismatches < 5; ++x) {
            const std::uint32_t w = want.argb[static_cast<std::size_t>(
                (y * want.height / size) * want.width + x * want.width / size)];
            const auto i = static_cast<std::size_t>(y * size + x);
            const bool transparent = (w >> 24) == 0;
            // A transparent pixel has a white mask (the screen shows through); an opaque
            // one a black mask and its own colour.
            if (transparent != (mask[i] == 0xFFFFFFu) ||
                (!transparent && colour[i] != (w & 0xFFFFFFu))) {
                ADD_FAILURE() << "size " << size << " at " << x << "," << y << ": colour "
                              << std::hex << colour[i] << " mask " << mask[i] << ", expected "
                              << (transparent ? std::string("transparent")
                                              : std::to_string(w & 0xFFFFFFu));
                ++mismatches;
            }
        }
}

class IconResourceTest : public ::testing::TestWithParam<int> {};

TEST_P(IconResourceTest, IcoFileAsWindowsLoadsIt) {
    const std::wstring path = std::wstring(PIO_ICO_PATH);
    HICON icon = static_cast<HICON>(
        LoadImageW(nullptr, path.c_str(), IMAGE_ICON, GetParam(), GetParam(), LR_LOADFROMFILE));
    ExpectShowsTheIcon(icon, GetParam());
    if (icon) DestroyIcon(icon);
}

TEST_P(IconResourceTest, ProgramCarriesItAsMainIcon) {
    const std::wstring path = std::wstring(PIO_EXE_PATH);
    HMODULE exe = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr) << "error " << GetLastError();
    EXPECT_NE(FindResourceW(exe, L"MAINICON", MAKEINTRESOURCEW(14)), nullptr);  // RT_GROUP_ICON
    HICON icon =
        static_cast<HICON>(LoadImageW(exe, L"MAINICON", IMAGE_ICON, GetParam(), GetParam(), 0));
    ExpectShowsTheIcon(icon, GetParam());
    if (icon) DestroyIcon(icon);
    FreeLibrary(exe);
}

INSTANTIATE_TEST_SUITE_P(Sizes, IconResourceTest, ::testing::Values(32, 48, 64));

}  // namespace

}  // namespace pio
