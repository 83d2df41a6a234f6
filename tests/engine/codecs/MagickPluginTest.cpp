// The formats ImageMagick reads when its plugin, or ImageMagick itself, is
// missing or broken: those formats say what they need, every other format
// converts as ever, and nothing crashes. Each case is a run of vextral-cli
// of its own, since a process loads the plugin once.

#include "codecs/MagickPlugin.h"
#include "core/Plugin.h"

#include "TestSupport.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace vextral::codecs {
namespace {

namespace fs = std::filesystem;
using test::CliResult;

std::string convertFixture(const std::string& name) { return test::fixture("convert/" + name).string(); }

// vextral-cli convert FILE --to OUT with the plugins looked for in folder.
CliResult convertWith(const std::string& folder, const std::string& file, const fs::path& out)
{
    return test::runCliProgram({"convert", file, "--to", out.string()},
                               "VEXTRAL_PLUGIN_DIR=" + test::shellQuote(folder) + " ");
}

std::string builtPlugin()
{
    test::ScopedEnv unset("VEXTRAL_PLUGIN_DIR", nullptr);
    return (fs::path(pluginFolder()) / kMagickPluginFile).string();
}

// "<file>: <Family> pictures need ImageMagick (package libmagick++-6.q16-8)"
// as the command line says it.
std::string needs(const std::string& file, const std::string& family)
{
    return "vextral-cli convert: " + file + ": " + family + " pictures need ImageMagick (package " + kMagickPackage +
           ")";
}

TEST(MagickPlugin, WithoutItOnlyImageMagicksFormatsFail)
{
    test::TempDir empty, out;
    const std::string folder = empty.path().string();
    for (const auto& [name, family] :
         {std::pair {"layers.psd", "Photoshop"}, std::pair {"colour.tif", "TIFF"},
          std::pair {"colour.pcx", "ZSoft Paintbrush"}, std::pair {"colour.tga", "Truevision Targa"},
          std::pair {"grey.pgm", "Portable graymap"}, std::pair {"preview.eps", "Encapsulated PostScript"}}) {
        SCOPED_TRACE(name);
        const std::string file = convertFixture(name);
        const CliResult result = convertWith(folder, file, out / "picture.png");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, needs(file, family) + "\n");
        EXPECT_FALSE(fs::exists(out / "picture.png"));
    }
    // Said whether or not the file is there, as for other formats nothing reads.
    const CliResult missing = convertWith(folder, "/nonexistent/picture.psd", out / "picture.png");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, needs("/nonexistent/picture.psd", "Photoshop") + "\n");

    // Our own readers need no plugin.
    for (const char* name : {"colour.png", "colour.jpg", "colour16.gif", "colour.rla"}) {
        SCOPED_TRACE(name);
        const fs::path picture = out / (std::string(name) + ".bmp");
        const CliResult result = convertWith(folder, convertFixture(name), picture);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_GT(fs::file_size(picture), 54u);
    }
    const CliResult icon = convertWith(folder, test::fixture("multi.ico").string(), out / "icon.png");
    EXPECT_EQ(icon.status, 0) << icon.err;

    // With the plugin the same files read.
    const CliResult psd =
        convertWith(fs::path(builtPlugin()).parent_path().string(), convertFixture("layers.psd"), out / "layers.png");
    EXPECT_EQ(psd.status, 0) << psd.err;
    EXPECT_TRUE(fs::is_regular_file(out / "layers.png"));
}

TEST(MagickPlugin, ImageMagickMissingBehindThePluginIsTheSameMessage)
{
    // The plugin as installed, with the ImageMagick library it needs not
    // there (a copy that names a library no system has).
    test::TempDir dir, out;
    std::vector<std::uint8_t> bytes = test::readBytes(builtPlugin());
    const std::string from = "libMagick++", to = "libNoMagick";
    int renamed = 0;
    for (auto at = bytes.begin(); (at = std::search(at, bytes.end(), from.begin(), from.end())) != bytes.end();
         ++renamed)
        at = std::copy(to.begin(), to.end(), at);
    ASSERT_GT(renamed, 0);
    test::writeBytes(dir / kMagickPluginFile, bytes);
    const std::string file = convertFixture("colour.tif");
    const CliResult result = convertWith(dir.path().string(), file, out / "picture.png");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, needs(file, "TIFF") + "\n");
}

TEST(MagickPlugin, BrokenOrForeignPluginIsAClearError)
{
    test::TempDir out;
    const std::string file = convertFixture("layers.psd");
    // Text, and a library that is not this plugin (the TLS plugin).
    test::TempDir text, foreign;
    const std::string words = "Not a library at all, only words that are long enough for the ELF header.\n";
    test::writeBytes(text / kMagickPluginFile, std::vector<std::uint8_t>(words.begin(), words.end()));
    fs::copy_file(fs::path(builtPlugin()).parent_path() / "libvextral-tls.so", foreign / kMagickPluginFile);
    for (const auto& [dir, why] : {std::pair {&text, std::string("invalid ELF header")},
                                   std::pair {&foreign, std::string("it has no function ") + kMagickPluginEntry}}) {
        SCOPED_TRACE(why);
        const CliResult result = convertWith(dir->path().string(), file, out / "picture.png");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, needs(file, "Photoshop") + ": the plugin " + (*dir / kMagickPluginFile).string() +
                                  " cannot be used: " + why + "\n");
        // PNG still converts.
        EXPECT_EQ(convertWith(dir->path().string(), convertFixture("colour.png"), out / "colour.bmp").status, 0);
    }
}

} // namespace
} // namespace vextral::codecs
