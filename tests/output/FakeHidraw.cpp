// SPDX-License-Identifier: MIT
#include "FakeHidraw.h"

#include <linux/hidraw.h>
#include <linux/input.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pio {

FakeHidraw::Board& FakeHidraw::Add(int number, const std::string& serial, int relays) {
    Board added;
    added.number = number;
    added.serial = serial;
    added.relays = relays;
    added.product = "USBRelay" + std::to_string(relays);
    boards_.push_back(added);
    return boards_.back();
}

FakeHidraw::Board& FakeHidraw::board(int number) {
    for (Board& b : boards_)
        if (b.number == number) return b;
    throw std::out_of_range("no such board");
}

void FakeHidraw::Unplug(int number) {
    board(number).plugged = false;
    ++generation_[number];
}

void FakeHidraw::Plug(int number) {
    board(number).plugged = true;
    board(number).state = 0;
}

std::vector<std::string> FakeHidraw::List(const std::string& directory) {
    std::vector<std::string> names;
    if (directory != "/sys/class/hidraw") return names;
    // Newest first, as a directory may list them: the device must sort them itself.
    for (auto b = boards_.rbegin(); b != boards_.rend(); ++b)
        if (b->plugged) names.push_back("hidraw" + std::to_string(b->number));
    return names;
}

std::optional<std::string> FakeHidraw::ReadText(const std::string& path) {
    for (const Board& b : boards_) {
        if (!b.plugged) continue;
        if (path != "/sys/class/hidraw/hidraw" + std::to_string(b.number) + "/device/uevent")
            continue;
        char id[32];
        std::snprintf(id, sizeof id, "0003:%08X:000005DF", b.vendor);
        return "DRIVER=hid-generic\nHID_ID=" + std::string(id) + "\nHID_NAME=www.dcttech.com " +
               b.product + "\nHID_PHYS=usb-0000:00:14.0-1/input0\n";
    }
    return std::nullopt;
}

int FakeHidraw::Open(const std::string& path, int) {
    for (const Board& b : boards_) {
        if (!b.plugged || path != "/dev/hidraw" + std::to_string(b.number)) continue;
        if (b.denied) return -EACCES;
        open_[next_] = {b.number, generation_[b.number]};
        return next_++;
    }
    return -ENOENT;
}

int FakeHidraw::Close(int fd) { return open_.erase(fd) ? 0 : -EBADF; }

int FakeHidraw::Ioctl(int fd, unsigned long request, void* arg) {
    const auto opened = open_.find(fd);
    if (opened == open_.end()) return -EBADF;
    if (opened->second.generation != generation_[opened->second.number]) return -ENODEV;
    Board& b = board(opened->second.number);
    auto* bytes = static_cast<unsigned char*>(arg);
    if (request == HIDIOCGRAWINFO) {
        auto* info = static_cast<hidraw_devinfo*>(arg);
        info->bustype = BUS_USB;
        info->vendor = static_cast<short>(b.vendor);
        info->product = 0x05df;
        return 0;
    }
    const unsigned size = _IOC_SIZE(request);
    if (request == HIDIOCGRAWNAME(size)) {
        std::strncpy(static_cast<char*>(arg), ("www.dcttech.com " + b.product).c_str(), size);
        return 0;
    }
    // Report id 0 in front, then the board's eight bytes.
    if (size != 9 || bytes[0] != 0) return -EINVAL;
    if (request == HIDIOCGFEATURE(size)) {
        std::memset(bytes + 1, 0, 8);
        std::memcpy(bytes + 1, b.serial.data(), std::min<std::size_t>(b.serial.size(), 5));
        bytes[8] = static_cast<unsigned char>(b.state);
        return 9;
    }
    if (request == HIDIOCSFEATURE(size)) {
        const unsigned char command = bytes[1];
        const unsigned relay = bytes[2];
        b.sent.push_back({command, bytes[2]});
        const unsigned all = (1U << b.relays) - 1;
        if (command == 0xFE) b.state = all;
        if (command == 0xFC) b.state = 0;
        if (relay >= 1 && relay <= static_cast<unsigned>(b.relays)) {
            if (command == 0xFF) b.state |= 1U << (relay - 1);
            if (command == 0xFD) b.state &= ~(1U << (relay - 1));
        }
        return 9;
    }
    return -ENOTTY;
}

}  // namespace pio
