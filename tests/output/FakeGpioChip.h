// SPDX-License-Identifier: MIT
#pragma once

#include <linux/gpio.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "output/DeviceCalls.h"

namespace pio {

// One GPIO chip as the kernel's uAPI v2 shows it, for the GPIO device's tests: requests mark
// lines used with their consumer, a closed request frees them and leaves their values, and a
// chip taken away fails every call on its requests with ENODEV.
class FakeGpioChip final : public DeviceCalls {
public:
    struct Line {
        std::string name;
        bool used = false;
        bool output = false;
        bool value = false;
        std::string consumer;
    };

    explicit FakeGpioChip(int lines, std::string path = "/dev/gpiochip0");

    std::vector<Line> lines;
    std::vector<gpio_v2_line_request> requests;  // every request made, as it came in
    int setCalls = 0;

    // Another program requests a line.
    void Take(unsigned offset, const std::string& consumer);
    void Unplug();
    void Plug() { present_ = true; }
    // Descriptors the device has open now, chip and requests.
    std::size_t OpenDescriptors() const { return chips_.size() + live_.size() + dead_.size(); }
    // The values of the lines at `offsets`, as bits 0..n-1.
    unsigned Values(const std::vector<unsigned>& offsets) const;

    int Open(const std::string& path, int flags) override;
    int Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    std::vector<std::string> List(const std::string&) override { return {}; }
    std::optional<std::string> ReadText(const std::string&) override { return std::nullopt; }

private:
    int Request(gpio_v2_line_request& request);
    int SetValues(int fd, const gpio_v2_line_values& values);

    std::string path_;
    bool present_ = true;
    int next_ = 100;
    std::set<int> chips_;
    std::map<int, std::vector<unsigned>> live_;  // request descriptor → its offsets
    std::set<int> dead_;                         // requests of a chip taken away
};

}  // namespace pio
