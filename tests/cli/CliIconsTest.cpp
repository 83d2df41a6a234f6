#include "cli/CliIcons.h"

#include "TestSupport.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

#include <sstream>

using vextral::test::CliResult;
using vextral::test::fixture;
using vextral::test::runCliProgram;

namespace {

CliResult icons(const std::vector<std::string>& args) { return vextral::test::runCli(vextral::cli::runIcons, args); }

} // namespace

TEST(CliIcons, ListsEachFileWithItsIconsAndImages)
{
    const std::string dll = fixture("icons64.dll").string();
    const std::string ani = fixture("spin.ani").string();
    const std::string garbage = fixture("garbage.bin").string();
    const CliResult r = icons({dll, ani, garbage});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, dll +
                         ": 4 icons (PE)\n"
                         "  0 APPICON: 16x16x4, 32x32x4, 32x32x8, 32x32x32, 48x48x32, 256x256x32 png\n"
                         "  1 #1: 32x32x4\n"
                         "  2 #2: 48x48x8\n"
                         "  3 #7: 32x32x24\n" +
                         ani +
                         ": 1 icon (ANI)\n"
                         "  0 cursor: 32x32x32\n" +
                         garbage + ": 0 icons\n");
}

TEST(CliIcons, ExtractsOriginalIconsAndReportsUnreadableFiles)
{
    vextral::test::TempDir dir;
    const std::string out = (dir / "out").string(); // created on demand
    const std::string missing = (dir / "nope.dll").string();
    const CliResult r =
        icons({"--extract", out, fixture("icons32.dll").string(), missing, fixture("library.nil").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vextral-cli icons: cannot open " + missing + ": No such file or directory\n");
    // The files after the unreadable one are still done.
    EXPECT_NE(r.out.find("library.nil: 2 icons (NE)"), std::string::npos);
    for (const char* name : {"icons32.dll_0.ico", "icons32.dll_1.ico", "icons32.dll_2.ico", "icons32.dll_3.ico",
                             "library.nil_0.ico", "library.nil_1.ico"}) {
        EXPECT_TRUE(std::filesystem::exists(dir / ("out/" + std::string(name)))) << name;
    }
    EXPECT_EQ(vextral::test::readBytes(dir / "out/icons32.dll_0.ico"), vextral::test::readBytes(fixture("multi.ico")));
    // Another reader agrees with what was written.
    std::string listing;
    ASSERT_EQ(vextral::test::runCommand(
                  "icotool -l " + vextral::test::shellQuote((dir / "out/library.nil_0.ico").string()), &listing),
              0);
    EXPECT_EQ(listing, "--icon --index=1 --width=32 --height=32 --bit-depth=4 --palette-size=16\n");
}

TEST(CliIcons, UsageErrorsAndHelp)
{
    EXPECT_EQ(icons({}).status, 2);
    EXPECT_EQ(icons({"--extract"}).status, 2);
    EXPECT_EQ(icons({"--frobnicate", "x"}).status, 2);
    const CliResult help = icons({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: vextral-cli icons [--extract DIR] [--images DIR] [--cursors] [--json] FILE..."),
              std::string::npos);

    // The real program: exit statuses as scripts see them.
    EXPECT_EQ(runCliProgram({"icons", fixture("multi.ico").string()}).status, 0);
    EXPECT_EQ(runCliProgram({"icons", "/nonexistent/file.dll"}).status, 1);
    EXPECT_EQ(runCliProgram({"bogus"}).status, 2);
    const CliResult text = runCliProgram({"--help"});
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("icons [--extract DIR] FILE..."), std::string::npos);
}

TEST(CliIcons, ExtractingWritesOverNoInputAndNoEarlierIcon)
{
    namespace fs = std::filesystem;
    vextral::test::TempDir dir;
    // The same library in two folders, and an icon file in the output folder
    // under the name the first library's first icon would take.
    for (const char* folder : {"a", "b", "out"}) fs::create_directory(dir / folder);
    fs::copy_file(fixture("icons32.dll"), dir / "a/shell32.dll");
    fs::copy_file(fixture("icons32.dll"), dir / "b/shell32.dll");
    fs::copy_file(fixture("tie.ico"), dir / "out/shell32.dll_0.ico");
    const std::string out = (dir / "out").string();
    const CliResult r = icons({"--extract", out, (dir / "a/shell32.dll").string(), (dir / "b/shell32.dll").string(),
                               out + "/shell32.dll_0.ico"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Every icon listed has a file of its own.
    int listed = 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(": ") != std::string::npos && line[0] != ' ' && line.rfind("Wrote ", 0) != 0)
            listed += std::stoi(line.substr(line.find(": ") + 2));
    }
    EXPECT_EQ(listed, 9);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), listed + 1); // and the input
    EXPECT_EQ(vextral::test::readBytes(dir / "out/shell32.dll_0.ico"), vextral::test::readBytes(fixture("tie.ico")));
    for (const char* name :
         {"shell32.dll_0 (2).ico", "shell32.dll_0 (3).ico", "shell32.dll_3 (2).ico", "shell32.dll_0.ico_0.ico"}) {
        EXPECT_TRUE(fs::exists(dir / "out" / name)) << name;
    }
    const std::string summary = "Wrote 9 files to " + out +
                                "; 3 were renamed because an earlier icon had the same name; 2 were renamed so as not "
                                "to overwrite an input file\n";
    EXPECT_TRUE(r.out.ends_with(summary)) << r.out;
}

TEST(CliIcons, EachImageIsWrittenAsIcotoolExtractsIt)
{
    vextral::test::TempDir dir;
    const std::string ours = (dir / "ours").string();
    const std::string ico = fixture("multi.ico").string(), dll = fixture("icons32.dll").string();
    const CliResult r = icons({"--images", ours, ico, dll});
    ASSERT_EQ(r.status, 0) << r.err;
    // The library's first group is multi.ico's six images; the other three hold one each.
    EXPECT_NE(r.out.find("Wrote 15 images to " + ours + "\n"), std::string::npos) << r.out;

    // icotool's pictures of the icon file, pixel for pixel (alpha included)
    // those of both the file and the group built from it.
    const std::string ref = (dir / "ref").string();
    std::filesystem::create_directories(ref);
    ASSERT_EQ(vextral::test::runCommand("icotool -x -o " + vextral::test::shellQuote(ref) + " " +
                                        vextral::test::shellQuote(ico)),
              0);
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ref)) {
        const std::string name = entry.path().filename().string(); // multi_3_32x32x32.png
        const std::string size = name.substr(name.rfind('_') + 1);
        for (const std::string& mine : {"multi.ico_0_" + size, "icons32.dll_0_" + size}) {
            std::string differing;
            ASSERT_EQ(vextral::test::runCommand("compare -metric AE " +
                                                    vextral::test::shellQuote(entry.path().string()) + " " +
                                                    vextral::test::shellQuote(ours + "/" + mine) + " null: 2>&1",
                                                &differing),
                      0)
                << mine << ": " << differing;
            EXPECT_EQ(differing, "0") << mine;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 12);
    // Every picture is 8-bit RGBA.
    std::string types;
    ASSERT_EQ(vextral::test::runCommand("identify -format '%[channels] ' " + vextral::test::shellQuote(ours) + "/*.png",
                                        &types),
              0);
    EXPECT_EQ(types.find("srgb "), std::string::npos) << types;
}
