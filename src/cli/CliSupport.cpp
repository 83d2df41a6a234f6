#include "cli/CliSupport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace vextral::cli {

bool prepareOutputFolder(const std::string& dir, std::ostream& err, const std::string& command)
{
    std::string reason;
    if (dir.empty()) {
        reason = "the folder name is empty";
    } else {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            reason = ec.message();
        } else if (!std::filesystem::is_directory(dir, ec)) {
            reason = ec ? ec.message() : "Not a directory";
        } else if (::access(dir.c_str(), W_OK | X_OK) != 0) {
            reason = std::strerror(errno);
        }
    }
    if (reason.empty()) return true;
    err << command << ": cannot use folder " << dir << ": " << reason << "\n";
    return false;
}

} // namespace vextral::cli
