// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace pio {

// Which of Qt's platform plugins pio-out runs on. The panel places itself (and its hints
// beside the pointer) in screen coordinates, which only an X server honours: a Wayland
// client cannot place its own windows. So where the session offers an X server beside
// Wayland (Xwayland, as GNOME and KDE Plasma do), the panel uses it; where there is only
// Wayland it runs there natively and the compositor places it. A platform the user chose
// (QT_QPA_PLATFORM) is left alone.
struct DisplayEnvironment {
    const char* qtQpaPlatform = nullptr;   // QT_QPA_PLATFORM
    const char* display = nullptr;         // DISPLAY
    const char* waylandDisplay = nullptr;  // WAYLAND_DISPLAY
};

// "xcb", "wayland", or "" to leave the choice to Qt (the user's own, or no display at all:
// Qt then fails to connect, which start-up reports).
std::string DisplayPlatformFor(const DisplayEnvironment& env);

// Reads the process's environment and sets QT_QPA_PLATFORM to DisplayPlatformFor's
// answer, if any. Before QApplication is made.
void ChooseDisplayPlatform();

}  // namespace pio
