#pragma once

#include "cli/Arguments.h"
#include "settings/Settings.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vextral::cli {

// A command's options as its arguments give them. The front door walks the
// arguments: operands go to operands, "--help", "--version" (and, for a
// command that reads the settings, "--settings FILE") it takes itself, and
// every other option goes to option().
class CommandOptions {
public:
    CommandOptions() = default;
    CommandOptions(const CommandOptions&) = delete;
    CommandOptions& operator=(const CommandOptions&) = delete;
    virtual ~CommandOptions() = default;

    // Takes the option the walk stands on (a.name()), reading its value from
    // a; false when the command has no option of that name. Throws
    // UsageError for a value it refuses.
    virtual bool option(Arguments& a) = 0;
    // Once the last argument is taken (not after --help or --version):
    // throws UsageError for what is missing or does not go together.
    virtual void check() {}

    std::vector<std::string> operands;
};

// Where a command writes, and whether standard error is a terminal, where
// the progress line is drawn.
struct CommandIo {
    std::ostream& out;
    std::ostream& err;
    bool progressToTerminal = false;
};

// The front door every command of vextral-cli shares. Walks args into
// options; "--help" prints help and "--version" the version line on out
// (status 0); a usage error prints "vextral-cli <name>: <message>" and where
// to find the options on err (status 2). Otherwise runs body and returns its
// status.
int runCommand(const char* name, const char* help, const std::vector<std::string>& args, CommandOptions& options,
               const CommandIo& io, const std::function<int()>& body);

// The same for a command that reads the settings: it takes "--settings FILE"
// too, and body runs with the settings loaded by loadCommandSettings (status 2
// when FILE cannot be read).
int runCommand(const char* name, const char* help, const std::vector<std::string>& args, CommandOptions& options,
               const CommandIo& io, const std::function<int(settings::Settings&)>& body);

// The settings a command runs with: FILE when --settings named one, else the
// Option.ini the desktop program reads. A FILE that cannot be read is said
// on err and gives nothing (a usage error); a background that is no colour is
// said and white is used.
std::optional<settings::Settings> loadCommandSettings(const std::optional<std::string>& file, std::ostream& err,
                                                      const std::string& command);

} // namespace vextral::cli
