// SPDX-License-Identifier: MIT
#include "output/HidRelayDevice.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "output/DeviceCalls.h"
#include "output/IoErrorCode.h"
#include "output/PortNode.h"
#include "output/RelayReport.h"

namespace pio {

namespace {

// Returned when write is called without a hold; the same code the ppdev device uses.
constexpr int kNotOpen = 103;

constexpr std::uint16_t kVendor = 0x16c0;
constexpr std::uint16_t kProduct = 0x05df;
constexpr const char* kHidId = "0003:000016C0:000005DF";  // USB, vendor, product
constexpr const char* kSysfs = "/sys/class/hidraw";

// hidraw puts the report id in front of the data in both directions.
constexpr std::size_t kReportSize = RelayReport::kSize;

// The value of `key` in a uevent file ("KEY=value" lines), or empty.
std::string UeventValue(const std::string& text, const std::string& key) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        if (text.compare(at, key.size() + 1, key + "=") == 0)
            return text.substr(at + key.size() + 1, end - at - key.size() - 1);
        at = end + 1;
    }
    return "";
}

// hidraw nodes in the order of their numbers, so "the first board" is the same every time.
std::vector<std::string> HidrawNames(DeviceCalls& calls) {
    std::vector<std::string> names;
    for (const std::string& name : calls.List(kSysfs))
        if (name.compare(0, 6, "hidraw") == 0 && name.size() > 6) names.push_back(name);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::strtol(a.c_str() + 6, nullptr, 10) < std::strtol(b.c_str() + 6, nullptr, 10);
    });
    return names;
}

// The lock file's name for a board: its serial in hex, which any bytes may be.
std::string HoldKey(const std::string& serial) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string key = "usbrelay-";
    for (unsigned char c : serial) {
        key += kHex[c >> 4];
        key += kHex[c & 0xF];
    }
    return key;
}

// The relays of the board behind a node named on the command line, or 0 when it is no relay
// board at all; negative: -errno of the request that failed.
int RelaysOf(DeviceCalls& calls, int fd) {
    hidraw_devinfo info{};
    if (const int result = calls.Ioctl(fd, HIDIOCGRAWINFO, &info); result < 0) {
        return result == -ENOTTY || result == -EINVAL ? 0 : result;
    }
    const bool board = info.bustype == BUS_USB &&
                       static_cast<std::uint16_t>(info.vendor) == kVendor &&
                       static_cast<std::uint16_t>(info.product) == kProduct;
    if (!board) return 0;
    char name[256] = {};
    const int result = calls.Ioctl(fd, HIDIOCGRAWNAME(sizeof name - 1), name);
    return result < 0 ? result : RelayReport::Relays(name);
}

}  // namespace

HidRelayDevice::HidRelayDevice(DeviceCalls& calls, std::string node, std::string serial,
                               std::string lockDirectory)
    : calls_(calls),
      node_(std::move(node)),
      serial_(std::move(serial)),
      panelLock_(std::move(lockDirectory)) {}

HidRelayDevice::~HidRelayDevice() { Release(); }

int HidRelayDevice::OpenNode(const std::string& node, int relays, Board& board, int& fd) {
    const int opened = calls_.Open(node, O_RDWR);
    if (opened < 0) return IoErrorCodeFromErrno(-opened);
    int code = 0;
    if (relays == 0) {
        relays = RelaysOf(calls_, opened);
        if (relays == 0) code = kNotAPort;
        if (relays < 0) code = IoErrorCodeFromErrno(-relays);
    }
    RelayReport::Bytes report{};
    if (code == 0) {
        if (const int result = calls_.Ioctl(opened, HIDIOCGFEATURE(kReportSize), report.data());
            result < 0)
            code = IoErrorCodeFromErrno(-result);
    }
    if (code != 0) {
        calls_.Close(opened);
        return code;
    }
    board = {node, relays, RelayReport::Serial(report), RelayReport::State(report)};
    fd = opened;
    return 0;
}

int HidRelayDevice::Find(Board& board, int& fd) {
    if (!node_.empty()) return OpenNode(node_, 0, board, fd);
    int firstError = 0;  // a board we may not open is reported rather than "not found"
    for (const std::string& name : HidrawNames(calls_)) {
        const std::optional<std::string> uevent =
            calls_.ReadText(std::string(kSysfs) + "/" + name + "/device/uevent");
        if (!uevent || UeventValue(*uevent, "HID_ID") != kHidId) continue;
        const int relays = RelayReport::Relays(UeventValue(*uevent, "HID_NAME"));
        if (relays == 0) continue;
        const int code = OpenNode("/dev/" + name, relays, board, fd);
        if (code != 0) {
            if (firstError == 0) firstError = code;
            continue;
        }
        if (serial_.empty() || board.serial == serial_) return 0;
        calls_.Close(std::exchange(fd, -1));
    }
    return firstError != 0 ? firstError : IoErrorCodeFromErrno(ENOENT);
}

int HidRelayDevice::hold() {
    if (fd_ >= 0) return 0;
    Board board;
    int fd = -1;
    if (const int code = Find(board, fd); code != 0) return code;
    if (const int code = panelLock_.Take(HoldKey(board.serial)); code != 0) {
        calls_.Close(fd);
        return code;
    }
    fd_ = fd;
    board_ = std::move(board);
    return 0;
}

void HidRelayDevice::letGo() { Release(); }

void HidRelayDevice::Release() {
    if (fd_ >= 0) calls_.Close(std::exchange(fd_, -1));
    panelLock_.Drop();
}

int HidRelayDevice::open() {
    if (fd_ < 0) return kNotOpen;
    // Asks the driver only, no USB traffic: fails with ENODEV once the board is unplugged.
    hidraw_devinfo info{};
    if (const int result = calls_.Ioctl(fd_, HIDIOCGRAWINFO, &info); result < 0) {
        Release();
        return IoErrorCodeFromErrno(-result);
    }
    return 0;
}

int HidRelayDevice::Switch(int relay, bool on) {
    RelayReport::Bytes report = RelayReport::Switch(relay, on);
    const int result = calls_.Ioctl(fd_, HIDIOCSFEATURE(kReportSize), report.data());
    return result < 0 ? IoErrorCodeFromErrno(-result) : 0;
}

int HidRelayDevice::write(std::uint8_t byte, int& written) {
    if (fd_ < 0) return kNotOpen;
    bool on = false;
    while (const int relay = RelayReport::NextChange(byte, board_.state, board_.relays, on)) {
        if (const int code = Switch(relay, on); code != 0) {
            Release();  // found and read anew on the next cycle
            return code;
        }
        board_.state = RelayReport::With(board_.state, relay, on);
    }
    written = 1;
    return 0;
}

int HidRelayDevice::close() { return 0; }

std::string HidRelayDevice::Probe() {
    std::string shown = board_.serial;
    if (fd_ < 0) {
        // A failed search leaves the last board it looked at behind: not the one asked for.
        Board board;
        int fd = -1;
        const bool found = Find(board, fd) == 0;
        if (found) calls_.Close(fd);
        shown = found ? board.serial : "";
    }
    return RelayReport::Shown(shown);  // it ends up on the panel
}

}  // namespace pio
