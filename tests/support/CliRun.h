#pragma once

#include "TestSupport.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace vextral::test {

// What a run of vextral-cli (or of one of its commands) said and how it ended.
struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// A command of vextral-cli as the command table runs it (runIcons, runHarvest, ...).
using CliCommand = int (*)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                           bool progressToTerminal);

// Runs a command in this process, without a progress line.
CliResult runCli(CliCommand command, const std::vector<std::string>& args);

// The settings file of a test's home folder, made empty unless the test wrote it.
std::string settingsIn(const TempDir& home);

// Runs a command with "--settings <home>/Option.ini" before args.
CliResult runCliIn(const TempDir& home, CliCommand command, std::vector<std::string> args);

// Runs the built program as scripts run it: its exit status, standard output
// and standard error. before is shell text put in front of the command.
CliResult runCliProgram(const std::vector<std::string>& args, const std::string& before = "");

} // namespace vextral::test
