#pragma once

#include <ostream>
#include <string>

namespace vextral::cli {

// What "--version" prints: "vextral-cli", the program's version and a line end.
std::string versionLine();

// Makes sure dir is a folder the command can write into, creating it and its
// parents when missing. When it cannot, prints "<command>: cannot use folder
// DIR: <the system's reason>" to err and returns false.
bool prepareOutputFolder(const std::string& dir, std::ostream& err, const std::string& command);

// A usage error of "vextral-cli <command>": the message, then where to find
// the command's options.
void printUsageError(std::ostream& err, const std::string& command, const std::string& message);

// "1 icon", "2 icons", "0 icons": the count and the noun, plural unless the count is 1.
std::string counted(long long count, const std::string& noun);

// What a summary line adds for outputs saved under a numbered name: "; 1 was
// renamed <why>", "; 2 were renamed <why>", nothing for 0.
std::string renamedText(int count, const std::string& why);

// The width of the terminal on standard error in columns; 80 when it cannot be told.
int terminalColumns();

} // namespace vextral::cli
