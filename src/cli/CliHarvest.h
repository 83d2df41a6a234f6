#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vextral::cli {

// vextral-cli harvest [options] PATH...
// Harvests files and folders as the main window does and optionally saves
// every icon. Returns the exit status (0 success, 1 failure, 2 usage error).
// progressToTerminal draws a progress line on err.
int runHarvest(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal);

extern const char* const kHarvestUsage;

} // namespace vextral::cli
