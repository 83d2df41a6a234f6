#include "core/OutputFolder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace vextral {

std::string prepareOutputFolder(const std::string& folder)
{
    if (folder.empty()) return "the folder name is empty";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return ec.message();
    if (!std::filesystem::is_directory(folder, ec)) return ec ? ec.message() : "Not a directory";
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    return {};
}

} // namespace vextral
