// SPDX-License-Identifier: MIT
#include "output/GpioDevice.h"

#include <fcntl.h>
#include <linux/gpio.h>
#include <string.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "output/DeviceCalls.h"
#include "output/IoErrorCode.h"
#include "output/PortDevice.h"
#include "output/PortNode.h"

namespace pio {

namespace {

// Returned when write is called without a hold; the same code the ppdev device uses.
constexpr int kNotOpen = 103;
constexpr const char* kConsumer = "pio-out";
constexpr std::uint64_t kAllChannels = (1U << GpioDevice::kChannels) - 1;

// The six channel bits of the port byte (D2..D7), as the values of lines 0..5 of the request.
std::uint64_t LineBits(std::uint8_t byte) { return (byte >> 2) & kAllChannels; }

bool IsOffset(const std::string& line) {
    if (line.empty()) return false;
    for (char c : line)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

GpioDevice::GpioDevice(DeviceCalls& calls, std::string chip, std::vector<std::string> lines)
    : calls_(calls), chip_(std::move(chip)), lines_(std::move(lines)) {}

GpioDevice::~GpioDevice() { Release(); }

int GpioDevice::hold() { return request_ >= 0 ? 0 : Request(); }

void GpioDevice::letGo() { Release(); }

// Closing the request's descriptor gives the lines back without touching their values.
void GpioDevice::Release() {
    if (request_ >= 0) calls_.Close(std::exchange(request_, -1));
}

int GpioDevice::Request() {
    if (lines_.size() != kChannels) return IoErrorCodeFromErrno(EINVAL);
    const int chip = calls_.Open(chip_, O_RDWR);
    if (chip < 0) return IoErrorCodeFromErrno(-chip);
    std::vector<std::uint32_t> offsets;
    int code = ResolveOffsets(chip, offsets);
    if (code == 0) {
        gpio_v2_line_request request{};
        for (int i = 0; i < kChannels; ++i) request.offsets[i] = offsets[i];
        std::strncpy(request.consumer, kConsumer, sizeof request.consumer - 1);
        request.num_lines = kChannels;
        request.config.flags = GPIO_V2_LINE_FLAG_OUTPUT;
        // The lines start at the byte they had when the last hold ended, so switching port
        // output off and on again does not pulse them.
        request.config.num_attrs = 1;
        request.config.attrs[0].attr.id = GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES;
        request.config.attrs[0].attr.values = LineBits(last_);
        request.config.attrs[0].mask = kAllChannels;
        const int result = calls_.Ioctl(chip, GPIO_V2_GET_LINE_IOCTL, &request);
        if (result == -EBUSY)
            code = BusyCode(chip, offsets);
        else if (result < 0)
            code = IoErrorCodeFromErrno(-result);
        else
            request_ = request.fd;
    }
    calls_.Close(chip);  // the request lives on without the chip's descriptor
    return code;
}

int GpioDevice::ResolveOffsets(int chip, std::vector<std::uint32_t>& offsets) {
    gpiochip_info info{};
    if (const int result = calls_.Ioctl(chip, GPIO_GET_CHIPINFO_IOCTL, &info); result < 0)
        return result == -ENOTTY || result == -EINVAL ? kNotAPort : IoErrorCodeFromErrno(-result);
    for (const std::string& line : lines_) {
        std::uint32_t found = info.lines;
        if (IsOffset(line)) {
            if (line.size() <= 9) found = static_cast<std::uint32_t>(std::stoul(line));
        } else {
            // A name: the first line of the chip that carries it.
            for (std::uint32_t offset = 0; offset < info.lines && found == info.lines; ++offset) {
                gpio_v2_line_info lineInfo{};
                lineInfo.offset = offset;
                const int result = calls_.Ioctl(chip, GPIO_V2_GET_LINEINFO_IOCTL, &lineInfo);
                if (result < 0) return IoErrorCodeFromErrno(-result);
                if (line ==
                    std::string(lineInfo.name, strnlen(lineInfo.name, sizeof lineInfo.name)))
                    found = offset;
            }
        }
        // A line the chip does not have is a device that is not there.
        if (found >= info.lines) return IoErrorCodeFromErrno(ENOENT);
        for (std::uint32_t earlier : offsets)
            if (earlier == found) return IoErrorCodeFromErrno(EINVAL);  // one line, two channels
        offsets.push_back(found);
    }
    return 0;
}

// A requested line is someone else's: another panel's when it carries our consumer name and
// no line is another program's.
int GpioDevice::BusyCode(int chip, const std::vector<std::uint32_t>& offsets) {
    bool panel = false;
    for (std::uint32_t offset : offsets) {
        gpio_v2_line_info info{};
        info.offset = offset;
        if (calls_.Ioctl(chip, GPIO_V2_GET_LINEINFO_IOCTL, &info) < 0) continue;
        if ((info.flags & GPIO_V2_LINE_FLAG_USED) == 0) continue;
        if (std::string(info.consumer, strnlen(info.consumer, sizeof info.consumer)) != kConsumer)
            return IoErrorCodeFromErrno(EBUSY);
        panel = true;
    }
    return panel ? kPortHeldByAnotherPanel : IoErrorCodeFromErrno(EBUSY);
}

int GpioDevice::open() { return request_ >= 0 ? 0 : kNotOpen; }

int GpioDevice::write(std::uint8_t byte, int& written) {
    if (request_ < 0) return kNotOpen;
    gpio_v2_line_values values{};
    values.bits = LineBits(byte);
    values.mask = kAllChannels;
    if (const int result = calls_.Ioctl(request_, GPIO_V2_LINE_SET_VALUES_IOCTL, &values);
        result < 0) {
        // The chip went away (or its driver): request the lines anew on the next cycle.
        Release();
        return IoErrorCodeFromErrno(-result);
    }
    last_ = byte;
    written = 1;
    return 0;
}

int GpioDevice::close() { return 0; }

}  // namespace pio
