// SPDX-License-Identifier: MIT
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pio {

class Platform;

// Shows errors that escape a handler: a stop box with the message and a "." (always
// appended), captioned with the application title. The box opens after the failing handler
// has returned, from whichever loop runs next, so every timer keeps ticking while it is open.
// At most one report is open at a time: an error that escapes meanwhile is not shown.
class ErrorReport final {
public:
    ErrorReport(Platform& platform, std::string title);

    // Installs this report as the platform's error sink.
    void Install();
    // `cancelMode` runs before a box opens, so no control keeps the pointer captured.
    void SetCancelMode(std::function<void()> cancelMode) { cancelMode_ = std::move(cancelMode); }
    // Run just before a box opens, with the error it shows: from then on the user has seen
    // it. An error dropped because another box was open has not been seen.
    void OnBeforeBox(std::function<void(std::exception_ptr)> fn) {
        beforeBox_.push_back(std::move(fn));
    }
    // Run once the box has been closed.
    void OnAfterBox(std::function<void()> fn) { afterBox_.push_back(std::move(fn)); }

    void Report(std::exception_ptr error);
    bool Busy() const { return busy_; }
    int Dropped() const { return dropped_; }

    static std::string MessageOf(std::exception_ptr error);

private:
    Platform& platform_;
    std::string title_;
    std::function<void()> cancelMode_;
    std::vector<std::function<void(std::exception_ptr)>> beforeBox_;
    std::vector<std::function<void()>> afterBox_;
    bool busy_ = false;  // a report is waiting to open or is open
    int dropped_ = 0;
};

}  // namespace pio
