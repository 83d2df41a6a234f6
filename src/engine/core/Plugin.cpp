#include "core/Plugin.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

// The plugins' folder below the installation's prefix, from CMake's
// GNUInstallDirs (CMAKE_INSTALL_LIBDIR): "lib/vextral", or an absolute
// folder when the library folder was given as one.
#ifndef VEXTRAL_PLUGIN_SUBDIR
#error "VEXTRAL_PLUGIN_SUBDIR is set by src/engine/CMakeLists.txt"
#endif

namespace vextral {

namespace {

// The folder of the running program, from /proc/self/exe; empty when the
// link cannot be read.
std::string programFolder()
{
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string unusable(const std::string& path, const std::string& why)
{
    return "the plugin " + path + " cannot be used: " + why;
}

} // namespace

std::string pluginFolder()
{
    if (const char* folder = std::getenv("VEXTRAL_PLUGIN_DIR"); folder && *folder) return folder;
    const std::string_view below = VEXTRAL_PLUGIN_SUBDIR;
    if (below.starts_with('/')) return std::string(below);
    const std::string program = programFolder();
    return (program.empty() ? std::string(".") : program) + "/../" + std::string(below);
}

LoadedPlugin loadPlugin(const std::string& folder, const char* fileName, const char* entry, std::uint32_t version,
                        std::size_t size)
{
    LoadedPlugin loaded;
    const std::string path = folder + "/" + fileName;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) return loaded;
    ::dlerror();
    // Once opened, a library stays mapped even when it is refused: its
    // constructors, and those of the libraries it brought in, may have left
    // exit handlers and thread destructors that point into its code.
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) {
        const char* text = ::dlerror();
        std::string error = text ? text : "it cannot be loaded";
        // A library the plugin needs that is not installed: the dynamic
        // loader names that library, not the plugin.
        if (error.find("cannot open shared object file") != std::string::npos && !error.starts_with(path + ":")) {
            return loaded;
        }
        if (error.starts_with(path + ": ")) error.erase(0, path.size() + 2);
        loaded.broken = true;
        loaded.problem = unusable(path, error);
        return loaded;
    }
    using Entry = const void* (*)();
    // POSIX lets a function's address come back from dlsym as a void*.
    const auto function = reinterpret_cast<Entry>(::dlsym(library, entry));
    if (!function) {
        ::dlclose(library);
        loaded.broken = true;
        loaded.problem = unusable(path, std::string("it has no function ") + entry);
        return loaded;
    }
    const auto* table = static_cast<const PluginHeader*>(function());
    if (!table || table->version != version || table->size != size) {
        const std::string found =
            table ? "version " + std::to_string(table->version) + " of " + std::to_string(table->size) + " bytes"
                  : "no table";
        ::dlclose(library);
        loaded.broken = true;
        loaded.problem = unusable(path, "it has " + found + ", this program needs version " + std::to_string(version) +
                                            " of " + std::to_string(size) + " bytes");
        return loaded;
    }
    loaded.table = table;
    return loaded;
}

} // namespace vextral
