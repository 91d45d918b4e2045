// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "output/DeviceCalls.h"

namespace pio {

// USB relay boards as Linux's hidraw driver shows them, for the relay device's tests: sysfs
// lists them, their nodes answer the raw-info and feature-report requests, and a board
// unplugged fails every request on a node opened before with ENODEV, as hidraw does.
class FakeHidraw final : public DeviceCalls {
public:
    struct Board {
        int number = 0;  // /dev/hidrawN
        std::string serial;
        int relays = 0;
        unsigned state = 0;  // bit k-1: relay k is on
        bool plugged = true;
        bool denied = false;  // the node may not be opened (no udev rule)
        std::string product;  // what sysfs and HIDIOCGRAWNAME tell after the maker's name
        unsigned short vendor = 0x16c0;
        std::vector<std::array<unsigned char, 2>> sent;  // command and relay, each report
    };

    Board& Add(int number, const std::string& serial, int relays);
    Board& board(int number);
    void Unplug(int number);
    // Plugged in again: the board was without power, all relays are off.
    void Plug(int number);
    std::size_t OpenDescriptors() const { return open_.size(); }

    int Open(const std::string& path, int flags) override;
    int Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    std::vector<std::string> List(const std::string& directory) override;
    std::optional<std::string> ReadText(const std::string& path) override;

private:
    struct Opened {
        int number;
        int generation;
    };

    std::deque<Board> boards_;       // a deque: Add() keeps the boards it gave out where they are
    std::map<int, int> generation_;  // board number → how often it was unplugged
    std::map<int, Opened> open_;
    int next_ = 50;
};

}  // namespace pio
