// SPDX-License-Identifier: MIT
#include "app/CommandLine.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/PortChoice.h"

namespace pio {

namespace {

enum class Option { None, Port, Help, Version };

struct LongOptionName {
    const char* name;
    Option option;
};
constexpr LongOptionName kOptions[] = {
    {"port", Option::Port}, {"help", Option::Help}, {"version", Option::Version}};

// The option that `name` (what follows "--", up to any "=") spells out or shortens. The
// three names start with different letters, so no prefix is ambiguous.
const LongOptionName* FindOption(const std::string& name) {
    if (name.empty()) return nullptr;
    for (const LongOptionName& o : kOptions)
        if (std::string(o.name).compare(0, name.size(), name) == 0) return &o;
    return nullptr;
}

// The length of the UTF-8 sequence at `s` (of `left` bytes) and its code point, or 0 where
// the bytes are no well-formed sequence (a stray continuation byte, a cut-off sequence, an
// overlong form, a surrogate, beyond U+10FFFF).
std::size_t Utf8Sequence(const unsigned char* s, std::size_t left, char32_t& cp) {
    const unsigned char b = s[0];
    std::size_t n;
    char32_t least;
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    if ((b & 0xE0) == 0xC0) {
        n = 2, cp = b & 0x1F, least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3, cp = b & 0x0F, least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4, cp = b & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (left < n) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// Characters that would break the one line up or that a terminal takes as commands: the C0
// and C1 controls, DEL, and the line and paragraph separators.
bool Breaks(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

}  // namespace

std::string CommandLine::Quoted(const std::string& word) {
    std::string shown = "„";
    const auto* bytes = reinterpret_cast<const unsigned char*>(word.data());
    for (std::size_t i = 0; i < word.size();) {
        char32_t cp = 0;
        const std::size_t n = Utf8Sequence(bytes + i, word.size() - i, cp);
        if (n == 0 || Breaks(cp)) {
            shown += '?';
            i += n == 0 ? 1 : n;  // a broken sequence: its first byte, then on from the next
            continue;
        }
        shown.append(word, i, n);
        i += n;
    }
    return shown + "“";
}

CommandLine CommandLine::Parse(const std::vector<std::string>& args, PortRules rules,
                               const std::string& version) {
    PortChoice port = PortChoice::Default(rules);
    Action shown = Action::Run;  // the first of --help and --version
    std::string mistake;         // the first thing wrong on the line
    auto wrong = [&mistake](std::string what) {
        if (mistake.empty()) mistake = std::move(what);
    };
    const std::string accepted = std::string(" (") + PortChoice::Accepted(rules) + ")";

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            if (i + 1 < args.size()) wrong("überzähliges Argument " + Quoted(args[i + 1]));
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            wrong("überzähliges Argument " + Quoted(arg));
            continue;
        }
        const std::size_t eq = arg.find('=');
        const LongOptionName* option =
            arg[1] == '-' ? FindOption(arg.substr(2, eq == std::string::npos ? eq : eq - 2))
                          : nullptr;
        if (!option) {
            wrong("unbekannte Option " + Quoted(arg));
            continue;
        }
        const std::string full = std::string("--") + option->name;
        if (option->option == Option::Port) {
            // Like getopt_long: the value follows "=" or is the next word, whatever it is.
            std::optional<std::string> value;
            if (eq != std::string::npos)
                value = arg.substr(eq + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            if (!value || value->empty()) {
                wrong("Option " + Quoted(full) + " braucht ein Gerät" + accepted);
                continue;
            }
            const std::optional<PortChoice> named = PortChoice::FromName(*value, rules);
            if (!named) {
                // A GPIO or relay port spelt wrong is told the form it must have.
                if (const char* form = PortChoice::ExpectedForm(*value, rules))
                    wrong("ungültiger Port " + Quoted(*value) + " (" + form + ")");
                else
                    wrong("unbekannter Port " + Quoted(*value) + accepted);
                continue;
            }
            port = *named;  // given twice, the last one counts
            continue;
        }
        if (eq != std::string::npos) {
            wrong("Option " + Quoted(full) + " erlaubt kein Argument");
            continue;
        }
        if (shown == Action::Run)
            shown = option->option == Option::Help ? Action::ShowHelp : Action::ShowVersion;
    }

    // Help and version win over mistakes elsewhere on the line: whoever asks for help
    // gets it.
    if (shown == Action::ShowHelp) return {shown, port, HelpText(rules)};
    if (shown == Action::ShowVersion) return {shown, port, VersionText(version)};
    if (!mistake.empty()) return {Action::UsageError, port, ErrorLine(mistake)};
    return {Action::Run, port, ""};
}

CommandLine CommandLine::RefusePort(const std::string& what) const {
    return {Action::UsageError, port_,
            ErrorLine(Quoted(port_.device) + " ist kein Port, sondern " + what)};
}

std::string CommandLine::ErrorLine(const std::string& what) {
    return "pio-out: " + what + " – „pio-out --help“ zeigt die Optionen.\n";
}

std::string CommandLine::VersionText(const std::string& version) {
    return "pio-out " + version +
           "\n"
           "Copyright (C) 2026 The pio-out authors\n"
           "Lizenz MIT: Dies ist freie Software; Sie dürfen sie verändern und weitergeben.\n"
           "Es gibt KEINE GARANTIE, soweit gesetzlich zulässig.\n";
}

std::string CommandLine::HelpText(PortRules rules) {
    const std::string head =
        "Aufruf: pio-out [OPTION]…\n"
        "Bedienfeld für sechs Ausgänge an der Parallelschnittstelle: schaltet die\n"
        "Datenleitungen D2 bis D7 und zeigt sie als LEDs.\n"
        "\n";
    const std::string ports =
        rules == PortRules::Windows
            ? "      --port=GERÄT  diesen Port ansteuern: LPT1 bis LPT9 (Vorgabe: LPT1);\n"
              "                      außerdem USB, USB:SERIE  ein USB-Relais-Board (das\n"
              "                        erste gefundene, das mit der fünfstelligen\n"
              "                        Seriennummer)\n"
            : "      --port=GERÄT  diesen Port ansteuern: LPT1 bis LPT3 (/dev/parport0 bis\n"
              "                      /dev/parport2) oder ein Gerätepfad wie /dev/parport1\n"
              "                      (Vorgabe: LPT1); außerdem:\n"
              "                      gpiochipN:L1,L2,L3,L4,L5,L6  sechs GPIO-Leitungen\n"
              "                        (Nummern oder Namen) für die Kanäle 1 bis 6\n"
              "                      USB, USB:SERIE, /dev/hidrawN  ein USB-Relais-Board\n"
              "                        (das erste gefundene, das mit der fünfstelligen\n"
              "                        Seriennummer, das an diesem Knoten)\n";
    const std::string more =
        rules == PortRules::Windows
            ? "Beschreibung und Fehlermeldungen: LIESMICH.txt neben pio-out.exe.\n"
            : "Beschreibung, Rechte am Port (Gruppe lp, Modul ppdev) und Fehlermeldungen:\n"
              "„man pio-out“.\n";
    // A start fails on Linux mostly for want of a display; on Windows a box tells why.
    const std::string failed = rules == PortRules::Windows
                                   ? "  1  Start fehlgeschlagen (Meldung „Anwendungsfehler“)\n"
                                   : "  1  Start fehlgeschlagen (etwa ohne Anzeige)\n";
    return head + ports +
           "      --help        diese Hilfe anzeigen und beenden\n"
           "      --version     Versionsinformation anzeigen und beenden\n"
           "\n"
           "Exit-Status:\n"
           "  0  beendet ohne Fehler\n" +
           failed +
           "  2  falscher Aufruf\n"
           "\n" +
           more;
}

}  // namespace pio
