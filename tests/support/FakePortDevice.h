// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "output/PortDevice.h"

namespace pio {

// A PortDevice for tests: records what it is asked to do and fails any step on request.
//
// Every call is appended to calls() ("open", "write", "close"), including failed ones, so
// tests can check the order. A failed open leaves no handle; close always releases the
// handle, even when it reports an error, as close(2) does.
class FakePortDevice final : public PortDevice {
public:
    // How long an injected fault lasts.
    enum class Times { Once, Always };

    // Returned by write and close when no handle is open (a contract breach by the caller).
    static constexpr int kNotOpen = 103;

    // One port that several fakes (several panels) share: at most one of them holds it.
    struct Port {
        const FakePortDevice* holder = nullptr;
    };

    FakePortDevice() = default;
    explicit FakePortDevice(std::shared_ptr<Port> port) : port_(std::move(port)) {}
    ~FakePortDevice() override { letGo(); }  // the system frees the claim of a program that ends

    // hold/letGo are not recorded in calls(), which lists the cycle's steps only.
    int hold() override;
    void letGo() override;
    int open() override;
    int write(std::uint8_t byte, int& written) override;
    int close() override;

    void failOpen(int code, Times times = Times::Once);
    void failWrite(int code, Times times = Times::Once);
    // write returns 0 but reports `count` bytes written; the byte is recorded if count > 0.
    // With count 0 `written` is left as the caller set it.
    void shortWrite(int count, Times times = Times::Once);
    void failClose(int code, Times times = Times::Once);
    void failHold(int code, Times times = Times::Once);
    // Drops all injected faults.
    void heal();
    // Forgets what was recorded (bytes, calls, counters); faults and the handle stay.
    void clearRecord();

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    const std::vector<std::string>& calls() const { return calls_; }
    int opens() const { return opens_; }    // successful opens
    int closes() const { return closes_; }  // close calls on an open handle
    bool isOpen() const { return open_; }
    bool holds() const { return port_->holder == this; }

private:
    struct Fault {
        bool armed = false;
        int value = 0;
        Times times = Times::Once;
    };
    // True (and value set) when the fault fires for this call; a one-shot fault disarms.
    static bool fire(Fault& fault, int& value);

    Fault openFault_;
    Fault writeFault_;
    Fault shortWrite_;
    Fault closeFault_;
    Fault holdFault_;
    std::shared_ptr<Port> port_ = std::make_shared<Port>();

    std::vector<std::uint8_t> bytes_;
    std::vector<std::string> calls_;
    int opens_ = 0;
    int closes_ = 0;
    bool open_ = false;
};

}  // namespace pio
