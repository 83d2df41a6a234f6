// The command line and the thumbnailer start with few libraries: ImageMagick
// (with X11 and OpenMP behind it) and OpenSSL are in plugins, loaded only
// when a picture or a connection needs them.

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

namespace test = vextral::test;

const std::vector<std::string> kHeavy = {"libMagick", "libX11", "libgomp", "libssl", "libcrypto"};

// The lines of text that name one of the heavy libraries.
std::vector<std::string> heavyLines(const std::string& text)
{
    std::vector<std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        for (const std::string& name : kHeavy) {
            if (line.find(name) != std::string::npos) found.push_back(line);
        }
    }
    return found;
}

// Runs command with the dynamic loader saying which files it opens (on
// standard error, here joined to the output).
std::string filesOpened(const std::string& command)
{
    std::string output;
    test::runCommand("LD_DEBUG=files " + command + " 2>&1 >/dev/null", &output);
    return output;
}

TEST(ProgramLibraries, LinkedWithoutImageMagickOrOpenSsl)
{
    for (const char* program : {VEXTRAL_CLI, VEXTRAL_THUMBNAILER}) {
        SCOPED_TRACE(program);
        std::string libraries;
        ASSERT_EQ(test::runCommand("ldd " + test::shellQuote(program), &libraries), 0);
        ASSERT_NE(libraries.find("libc.so"), std::string::npos) << libraries;
        EXPECT_EQ(heavyLines(libraries), std::vector<std::string> {}) << libraries;
    }
}

TEST(ProgramLibraries, LoadedOnlyWhenNeeded)
{
    test::TempDir dir;
    const std::string cli = test::shellQuote(VEXTRAL_CLI);
    const std::string dll = test::shellQuote(test::fixture("icons64.dll").string());
    // Listing, extracting and drawing icons loads none of them.
    const std::string listed = filesOpened(cli + " icons " + dll);
    ASSERT_NE(listed.find("libstdc++"), std::string::npos) << listed;
    EXPECT_EQ(heavyLines(listed), std::vector<std::string> {}) << listed;
    EXPECT_EQ(heavyLines(filesOpened(cli + " icons --extract " + test::shellQuote(dir.path().string()) + " " + dll)),
              std::vector<std::string> {});
    const std::string thumbnail = filesOpened(test::shellQuote(VEXTRAL_THUMBNAILER) + " -s 64 " + dll + " " +
                                              test::shellQuote((dir / "thumbnail.png").string()));
    EXPECT_EQ(heavyLines(thumbnail), std::vector<std::string> {}) << thumbnail;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "thumbnail.png"));
    // A PNG converts without them; a TIFF file loads ImageMagick.
    const std::string png =
        filesOpened(cli + " convert " + test::shellQuote(test::fixture("convert/colour.png").string()) + " --to " +
                    test::shellQuote((dir / "colour.bmp").string()));
    EXPECT_EQ(heavyLines(png), std::vector<std::string> {}) << png;
    const std::string tiff =
        filesOpened(cli + " convert " + test::shellQuote(test::fixture("convert/colour.tif").string()) + " --to " +
                    test::shellQuote((dir / "colour.png").string()));
    EXPECT_NE(tiff.find("libvextral-magick.so"), std::string::npos) << tiff;
    EXPECT_NE(tiff.find("libMagickCore"), std::string::npos) << tiff;
}

} // namespace
