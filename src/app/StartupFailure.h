// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

constexpr const char* kStartupFailureCaption = "Anwendungsfehler";

// "Exception <kind> im Modul <module> bei <address>.\n<message>[.]": the module name at most
// 63 characters, the address as 8 hex digits (0 when there is none), and a "." only where
// the message is not empty and does not end in one already.
std::string StartupFailureText(const std::string& kind, const std::string& programPath,
                               std::uintptr_t address, const std::string& message);
