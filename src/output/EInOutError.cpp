// SPDX-License-Identifier: MIT
#include "output/EInOutError.h"

#include <string>

#include "output/PortDevice.h"
#include "toolbox/Exception.h"

namespace pio {

std::string IoErrorMessage(int code) {
    switch (code) {
        case 2: return "Datei nicht gefunden";
        case 3: return "Ungültiger Dateiname";
        case 4: return "Zu viele Dateien geöffnet";
        case 5: return "Dateizugriff verweigert";
        case kPortHeldByAnotherPanel: return "Der Port wird von einem anderen Panel benutzt";
        case 100: return "Lesen nach Dateiende (EOF)";
        case 101: return "Kapazität der Diskette/Festplatte erschöpft";
        case 106: return "Ungültige numerische Eingabe";
        default: return "I/O-Fehler " + std::to_string(code);
    }
}

EInOutError::EInOutError(int code) : Exception(IoErrorMessage(code)), code_(code) {}

}  // namespace pio
