// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

#include "app/PortChoice.h"

// The program's command line, read before anything else starts (no display is needed to
// show the help, the version or a mistake):
//
//   pio-out [--port DEVICE]      --port=DEVICE works too; given twice, the last one counts
//   pio-out --help               wins over anything else on the line, as with GNU programs
//   pio-out --version
//
// Long options may be shortened to any prefix (--vers, --po=LPT2), as getopt_long allows;
// there are no short options. "--" ends the options. Nothing else is taken: no operands and
// none of the toolkit's own options, so the whole line is what is documented here.
class CommandLine final {
public:
    enum class Action {
        Run,          // start the panel on port()
        ShowHelp,     // text() to standard output, exit 0
        ShowVersion,  // text() to standard output, exit 0
        UsageError,   // text(), one line, to standard error, exit 2
    };

    static constexpr int kUsageErrorExit = 2;

    // `args`: the arguments after the program name, in UTF-8. `version`: the program's
    // version for --version.
    static CommandLine Parse(const std::vector<std::string>& args, PortRules rules,
                             const std::string& version);

    Action action() const { return action_; }
    const PortChoice& port() const { return port_; }
    // What to print for ShowHelp, ShowVersion and UsageError; it ends in a line break.
    const std::string& text() const { return text_; }
    int exitCode() const { return action_ == Action::UsageError ? kUsageErrorExit : 0; }

    // The same line turned into a mistake because its port can never be one: `what` says
    // what the path is instead ("ein Verzeichnis"). The command line itself looks at no file.
    CommandLine RefusePort(const std::string& what) const;

    // The texts by themselves.
    static std::string HelpText(PortRules rules);
    static std::string VersionText(const std::string& version);
    // "pio-out: <what> – „pio-out --help“ zeigt die Optionen.\n"
    static std::string ErrorLine(const std::string& what);
    // A word from outside (an argument, an environment variable) as an error line shows it, in
    // „“: whatever could break the line or act on a terminal (controls, line separators) and
    // bytes that are no valid UTF-8 become "?", so the message stays one plain line.
    static std::string Quoted(const std::string& word);

private:
    CommandLine(Action action, PortChoice port, std::string text)
        : action_(action), port_(std::move(port)), text_(std::move(text)) {}

    Action action_;
    PortChoice port_;
    std::string text_;
};
