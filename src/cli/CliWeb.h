#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vextral::cli {

extern const char* const kWebUsage;

// "vextral-cli web": harvests the PATHs as "harvest" does and writes the web
// gallery of the icons into the --out folder, as the desktop program's
// "Create Web Page" dialog writes it. Returns the exit status.
int runWeb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal);

} // namespace vextral::cli
