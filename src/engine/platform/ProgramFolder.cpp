#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vextral::platform {

namespace {

namespace fs = std::filesystem;

// Whether path is root or lies below it, by its components: /usr/bin and
// /usr are, /usrlocal is not.
bool isUnder(const fs::path& path, const fs::path& root)
{
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (p == path.end() || *p != *r) return false;
    }
    return true;
}

} // namespace

bool keepsFilesBeside(const std::string& folder, uid_t owner, uid_t user, bool writable)
{
    const fs::path path = fs::path(folder).lexically_normal();
    if (!path.is_absolute()) return false;
    for (const char* system : {"/usr", "/opt"}) {
        if (isUnder(path, system)) return false;
    }
    return owner == user && writable;
}

std::string configFolder()
{
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = fs::path(home) / ".config";
    } else {
        std::error_code ec;
        config = fs::temp_directory_path(ec);
        if (ec) config = "/tmp";
    }
    return (config / "vextral").string();
}

std::string programFolderFor(const std::string& folder)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
        keepsFilesBeside(folder, st.st_uid, ::geteuid(),
                         ::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) == 0)) {
        return folder;
    }
    std::string config = configFolder();
    std::error_code ec;
    fs::create_directories(config, ec);
    return config;
}

std::string programFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    // Without its own path the program has no folder of its own to keep.
    if (ec) return programFolderFor("");
    return programFolderFor(exe.parent_path().string());
}

} // namespace vextral::platform
