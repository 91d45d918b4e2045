// SPDX-License-Identifier: MIT
#include "output/WinLptDevice.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace pio {

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

// A named pipe that stands in for the port, as a FIFO does under wine: the server's side.
// Every open of the device is a client of one of its instances.
class PipeStandIn {
public:
    explicit PipeStandIn(const char* what, DWORD buffer = 4096)
        : name_(std::string("\\\\.\\pipe\\pio-out-test-") + what + "-" +
                std::to_string(GetCurrentProcessId())) {
        for (HANDLE& h : instances_) {
            h = CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                 PIPE_UNLIMITED_INSTANCES, buffer, buffer, 0, nullptr);
        }
    }
    ~PipeStandIn() {
        for (HANDLE h : instances_)
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    bool ok() const {
        for (HANDLE h : instances_)
            if (h == INVALID_HANDLE_VALUE) return false;
        return true;
    }
    const std::string& name() const { return name_; }
    // Everything any instance has received.
    std::string Received() const {
        std::string all;
        for (HANDLE h : instances_) {
            DWORD waiting = 0;
            while (PeekNamedPipe(h, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0) {
                char buf[64];
                DWORD n = 0;
                if (!ReadFile(h, buf, sizeof buf, &n, nullptr) || n == 0) break;
                all.append(buf, n);
            }
        }
        return all;
    }

private:
    std::string name_;
    HANDLE instances_[4] = {};
};

TEST(WinLptDeviceTest, AFileNamedAsThePortIsRefusedUntouched) {
    TempFile port("pio-lpt-");
    port.Create();
    {
        HANDLE h = CreateFileA(port.path().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        WriteFile(h, "IMPORTANT", 9, &n, nullptr);
        CloseHandle(h);
    }
    WinLptDevice device(port.path());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(device.open(), ERROR_INVALID_FUNCTION);  // "I/O-Fehler 1"
        int written = 0;
        EXPECT_NE(device.write(0x84, written), 0) << "a refused open leaves nothing to write";
        EXPECT_EQ(device.close(), 0);
    }
    EXPECT_EQ(port.Contents(), "IMPORTANT");
}

TEST(WinLptDeviceTest, OneCycleWritesExactlyTheOneByteToAPipe) {
    PipeStandIn port("one");
    ASSERT_TRUE(port.ok());
    WinLptDevice device(port.name());
    ASSERT_EQ(device.open(), 0);
    int written = 0;
    EXPECT_EQ(device.write(0x84, written), 0);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(device.close(), 0);
    EXPECT_EQ(port.Received(), std::string("\x84", 1));
}

struct FileTypeCase {
    DWORD type;
    WinLptDevice::Kind kind;
};

class WinLptFileType : public ::testing::TestWithParam<FileTypeCase> {};

TEST_P(WinLptFileType, OnlyCharacterDevicesAndPipesAreWritten) {
    EXPECT_EQ(WinLptDevice::KindOf(GetParam().type), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Types, WinLptFileType,
    ::testing::Values(FileTypeCase{FILE_TYPE_CHAR, WinLptDevice::Kind::Port},
                      FileTypeCase{FILE_TYPE_PIPE, WinLptDevice::Kind::Pipe},
                      FileTypeCase{FILE_TYPE_DISK, WinLptDevice::Kind::NotAPort},
                      FileTypeCase{FILE_TYPE_REMOTE, WinLptDevice::Kind::NotAPort},
                      FileTypeCase{FILE_TYPE_UNKNOWN, WinLptDevice::Kind::NotAPort}));

TEST(WinLptDeviceTest, AMissingPortGivesCodeTwo) {
    TempFile port("pio-lpt-missing-");
    WinLptDevice device(port.path());
    EXPECT_EQ(device.open(), 2);              // "Datei nicht gefunden"
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
    PipeStandIn port("again");
    ASSERT_TRUE(port.ok());
    WinLptDevice device(port.name());
    ASSERT_EQ(device.open(), 0);
    ASSERT_EQ(device.open(), 0);
    int written = 0;
    EXPECT_EQ(device.write(0x10, written), 0);
    EXPECT_EQ(device.close(), 0);
    EXPECT_EQ(port.Received(), std::string("\x10", 1));
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

}  // namespace pio
