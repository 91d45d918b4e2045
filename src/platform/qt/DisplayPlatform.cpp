// SPDX-License-Identifier: MIT
#include "platform/qt/DisplayPlatform.h"

#include <stdlib.h>

#include <cstdlib>
#include <string>

namespace pio {

namespace {

bool Given(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

std::string DisplayPlatformFor(const DisplayEnvironment& env) {
    if (Given(env.qtQpaPlatform)) return "";
    // An X server, alone or beside Wayland: the panel keeps its place and its hints.
    if (Given(env.display)) return "xcb";
    // Qt's default plugin is xcb, also in a session that is Wayland alone.
    if (Given(env.waylandDisplay)) return "wayland";
    return "";
}

void ChooseDisplayPlatform() {
    DisplayEnvironment env;
    env.qtQpaPlatform = std::getenv("QT_QPA_PLATFORM");
    env.display = std::getenv("DISPLAY");
    env.waylandDisplay = std::getenv("WAYLAND_DISPLAY");
    const std::string platform = DisplayPlatformFor(env);
    if (!platform.empty()) ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
}

}  // namespace pio
