#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace vextral::platform {

std::string programFolder()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path folder = exe.parent_path();
        if (::access(folder.c_str(), W_OK) == 0) return folder.string();
    }
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = fs::path(home) / ".config";
    } else {
        config = fs::temp_directory_path(ec);
        if (ec) config = "/tmp";
    }
    const fs::path folder = config / "vextral";
    fs::create_directories(folder, ec);
    return folder.string();
}

} // namespace vextral::platform
