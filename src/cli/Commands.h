#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace vextral::cli {

// One command of vextral-cli: its name, its line in the program's usage
// (synopsis and summary), the text of its --help, and what runs it. A run
// returns the exit status; progressToTerminal says that err is a terminal,
// where a progress line may be drawn.
struct Command {
    const char* name;
    const char* synopsis;
    const char* summary;
    const char* help;
    int (*run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal);
};

// The command table: icons, harvest, convert, web and help, in the order the
// usage lists them.
std::span<const Command> commands();

// The program's usage, built from the command table.
std::string programUsage();

// vextral-cli itself: args are the program's arguments without its name.
// No arguments print the usage (status 2); "--help" and "-h" print it
// (status 0), "--version" the version; otherwise the first argument names the
// command that gets the rest.
int runVextralCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal);

} // namespace vextral::cli
