// SPDX-License-Identifier: MIT
#include "support/FakePortDevice.h"

#include <cstdint>

#include "output/PortDevice.h"

namespace pio {

bool FakePortDevice::fire(Fault& fault, int& value) {
    if (!fault.armed) return false;
    value = fault.value;
    if (fault.times == Times::Once) fault.armed = false;
    return true;
}

int FakePortDevice::hold() {
    if (int code = 0; fire(holdFault_, code)) return code;
    if (port_->holder != nullptr && port_->holder != this) return kPortHeldByAnotherPanel;
    port_->holder = this;
    return 0;
}

void FakePortDevice::letGo() {
    if (port_->holder == this) port_->holder = nullptr;
}

int FakePortDevice::open() {
    calls_.emplace_back("open");
    if (int code = 0; fire(openFault_, code)) return code;
    // Opening twice without closing would leak a handle on a real device; the fake treats
    // it as a breach rather than hiding it.
    if (open_) return kNotOpen;
    open_ = true;
    ++opens_;
    return 0;
}

int FakePortDevice::write(std::uint8_t byte, int& written) {
    calls_.emplace_back("write");
    if (!open_) return kNotOpen;
    if (int code = 0; fire(writeFault_, code)) return code;
    if (int count = 0; fire(shortWrite_, count)) {
        // A device that took nothing may not touch the count at all; that is why the caller
        // presets it to 0, and a caller that does not gets a phantom success here.
        if (count != 0) written = count;
        if (count > 0) bytes_.push_back(byte);
        return 0;
    }
    bytes_.push_back(byte);
    written = 1;
    return 0;
}

int FakePortDevice::close() {
    calls_.emplace_back("close");
    if (!open_) return kNotOpen;
    open_ = false;
    ++closes_;
    if (int code = 0; fire(closeFault_, code)) return code;
    return 0;
}

void FakePortDevice::failOpen(int code, Times times) { openFault_ = Fault{true, code, times}; }
void FakePortDevice::failWrite(int code, Times times) { writeFault_ = Fault{true, code, times}; }
void FakePortDevice::shortWrite(int count, Times times) { shortWrite_ = Fault{true, count, times}; }
void FakePortDevice::failClose(int code, Times times) { closeFault_ = Fault{true, code, times}; }

void FakePortDevice::failHold(int code, Times times) { holdFault_ = Fault{true, code, times}; }

void FakePortDevice::heal() {
    openFault_ = Fault{};
    writeFault_ = Fault{};
    shortWrite_ = Fault{};
    closeFault_ = Fault{};
    holdFault_ = Fault{};
}

void FakePortDevice::clearRecord() {
    bytes_.clear();
    calls_.clear();
    opens_ = 0;
    closes_ = 0;
}

}  // namespace pio
