#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vextral::cli {

// vextral-cli icons [--extract DIR] FILE...
// Lists each file's icons and their images; with --extract writes each icon's
// original form to DIR as <file name>_<index>.ico. Returns the exit status:
// 0 when every file could be read, 1 otherwise, 2 for a usage error. It
// draws no progress: progressToTerminal is there for the command table.
int runIcons(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             bool progressToTerminal = false);

extern const char* const kIconsUsage;

} // namespace vextral::cli
