// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace pio {

// The title shown on the taskbar and in error boxes, made from the program file's path:
// the directory cut off at the last "/" or "\", the rest cut before its first ".", the
// first character kept, every later one in lower case. "/usr/bin/MY.PANEL.EXE" gives "My".
std::string ApplicationTitle(const std::string& programPath);

// The file name without its directory.
std::string ModuleName(const std::string& programPath);

}  // namespace pio
