// SPDX-License-Identifier: MIT
#include "output/WinHidRelayDevice.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "output/RelayReport.h"

namespace pio {

namespace {

// Returned when write is called without a hold (as by the other devices).
constexpr int kNotOpen = 103;
constexpr int kNotFound = ERROR_FILE_NOT_FOUND;

constexpr unsigned short kVendor = 0x16c0;
constexpr unsigned short kProduct = 0x05df;
constexpr unsigned long kReportSize = RelayReport::kSize;

// A board that went away answers with one of these; they all mean it is not there.
int Code(unsigned long error) {
    switch (error) {
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_PATH_NOT_FOUND: return kNotFound;
        // Opened by another program for itself alone: busy, as a port in use.
        case ERROR_SHARING_VIOLATION: return ERROR_ACCESS_DENIED;
        default: return static_cast<int>(error);
    }
}

// N of a board's product name (see RelayReport::Relays); wine hands over the name that Linux
// gives the board, with the maker's name in front. Only ASCII can match.
int RelayCount(const std::wstring& name) {
    std::string ascii;
    for (const wchar_t c : name) ascii += c > 0 && c < 0x80 ? static_cast<char>(c) : '?';
    return RelayReport::Relays(ascii);
}

// Whether an interface path is of a relay board: Windows names vendor and product in it
// ("\\?\hid#vid_16c0&pid_05df#..."), so no other device (keyboards refuse to be opened) is
// touched.
bool RelayPath(std::wstring path) {
    for (wchar_t& c : path)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return path.find(L"vid_16c0&pid_05df") != std::wstring::npos;
}

}  // namespace

WinHidRelayDevice::WinHidRelayDevice(WinHidCalls& calls, std::string serial)
    : calls_(calls), serial_(std::move(serial)) {}

WinHidRelayDevice::~WinHidRelayDevice() { Release(); }

int WinHidRelayDevice::Read(WinHidCalls::Device device, Board& board) {
    unsigned short vendor = 0;
    unsigned short product = 0;
    if (calls_.Attributes(device, vendor, product) != 0 || vendor != kVendor || product != kProduct)
        return kNotFound;
    std::wstring name;
    if (calls_.Product(device, name) != 0 || (board.relays = RelayCount(name)) == 0)
        return kNotFound;
    RelayReport::Bytes report{};
    if (const unsigned long error = calls_.GetFeature(device, report.data(), kReportSize);
        error != 0)
        return Code(error);
    board.serial = RelayReport::Serial(report);
    board.state = RelayReport::State(report);
    board.device = device;
    return 0;
}

int WinHidRelayDevice::Find(Board& board) {
    int firstError = 0;  // a board we may not open is reported rather than "not found"
    for (const std::wstring& path : calls_.Paths()) {
        if (!RelayPath(path)) continue;
        unsigned long error = 0;
        WinHidCalls::Device device = calls_.Open(path, error);
        if (!device) {
            if (firstError == 0) firstError = Code(error);
            continue;
        }
        Board found;
        if (Read(device, found) == 0 && (serial_.empty() || found.serial == serial_)) {
            board = std::move(found);
            return 0;
        }
        calls_.Close(device);
    }
    return firstError != 0 ? firstError : kNotFound;
}

int WinHidRelayDevice::TakeMutex(const std::string& serial) {
    std::wstring name = L"Local\\pio-out-USB-";
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    for (unsigned char c : serial) {
        name += kHex[c >> 4];
        name += kHex[c & 0xF];
    }
    HANDLE m = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!m) return static_cast<int>(GetLastError());
    mutex_ = WinDeviceHandle(m);
    switch (WaitForSingleObject(m, 0)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED: held_ = true; return 0;  // a panel that crashed left it
        case WAIT_TIMEOUT: mutex_.Close(); return kPortHeldByAnotherPanel;
        default: mutex_.Close(); return static_cast<int>(ERROR_GEN_FAILURE);
    }
}

int WinHidRelayDevice::hold() {
    if (board_.device) return 0;
    Board board;
    if (const int code = Find(board); code != 0) return code;
    if (const int code = TakeMutex(board.serial); code != 0) {
        calls_.Close(board.device);
        return code;
    }
    board_ = std::move(board);
    return 0;
}

void WinHidRelayDevice::letGo() { Release(); }

void WinHidRelayDevice::Release() {
    if (board_.device) calls_.Close(std::exchange(board_.device, nullptr));
    if (held_) ReleaseMutex(mutex_.Get());
    held_ = false;
    mutex_.Close();
}

int WinHidRelayDevice::open() {
    if (!board_.device) return kNotOpen;
    unsigned short vendor = 0;
    unsigned short product = 0;
    if (calls_.Attributes(board_.device, vendor, product) != 0) {
        Release();
        return kNotFound;  // unplugged: whatever the driver said, the board is gone
    }
    return 0;
}

int WinHidRelayDevice::write(std::uint8_t byte, int& written) {
    if (!board_.device) return kNotOpen;
    bool on = false;
    while (const int relay = RelayReport::NextChange(byte, board_.state, board_.relays, on)) {
        RelayReport::Bytes report = RelayReport::Switch(relay, on);
        if (const unsigned long error =
                calls_.SetFeature(board_.device, report.data(), kReportSize);
            error != 0) {
            Release();  // found and read anew on the next cycle
            return Code(error);
        }
        board_.state = RelayReport::With(board_.state, relay, on);
    }
    written = 1;
    return 0;
}

int WinHidRelayDevice::close() { return 0; }

std::string WinHidRelayDevice::Probe() {
    std::string shown = board_.serial;
    if (!board_.device) {
        Board board;
        if (Find(board) != 0) return "";
        calls_.Close(board.device);
        shown = board.serial;
    }
    return RelayReport::Shown(shown);  // it ends up on the panel
}

}  // namespace pio
