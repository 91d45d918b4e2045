#include "output/EInOutError.h"

std::string IoErrorMessage(int code) {
    switch (code) {
        case 2:
            return "Datei nicht gefunden";
        case 3:
            return "Ungültiger Dateiname";
        case 4:
            return "Zu viele Dateien geöffnet";
        case 5:
            return "Dateizugriff verweigert";
        case 100:
            return "Lesen nach Dateiende (EOF)";
        case 101:
            return "Kapazität der Diskette/Festplatte erschöpft";
        case 106:
            return "Ungültige numerische Eingabe";
        default:
            return "I/O-Fehler " + std::to_string(code);
    }
}

EInOutError::EInOutError(int code) : Exception(IoErrorMessage(code)), code_(code) {}
