// SPDX-License-Identifier: MIT
#include "FakeGpioChip.h"

#include <linux/gpio.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace pio {

FakeGpioChip::FakeGpioChip(int count, std::string path) : lines(count), path_(std::move(path)) {
    for (int i = 0; i < count; ++i) lines[i].name = "GPIO" + std::to_string(i);
}

void FakeGpioChip::Take(unsigned offset, const std::string& consumer) {
    lines.at(offset).used = true;
    lines.at(offset).consumer = consumer;
}

void FakeGpioChip::Unplug() {
    present_ = false;
    for (const auto& request : live_) dead_.insert(request.first);
    live_.clear();
    for (Line& line : lines) line.used = false, line.consumer.clear();
}

unsigned FakeGpioChip::Values(const std::vector<unsigned>& offsets) const {
    unsigned bits = 0;
    for (std::size_t i = 0; i < offsets.size(); ++i)
        if (lines.at(offsets[i]).value) bits |= 1U << i;
    return bits;
}

int FakeGpioChip::Open(const std::string& path, int) {
    if (!present_ || path != path_) return -ENOENT;
    chips_.insert(next_);
    return next_++;
}

int FakeGpioChip::Close(int fd) {
    if (chips_.erase(fd) || dead_.erase(fd)) return 0;
    const auto request = live_.find(fd);
    if (request == live_.end()) return -EBADF;
    for (unsigned offset : request->second) {
        lines[offset].used = false;  // the value stays
        lines[offset].consumer.clear();
    }
    live_.erase(request);
    return 0;
}

int FakeGpioChip::Ioctl(int fd, unsigned long request, void* arg) {
    if (request == GPIO_V2_LINE_SET_VALUES_IOCTL)
        return SetValues(fd, *static_cast<gpio_v2_line_values*>(arg));
    if (!chips_.count(fd)) return -EBADF;
    if (request == GPIO_GET_CHIPINFO_IOCTL) {
        auto* info = static_cast<gpiochip_info*>(arg);
        *info = {};
        std::strcpy(info->name, "gpiochip0");
        info->lines = static_cast<unsigned>(lines.size());
        return 0;
    }
    if (request == GPIO_V2_GET_LINEINFO_IOCTL) {
        auto* info = static_cast<gpio_v2_line_info*>(arg);
        if (info->offset >= lines.size()) return -EINVAL;
        const Line& line = lines[info->offset];
        const unsigned offset = info->offset;
        *info = {};
        info->offset = offset;
        std::strncpy(info->name, line.name.c_str(), sizeof info->name - 1);
        std::strncpy(info->consumer, line.consumer.c_str(), sizeof info->consumer - 1);
        info->flags = (line.used ? GPIO_V2_LINE_FLAG_USED : 0) |
                      (line.output ? GPIO_V2_LINE_FLAG_OUTPUT : GPIO_V2_LINE_FLAG_INPUT);
        return 0;
    }
    if (request == GPIO_V2_GET_LINE_IOCTL) return Request(*static_cast<gpio_v2_line_request*>(arg));
    return -ENOTTY;
}

int FakeGpioChip::Request(gpio_v2_line_request& request) {
    requests.push_back(request);
    if (request.num_lines == 0 || request.num_lines > GPIO_V2_LINES_MAX) return -EINVAL;
    std::vector<unsigned> offsets(request.offsets, request.offsets + request.num_lines);
    for (unsigned offset : offsets) {
        if (offset >= lines.size()) return -EINVAL;
        if (lines[offset].used) return -EBUSY;
    }
    // Output values not given in the request start low, as the kernel's do.
    std::uint64_t values = 0;
    for (unsigned i = 0; i < request.config.num_attrs; ++i) {
        const gpio_v2_line_config_attribute& a = request.config.attrs[i];
        if (a.attr.id == GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES) values = a.attr.values & a.mask;
    }
    const bool output = (request.config.flags & GPIO_V2_LINE_FLAG_OUTPUT) != 0;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        Line& line = lines[offsets[i]];
        line.used = true;
        line.consumer = request.consumer;
        line.output = output;
        if (output) line.value = (values >> i) & 1;
    }
    request.fd = next_++;
    live_[request.fd] = offsets;
    return 0;
}

int FakeGpioChip::SetValues(int fd, const gpio_v2_line_values& values) {
    if (dead_.count(fd)) return -ENODEV;
    const auto request = live_.find(fd);
    if (request == live_.end()) return -EBADF;
    ++setCalls;
    for (std::size_t i = 0; i < request->second.size(); ++i)
        if ((values.mask >> i) & 1) lines[request->second[i]].value = (values.bits >> i) & 1;
    return 0;
}

}  // namespace pio
