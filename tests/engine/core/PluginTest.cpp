// The plugin loader: where the plugins are looked for, and what a missing,
// foreign, stale or broken file comes to (never a crash, never a table of
// the wrong layout).

#include "core/Plugin.h"
#include "codecs/MagickPlugin.h"
#include "net/TlsPlugin.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vextral {
namespace {

// The plugins of this build, beside the test program's folder.
std::string builtPlugins()
{
    test::ScopedEnv unset("VEXTRAL_PLUGIN_DIR", nullptr);
    return pluginFolder();
}

// A copy of a built plugin under another name, with each of its bytes
// strings from replaced by to (of the same length).
void copyPlugin(const char* plugin, const std::filesystem::path& to, const std::string& from = "",
                const std::string& by = "")
{
    std::vector<std::uint8_t> bytes = test::readBytes(std::filesystem::path(builtPlugins()) / plugin);
    ASSERT_FALSE(bytes.empty());
    if (!from.empty()) {
        ASSERT_EQ(from.size(), by.size());
        int replaced = 0;
        for (auto at = bytes.begin(); (at = std::search(at, bytes.end(), from.begin(), from.end())) != bytes.end();) {
            at = std::copy(by.begin(), by.end(), at);
            ++replaced;
        }
        ASSERT_GT(replaced, 0) << from;
    }
    test::writeBytes(to, bytes);
}

LoadedPlugin loadMagick(const std::string& folder, std::uint32_t version = codecs::kMagickPluginVersion,
                        std::size_t size = sizeof(codecs::MagickPlugin))
{
    return loadPlugin(folder, codecs::kMagickPluginFile, codecs::kMagickPluginEntry, version, size);
}

TEST(Plugin, FolderFromTheEnvironmentOrBesideTheProgram)
{
    {
        test::ScopedEnv folder("VEXTRAL_PLUGIN_DIR", "/opt/elsewhere/plugins");
        EXPECT_EQ(pluginFolder(), "/opt/elsewhere/plugins");
    }
    {
        // An empty value is no folder.
        test::ScopedEnv folder("VEXTRAL_PLUGIN_DIR", "");
        const std::string program = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
        EXPECT_EQ(pluginFolder().rfind(program + "/../", 0), 0u) << pluginFolder();
        EXPECT_TRUE(pluginFolder().ends_with("/vextral")) << pluginFolder();
    }
    // The build tree holds the plugins where an installation does.
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(builtPlugins()) / codecs::kMagickPluginFile));
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(builtPlugins()) / net::kTlsPluginFile));
}

TEST(Plugin, BuiltPluginsLoadWithTheirTables)
{
    const LoadedPlugin magick = loadMagick(builtPlugins());
    ASSERT_NE(magick.table, nullptr) << magick.problem;
    EXPECT_EQ(magick.table->version, codecs::kMagickPluginVersion);
    const auto* table = reinterpret_cast<const codecs::MagickPlugin*>(magick.table);
    EXPECT_TRUE(table->start && table->reads && table->read);
    const LoadedPlugin tls = loadPlugin(builtPlugins(), net::kTlsPluginFile, net::kTlsPluginEntry,
                                        net::kTlsPluginVersion, sizeof(net::TlsPlugin));
    ASSERT_NE(tls.table, nullptr) << tls.problem;
}

TEST(Plugin, NotInstalledIsNoProblemText)
{
    // No plugin at all, no folder at all.
    test::TempDir empty;
    for (const std::string& folder : {empty.path().string(), (empty / "missing").string()}) {
        const LoadedPlugin loaded = loadMagick(folder);
        EXPECT_EQ(loaded.table, nullptr);
        EXPECT_FALSE(loaded.broken);
        EXPECT_EQ(loaded.problem, "");
    }
    // The plugin is there but a library it needs is not (as when the
    // recommended ImageMagick package is left out).
    test::TempDir dir;
    copyPlugin(codecs::kMagickPluginFile, dir / codecs::kMagickPluginFile, "libMagick++", "libNoMagick");
    const LoadedPlugin loaded = loadMagick(dir.path().string());
    EXPECT_EQ(loaded.table, nullptr);
    EXPECT_FALSE(loaded.broken) << loaded.problem;
    EXPECT_EQ(loaded.problem, "");
}

TEST(Plugin, ForeignStaleAndBrokenFilesAreRefusedWithTheirReason)
{
    // Each case in a folder of its own: a library once loaded stays known
    // to the dynamic loader by its name.
    std::vector<std::unique_ptr<test::TempDir>> folders;
    const auto place = [&folders] {
        folders.push_back(std::make_unique<test::TempDir>());
        return (*folders.back() / codecs::kMagickPluginFile).string();
    };
    const auto expectRefused = [](const std::string& path, const LoadedPlugin& loaded, const std::string& why) {
        EXPECT_EQ(loaded.table, nullptr);
        EXPECT_TRUE(loaded.broken);
        EXPECT_EQ(loaded.problem, "the plugin " + path + " cannot be used: " + why);
    };
    const auto folderOf = [](const std::string& path) { return std::filesystem::path(path).parent_path().string(); };

    // Not a library: text, an empty file, a folder.
    const std::string text = "This is no shared library, only text that is long enough for an ELF header.\n";
    std::string path = place();
    test::writeBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    expectRefused(path, loadMagick(folderOf(path)), "invalid ELF header");
    path = place();
    test::writeBytes(path, {});
    expectRefused(path, loadMagick(folderOf(path)), "file too short");
    path = place();
    std::filesystem::create_directory(path);
    EXPECT_TRUE(loadMagick(folderOf(path)).broken);

    // A library, but not this plugin: no entry function.
    path = place();
    copyPlugin(net::kTlsPluginFile, path);
    expectRefused(path, loadMagick(folderOf(path)), std::string("it has no function ") + codecs::kMagickPluginEntry);

    // This plugin of another version or layout: its table is never used.
    path = place();
    copyPlugin(codecs::kMagickPluginFile, path);
    const std::string found = "it has version " + std::to_string(codecs::kMagickPluginVersion) + " of " +
                              std::to_string(sizeof(codecs::MagickPlugin)) + " bytes, this program needs ";
    expectRefused(path, loadMagick(folderOf(path), codecs::kMagickPluginVersion + 1),
                  found + "version " + std::to_string(codecs::kMagickPluginVersion + 1) + " of " +
                      std::to_string(sizeof(codecs::MagickPlugin)) + " bytes");
    expectRefused(path, loadMagick(folderOf(path), codecs::kMagickPluginVersion, sizeof(codecs::MagickPlugin) + 8),
                  found + "version " + std::to_string(codecs::kMagickPluginVersion) + " of " +
                      std::to_string(sizeof(codecs::MagickPlugin) + 8) + " bytes");

    // A library that needs a function no library has.
    path = place();
    copyPlugin(codecs::kMagickPluginFile, path, "InitializeMagick", "InitializeMagicQ");
    const LoadedPlugin unresolved = loadMagick(folderOf(path));
    EXPECT_EQ(unresolved.table, nullptr);
    EXPECT_TRUE(unresolved.broken);
    EXPECT_NE(unresolved.problem.find("undefined symbol"), std::string::npos) << unresolved.problem;
}

} // namespace
} // namespace vextral
