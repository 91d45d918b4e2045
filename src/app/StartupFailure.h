// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "toolbox/Exception.h"

namespace pio {

constexpr const char* kStartupFailureCaption = "Anwendungsfehler";

// "Exception <kind> im Modul <module> bei <address>.\n<message>[.]": the module name at most
// 63 characters, the address as 8 hex digits (0 when there is none), and a "." only where
// the message is not empty and does not end in one already.
std::string StartupFailureText(const std::string& kind, const std::string& programPath,
                               std::uintptr_t address, const std::string& message);

// Runs the start-up and the loop, `run`, and returns its exit code. An error that escapes it
// is a failed start, shown by `failed(kind, message)`, which ends the program: the program's
// own errors under their kind, any other under "Exception".
template <class Run, class Failed>
int RunOrReportStartupFailure(Run&& run, Failed&& failed) {
    try {
        return run();
    } catch (const Exception& e) {
        failed(e.kind(), e.what());
    } catch (const std::exception& e) {
        failed("Exception", e.what());
    }
    return 1;  // not reached: `failed` ends the program
}

}  // namespace pio
