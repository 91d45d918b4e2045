// SPDX-License-Identifier: MIT
#include "app/ErrorReport.h"

#include <exception>
#include <string>
#include <utility>

#include "platform/Platform.h"

namespace pio {

ErrorReport::ErrorReport(Platform& platform, std::string title)
    : platform_(platform), title_(std::move(title)) {}

void ErrorReport::Install() {
    platform_.setErrorSink([this](std::exception_ptr e) { Report(e); });
}

std::string ErrorReport::MessageOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unbekannter Fehler";
    }
}

void ErrorReport::Report(std::exception_ptr error) {
    if (busy_) {
        ++dropped_;
        return;
    }
    busy_ = true;
    const std::string text = MessageOf(error) + ".";
    platform_.post([this, error, text] {
        if (cancelMode_) cancelMode_();
        for (const auto& fn : beforeBox_) fn(error);
        platform_.messageBox(text, title_, MessageIcon::Stop);
        busy_ = false;
        for (const auto& fn : afterBox_) fn();
    });
}

}  // namespace pio
