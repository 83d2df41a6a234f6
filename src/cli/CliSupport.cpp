#include "cli/CliSupport.h"

#include "core/OutputFolder.h"
#include "core/ProductInfo.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace vextral::cli {

std::string versionLine() { return std::string("vextral-cli ") + product::kVersion + "\n"; }

bool prepareOutputFolder(const std::string& dir, std::ostream& err, const std::string& command)
{
    const std::string reason = vextral::prepareOutputFolder(dir);
    if (reason.empty()) return true;
    err << command << ": cannot use folder " << dir << ": " << reason << "\n";
    return false;
}

void printUsageError(std::ostream& err, const std::string& command, const std::string& message)
{
    err << "vextral-cli " << command << ": " << message << "\n"
        << "Run 'vextral-cli " << command << " --help' for its options.\n";
}

std::string counted(long long count, const std::string& noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string renamedText(int count, const std::string& why)
{
    if (count == 0) return "";
    return "; " + std::to_string(count) + (count == 1 ? " was" : " were") + " renamed " + why;
}

int terminalColumns()
{
    winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

} // namespace vextral::cli
