#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vextral::cli {

// vextral-cli convert --to FORMAT|OUT [--out DIR] [--quality N] FILE...
// Reads each FILE as the converter does and writes it in another format:
// the one FILE as OUT (its extension chooses the format), or every FILE as
// FORMAT, named after it, in DIR or the current folder. Returns the exit
// status: 0 when every file was converted, 1 otherwise, 2 for a usage error.
// It draws no progress: progressToTerminal is there for the command table.
int runConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool progressToTerminal = false);

extern const char* const kConvertUsage;

} // namespace vextral::cli
