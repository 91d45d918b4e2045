// SPDX-License-Identifier: MIT
#include "output/WinLptDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// A file in the temporary folder that stands in for the port; removed afterwards.
class TempFile {
public:
    explicit TempFile(const char* name) {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        path_ = std::string(dir) + name + std::to_string(GetCurrentProcessId());
    }
    ~TempFile() { DeleteFileA(path_.c_str()); }
    void Create() const {
        HANDLE h = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    std::string Contents() const {
        HANDLE h = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        char buf[16];
        DWORD n = 0;
        ReadFile(h, buf, sizeof buf, &n, nullptr);
        CloseHandle(h);
        return std::string(buf, n);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::wstring UniqueHoldName(const wchar_t* what) {
    return std::wstring(L"Local\\pio-out-test-") + what + L"-" +
           std::to_wstring(GetCurrentProcessId());
}

TEST(WinLptDeviceTest, OneCycleWritesExactlyTheOneByte) {
    TempFile port("pio-lpt-");
    port.Create();
    WinLptDevice device(port.path());
    ASSERT_EQ(device.open(), 0);
    int written = 0;
    EXPECT_EQ(device.write(0x84, written), 0);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(device.close(), 0);
    EXPECT_EQ(port.Contents(), std::string("\x84", 1));
}

TEST(WinLptDeviceTest, EveryCycleStartsAfreshAtTheDevice) {
    TempFile port("pio-lpt-");
    port.Create();
    WinLptDevice device(port.path());
    for (const std::uint8_t byte : {0x04, 0x10}) {
        ASSERT_EQ(device.open(), 0);
        int written = 0;
        ASSERT_EQ(device.write(byte, written), 0);
        ASSERT_EQ(device.close(), 0);
    }
    // Opened anew for every byte, so a file stand-in only ever holds the last one.
    EXPECT_EQ(port.Contents(), std::string("\x10", 1));
}

TEST(WinLptDeviceTest, AMissingPortGivesCodeTwo) {
    TempFile port("pio-lpt-missing-");
    WinLptDevice device(port.path());
    EXPECT_EQ(device.open(), 2);  // "Datei nicht gefunden"
    EXPECT_EQ(port.Contents(), "<missing>");  // OPEN_EXISTING: nothing was created
}

TEST(WinLptDeviceTest, APortThatCannotBeOpenedForWritingGivesCodeFive) {
    // A folder cannot be opened as a file, and Windows says so with access denied (a
    // read-only file would do as well, but not for an administrator under wine).
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    WinLptDevice device(dir);
    EXPECT_EQ(device.open(), 5);  // "Dateizugriff verweigert"
}

TEST(WinLptDeviceTest, WritingWithoutOpeningFailsAndClosingIsHarmless) {
    WinLptDevice device("LPT9-never-opened");
    int written = 0;
    EXPECT_NE(device.write(0x04, written), 0);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(device.close(), 0);
}

TEST(WinLptDeviceTest, OpeningAgainClosesTheHandleLeftOpen) {
    TempFile port("pio-lpt-");
    port.Create();
    WinLptDevice device(port.path());
    ASSERT_EQ(device.open(), 0);
    ASSERT_EQ(device.open(), 0);
    EXPECT_EQ(device.close(), 0);
    // With a handle leaked, FILE_SHARE_READ would refuse this writer.
    HANDLE h = CreateFileA(port.path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

TEST(WinLptDeviceTest, APortHeldByAnotherPanelGivesCode33UntilItLetsGo) {
    const std::wstring name = UniqueHoldName(L"held");
    WinLptDevice mine("LPT1", name);
    WinLptDevice other("LPT1", name);
    // Another panel is another thread here: a mutex is held per thread.
    std::thread([&] { EXPECT_EQ(other.hold(), 0); }).join();
    // The thread ended holding it: Windows hands an abandoned mutex on.
    EXPECT_EQ(mine.hold(), 0);
    std::thread([&] {
        WinLptDevice second("LPT1", name);
        EXPECT_EQ(second.hold(), kPortHeldByAnotherPanel);
    }).join();
    EXPECT_EQ(mine.hold(), 0);  // holding it again is no new claim
    mine.letGo();
    int code = -1;
    std::thread([&] {
        WinLptDevice third("LPT1", name);
        code = third.hold();
        third.letGo();
    }).join();
    EXPECT_EQ(code, 0);
}

TEST(WinLptDeviceTest, LettingGoTwiceOrWithoutHoldingIsHarmless) {
    WinLptDevice device("LPT1", UniqueHoldName(L"letgo"));
    device.letGo();
    EXPECT_EQ(device.hold(), 0);
    device.letGo();
    device.letGo();
    EXPECT_EQ(device.hold(), 0);
}

}  // namespace
