// SPDX-License-Identifier: MIT
#pragma once

#include <string>

class QWidget;

// What the Linux program's start-up asks of Qt beyond the platform itself: the settings Qt
// reads before it starts, its fatal message while the program starts, the program's name,
// fonts and icon for the desktop, and the box of a failed start.
namespace pio::QtStartup {

// Before the QApplication: no shared-memory images (see docs/architecture.md, "No MIT-SHM")
// unless the environment says otherwise, drawing without Qt's own pool of threads, and
// whole scaling factors.
void Prepare();

// Qt ends the process with abort() when it cannot reach a display, and also when it could
// not open a file or map a library for lack of descriptors or memory. Until Started(),
// such a fatal message runs `onFatal` instead, which must not return; any other message,
// and every message after Started(), goes to the handler Qt had before.
void CatchFatal(void (*onFatal)());
void Started();
// Whether the program is still starting: before Started(), and not yet ended by CatchFatal.
bool Starting();

// After the QApplication: the name the desktop shows for the program, its desktop entry and
// the fonts the panel asks for.
void Present(const std::string& title);
// The program's icon, in three sizes, on `window` and on the application.
void SetIcon(QWidget& window);

// False when the screen has fewer colour bits than `bits` (no screen: true).
bool ColourDepthAtLeast(int bits);

// The box of a failed start, when there is an application to show it on; returns when the
// user has closed it.
void ShowFailureBox(const std::string& caption, const std::string& text);

}  // namespace pio::QtStartup
