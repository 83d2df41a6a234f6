#include "cli/CliConvert.h"
#include "codecs/Writers.h"
#include "platform/PictureFile.h"

#include "engine/codecs/ConvertFixtures.h"
#include "engine/codecs/WriterReadBack.h"

#include "support/CliRun.h"

#include <gtest/gtest.h>

using vextral::test::CliResult;
using vextral::test::convertFixture;
using vextral::test::runCliProgram;
using vextral::test::TempDir;

namespace {

CliResult convert(const std::vector<std::string>& args)
{
    return vextral::test::runCli(vextral::cli::runConvert, args);
}

std::string fx(const std::string& name) { return convertFixture(name).string(); }

const std::string kColourText = vextral::test::describe(vextral::test::kColour);

TEST(CliConvert, OneFileToTheNamedOutput)
{
    TempDir dir;
    const std::string out = (dir / "out.BMP").string();
    const CliResult r = convert({fx("colour.tga"), "--to", out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, fx("colour.tga") + " -> " + out + "\n");
    const auto bytes = vextral::test::readBytes(out);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(vextral::test::readBack("magick", out), kColourText);

    // --to=OUT, and an icon drawn over white at 32 x 32.
    const std::string png = (dir / "icon.png").string();
    EXPECT_EQ(convert({"--to=" + png, vextral::test::fixture("multi.ico").string()}).status, 0);
    const std::string icon = vextral::test::readBack("magick", png);
    EXPECT_EQ(icon.rfind("32 x 32: ffffff", 0), 0u) << icon.substr(0, 40);
}

TEST(CliConvert, ManyFilesToAFormat)
{
    TempDir dir;
    const std::string outDir = (dir / "made/here").string(); // created on demand
    const CliResult r = convert({"--to", "GIF", "--out", outDir, fx("colour.png"), fx("colour.tga"), fx("grey.pgm")});
    EXPECT_EQ(r.status, 0) << r.err;
    // Two inputs named colour: the second one's output is renamed.
    EXPECT_EQ(r.out, fx("colour.png") + " -> " + outDir + "/colour.gif\n" + fx("colour.tga") + " -> " + outDir +
                         "/colour (2).gif\n" + fx("grey.pgm") + " -> " + outDir +
                         "/grey.gif\n"
                         "Converted 3 files; 1 was renamed because an earlier file was converted to the same name\n");
    for (const char* name : {"colour.gif", "colour (2).gif", "grey.gif"}) {
        EXPECT_EQ(vextral::test::readBack("magick", dir / ("made/here/" + std::string(name))).substr(0, 7), "4 x 3: ")
            << name;
    }

    // Without --out, into the current folder; "jpeg" and "tiff" name formats too.
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const CliResult jpeg = convert({"--to=jpeg", fx("colour.sgi")});
    const CliResult tiff = convert({"--to", "tiff", fx("colour.sgi")});
    std::filesystem::current_path(here);
    EXPECT_EQ(jpeg.status, 0) << jpeg.err;
    EXPECT_EQ(jpeg.out, fx("colour.sgi") + " -> colour.jpg\n");
    EXPECT_EQ(tiff.out, fx("colour.sgi") + " -> colour.tif\n");
    EXPECT_EQ(vextral::test::readBack("magick", dir / "colour.tif"), kColourText);
}

// The real program, in dir: what it said, and what became of what it was given.
CliResult convertIn(const TempDir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> all {"convert"};
    all.insert(all.end(), args.begin(), args.end());
    return runCliProgram(all, "cd " + vextral::test::shellQuote(dir.path().string()) + " && ");
}

TEST(CliConvert, NeverWritesOverAnInputNorOverItsOwnOutput)
{
    namespace fs = std::filesystem;
    using vextral::test::readBytes;
    TempDir dir;
    // b.gif's output would be b.png, the picture converted after it, and
    // b.png's its own file; x.png too. The PNGs have alpha, which the
    // conversion draws over white.
    fs::copy_file(fx("colour16.gif"), dir / "b.gif");
    fs::copy_file(fx("alpha.png"), dir / "b.png");
    fs::copy_file(fx("alpha.png"), dir / "x.png");
    const auto alpha = readBytes(fx("alpha.png"));
    const std::string opaque = vextral::test::describe(vextral::test::kAlphaOverWhite);
    CliResult r = convertIn(dir, {"b.gif", "b.png", "--to", "png"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "b.gif -> b (2).png\nb.png -> b (3).png\n"
                     "Converted 2 files; 2 were renamed so as not to overwrite an input file\n");
    EXPECT_EQ(readBytes(dir / "b.png"), alpha);
    EXPECT_EQ(vextral::test::readBack("magick", dir / "b (2).png").substr(0, 7), "4 x 3: ");
    EXPECT_EQ(vextral::test::readBack("magick", dir / "b (3).png"), opaque);

    // A file onto itself, by format or by name; a file of an earlier run that
    // is not an input is replaced as before.
    for (int run = 0; run < 2; ++run) {
        r = convertIn(dir, {"x.png", "--to", "png"});
        EXPECT_EQ(r.out, "x.png -> x (2).png\nConverted 1 file; 1 was renamed so as not to overwrite an input file\n");
    }
    r = convertIn(dir, {"--to", "./x.png", "x.png"});
    EXPECT_EQ(r.out, "x.png -> ./x (2).png\nConverted 1 file; 1 was renamed so as not to overwrite an input file\n");
    EXPECT_EQ(readBytes(dir / "x.png"), alpha);
    EXPECT_EQ(vextral::test::readBack("magick", dir / "x (2).png"), opaque);
    EXPECT_FALSE(fs::exists(dir / "x (3).png"));

    // --out DIR holding the inputs: only the names that land on an input change.
    fs::create_directory(dir / "pics");
    fs::copy_file(fx("alpha.png"), dir / "pics/a.png");
    fs::copy_file(fx("colour.tga"), dir / "pics/c.tga");
    vextral::test::writeBytes(dir / "pics/c.png", {1, 2, 3}); // from an earlier run
    r = convertIn(dir, {"--to", "png", "--out", "pics", "pics/a.png", "pics/c.tga"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "pics/a.png -> pics/a (2).png\npics/c.tga -> pics/c.png\n"
                     "Converted 2 files; 1 was renamed so as not to overwrite an input file\n");
    EXPECT_EQ(readBytes(dir / "pics/a.png"), alpha);
    EXPECT_EQ(vextral::test::readBack("magick", dir / "pics/c.png"), kColourText);

    // The input reached through a link to its folder or a hard link: the
    // output's path differs, its file is the input's.
    fs::create_directory_symlink("pics", dir / "alias");
    fs::create_directory(dir / "hard");
    fs::create_hard_link(dir / "pics/a.png", dir / "hard/a.png");
    for (const std::string input : {"alias/a.png", "hard/a.png"}) {
        r = convertIn(dir, {input, "--to", "png", "--out", "pics"});
        EXPECT_EQ(r.out,
                  input + " -> pics/a (2).png\nConverted 1 file; 1 was renamed so as not to overwrite an input file\n");
        EXPECT_EQ(readBytes(dir / "pics/a.png"), alpha) << input;
    }
    // The output named through a link to the input.
    fs::create_symlink("pics/a.png", dir / "link.png");
    r = convertIn(dir, {"pics/a.png", "--to", "link.png"});
    EXPECT_EQ(r.out,
              "pics/a.png -> link (2).png\nConverted 1 file; 1 was renamed so as not to overwrite an input file\n");
    EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
    EXPECT_EQ(readBytes(dir / "pics/a.png"), alpha);
}

TEST(CliConvert, AGifKeepsItsDepthInThePcx)
{
    TempDir dir;
    EXPECT_EQ(convert({fx("colour16.gif"), "--to", (dir / "a.pcx").string()}).status, 0);
    EXPECT_EQ(convert({fx("gradient256.gif"), fx("colour.png"), "--to", "pcx", "--out", dir.path().string()}).status,
              0);
    EXPECT_EQ(vextral::test::readBytes(dir / "a.pcx")[3], 4);
    EXPECT_EQ(vextral::test::readBytes(dir / "gradient256.pcx")[3], 8);
    // Each file is converted on its own: the PNG after the GIF stays true colour.
    EXPECT_EQ(vextral::test::readBytes(dir / "colour.pcx")[65], 3);
}

TEST(CliConvert, JpegQuality)
{
    TempDir dir;
    const auto size = [&](const std::string& name) { return std::filesystem::file_size(dir / name); };
    const std::string photo = convertFixture("gradient256.gif").string();
    EXPECT_EQ(convert({photo, "--to", (dir / "default.jpg").string()}).status, 0);
    EXPECT_EQ(convert({photo, "--quality", "86", "--to", (dir / "86.jpg").string()}).status, 0);
    EXPECT_EQ(convert({photo, "--quality=5", "--to", (dir / "5.jpg").string()}).status, 0);
    EXPECT_EQ(convert({photo, "--quality=100", "--to", (dir / "100.jpg").string()}).status, 0);
    EXPECT_EQ(vextral::test::readBytes(dir / "default.jpg"), vextral::test::readBytes(dir / "86.jpg"));
    EXPECT_LT(size("5.jpg"), size("86.jpg"));
    EXPECT_LT(size("86.jpg"), size("100.jpg"));
}

// --to ico and --to cur write what the picture writers do: the standard
// sides up to the picture's own, 16 at least, and the classic 16-colour
// image for a picture of few colours (colour.png has 12).
TEST(CliConvert, IconsAndCursorsHoldTheStandardSides)
{
    TempDir dir;
    EXPECT_EQ(convert({fx("colour.png"), fx("gradient256.gif"), "--to", "ico", "--out", dir.path().string()}).status,
              0);
    EXPECT_EQ(convert({fx("colour.png"), "--to", (dir / "colour.cur").string()}).status, 0);
    std::string listing;
    ASSERT_EQ(vextral::test::runCommand("icotool -l " + vextral::test::shellQuote((dir / "colour.ico").string()) + " " +
                                            vextral::test::shellQuote((dir / "gradient256.ico").string()) + " " +
                                            vextral::test::shellQuote((dir / "colour.cur").string()),
                                        &listing),
              0);
    EXPECT_EQ(listing,
              "--icon --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0\n"
              "--icon --index=2 --width=32 --height=32 --bit-depth=4 --palette-size=16\n"
              "--icon --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0\n"
              "--cursor --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0 --hotspot-x=0 --hotspot-y=0\n"
              "--cursor --index=2 --width=32 --height=32 --bit-depth=4 --palette-size=16 --hotspot-x=0 "
              "--hotspot-y=0\n");
    // The same bytes as the writer gives the picture read from the file.
    for (const char* name : {"colour.png", "gradient256.gif"}) {
        vextral::codecs::ImageBuffer buffer;
        ASSERT_TRUE(vextral::platform::loadPicture(buffer, fx(name)).ok());
        vextral::MemorySink sink;
        vextral::codecs::writeIco(buffer, sink);
        const std::string ico = std::string(name).substr(0, std::string(name).find('.')) + ".ico";
        EXPECT_EQ(vextral::test::readBytes(dir / ico), sink.bytes()) << name;
    }
}

TEST(CliConvert, FilesThatCannotBeReadAreReportedAndTheOthersConverted)
{
    TempDir dir;
    const std::string missing = (dir / "missing.png").string();
    const std::string cursor = vextral::test::fixture("arrow.cur").string();
    const CliResult r = convert({missing, fx("colour.png"), cursor, "--to", "bmp", "--out", dir.path().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vextral-cli convert: " + missing + ": Cannot open file " + missing +
                         ": No such file or directory\n"
                         "vextral-cli convert: " +
                         cursor + ": Unknown picture file extension (.cur)\n");
    EXPECT_EQ(r.out, fx("colour.png") + " -> " + (dir / "colour.bmp").string() + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "arrow.bmp"));

    // A file that cannot be written.
    const CliResult unwritable = convert({fx("colour.png"), "--to", (dir / "no/such/folder/x.png").string()});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("Cannot create file " + (dir / "no/such/folder/x.png").string()), std::string::npos)
        << unwritable.err;
}

// A usage error and its message. In both, "@name" stands for the converter
// fixture name and "%name" for name in the test's own folder.
struct UsageCase {
    std::vector<std::string> args;
    std::string message;
};

std::string expand(const std::string& text, const TempDir& dir)
{
    if (text.starts_with('@')) return fx(text.substr(1));
    const std::size_t at = text.find('%');
    if (at == std::string::npos) return text;
    const std::size_t end = text.find_first_of(": ", at);
    const std::string name = text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    return text.substr(0, at) + (dir / name).string() + (end == std::string::npos ? "" : text.substr(end));
}

class CliConvertUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(CliConvertUsage, IsRefusedWithItsMessageBeforeAnythingIsWritten)
{
    TempDir dir;
    std::vector<std::string> args;
    for (const std::string& a : GetParam().args) args.push_back(expand(a, dir));
    const CliResult r = convert(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vextral-cli convert: " + expand(GetParam().message, dir) +
                         "\nRun 'vextral-cli convert --help' for its options.\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliConvertUsage,
    testing::Values(
        UsageCase {{"@colour.png"}, "say what to convert to with --to FORMAT or --to OUT"},
        UsageCase {{"--to", "png"}, "name at least one file to convert"},
        UsageCase {{"@colour.png", "--to", "ppm"}, "unknown format 'ppm' for --to"},
        UsageCase {{"@colour.png", "--to", "standard-icon"}, "unknown format 'standard-icon' for --to"},
        UsageCase {{"@colour.png", "--to", "%x.xyz"},
                   "--to %x.xyz: the extension names no format Vextral writes (bmp, jpg, jpeg, gif, pcx, tga, png, "
                   "tif, tiff, ico, cur, wmf)"},
        UsageCase {{"@colour.png", "@colour.tga", "--to", "%x.png"},
                   "--to FILE takes one input; convert several with --to FORMAT"},
        UsageCase {{"@colour.png", "--to", "%x.png", "--out", "%out"},
                   "--out DIR goes with --to FORMAT, not with an output file name"},
        UsageCase {{"@colour.png", "--to", "png", "--frobnicate"}, "unknown option --frobnicate"},
        UsageCase {{"@colour.png", "--to"}, "--to needs a value"},
        UsageCase {{"@colour.png", "--to", "png", "--out", ""}, "--out needs a folder name"},
        // --quality is a whole number from 0 to 100, written in decimal.
        UsageCase {{"@gradient256.gif", "--quality", "101", "--to", "%x.jpg"},
                   "--quality needs a whole number from 0 to 100, not '101'"},
        UsageCase {{"@gradient256.gif", "--quality", "-1", "--to", "%x.jpg"},
                   "--quality needs a whole number from 0 to 100, not '-1'"},
        UsageCase {{"@gradient256.gif", "--quality", "abc", "--to", "%x.jpg"},
                   "--quality needs a whole number from 0 to 100, not 'abc'"},
        UsageCase {{"@gradient256.gif", "--quality", "", "--to", "%x.jpg"},
                   "--quality needs a whole number from 0 to 100, not ''"},
        UsageCase {{"@gradient256.gif", "--quality", "0x10", "--to", "%x.jpg"},
                   "--quality needs a whole number from 0 to 100, not '0x10'"},
        UsageCase {{"@gradient256.gif", "--quality=1000", "--to", "%x.jpg"},
                   "--quality needs a whole number from 0 to 100, not '1000'"}));

TEST(CliConvert, HelpAndVersion)
{
    const CliResult help = convert({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: vextral-cli convert --to FORMAT|OUT [options] FILE...\n", 0), 0u);
    EXPECT_EQ(convert({"--version"}).out, "vextral-cli 2.1\n");
}

TEST(CliConvert, ExitStatusOfTheProgram)
{
    TempDir dir;
    EXPECT_EQ(runCliProgram({"convert", fx("colour.png"), "--to", (dir / "a.tga").string()}).status, 0);
    EXPECT_EQ(vextral::test::readBack("magick", dir / "a.tga"), kColourText);
    EXPECT_EQ(runCliProgram({"convert", "/nonexistent.png", "--to", "png"}).status, 1);
    EXPECT_EQ(runCliProgram({"convert", fx("colour.png"), "--to", "ppm"}).status, 2);
    const CliResult help = runCliProgram({"help", "convert"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: vextral-cli convert", 0), 0u);
    const CliResult usage = runCliProgram({"--help"});
    EXPECT_EQ(usage.status, 0);
    EXPECT_NE(usage.out.find("convert --to FORMAT|OUT FILE..."), std::string::npos);
}

} // namespace
