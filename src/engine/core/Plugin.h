#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// The program's plugins: private shared libraries that hold what links a
// heavy library (ImageMagick, OpenSSL), so that the programs load it only
// when a picture or a connection needs it. Each plugin exports one C
// function, its entry, that returns a table of function pointers starting
// with a PluginHeader; a table of another version is refused, so a stale
// plugin is an error and never a call through the wrong layout. Nothing
// thrown inside a plugin leaves it: its functions answer with outcomes and
// texts that the engine turns into its own errors.

namespace vextral {

// The first fields of every plugin's table.
struct PluginHeader {
    std::uint32_t version; // of the table's layout and meaning
    std::uint32_t size;    // sizeof the table
};

// Where the plugins are: $VEXTRAL_PLUGIN_DIR when it is set and not empty,
// else <program folder>/../<libdir>/vextral (the library folder of the
// installation, or of the build tree, beside its bin folder).
std::string pluginFolder();

// What loading a plugin came to: its table, or why there is none.
struct LoadedPlugin {
    const PluginHeader* table = nullptr;
    // When there is no table: false when the plugin or a library it needs is
    // not installed (the libraries behind a plugin are recommended, not
    // required), true when it is there but cannot be used.
    bool broken = false;
    // What is wrong with a broken plugin: "the plugin /x/libvextral-tls.so
    // cannot be used: invalid ELF header"; empty otherwise.
    std::string problem;
};

// Opens fileName in folder (RTLD_NOW | RTLD_LOCAL), calls its entry (a C
// function "const T* entry(void)") and checks that the table has the
// version and size given. The library stays loaded for the rest of the
// process. Never throws for a missing or broken plugin; callers load each
// plugin once (a function-local static) and keep the result.
LoadedPlugin loadPlugin(const std::string& folder, const char* fileName, const char* entry, std::uint32_t version,
                        std::size_t size);

// The same in pluginFolder(), for the table type Table (whose first field is
// its PluginHeader).
template <typename Table>
struct Plugin {
    const Table* table = nullptr;
    bool broken = false;
    std::string problem;
};

template <typename Table>
Plugin<Table> loadPluginTable(const char* fileName, const char* entry, std::uint32_t version)
{
    LoadedPlugin loaded = loadPlugin(pluginFolder(), fileName, entry, version, sizeof(Table));
    return {reinterpret_cast<const Table*>(loaded.table), loaded.broken, std::move(loaded.problem)};
}

} // namespace vextral
