#include "cli/CliHarvest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using vextral::cli::runHarvest;
using vextral::test::fixture;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result harvest(std::vector<std::string> args, const TempDir& home)
{
    args.insert(args.begin(), {"--settings", (home / "Option.ini").string()});
    std::ostringstream out, err;
    const int status = runHarvest(args, out, err, false);
    return {status, out.str(), err.str()};
}

// A folder of icon files (3 + 2 + 1 icons) and a subfolder with one more.
void makeTree(const fs::path& root)
{
    fs::create_directories(root / "sub");
    fs::copy_file(fixture("library.icl"), root / "library.icl");
    fs::copy_file(fixture("library.nil"), root / "library.nil");
    fs::copy_file(fixture("tie.ico"), root / "tie.ico");
    fs::copy_file(fixture("arrow.cur"), root / "sub/arrow.ico");
}

} // namespace

TEST(CliHarvest, SavesEveryTypeReadableByOtherPrograms)
{
    TempDir home, tree, out;
    makeTree(tree.path());
    const char* types[] = {"standard-icon", "bmp", "jpg", "gif", "ico", "cur", "pcx", "wmf", "png", "tga"};
    for (const char* type : types) {
        const fs::path dir = out / type;
        const Result r = harvest({tree.path().string(), "--save-all", dir.string(), "--type", type, "--size", "40x20"}, home);
        ASSERT_EQ(r.status, 0) << type << r.err;
        EXPECT_EQ(r.out, "Harvested 7 icons from 0 files and 4 files found in 1 folders\nWrote 7 files to " + dir.string() + "\n");
        // ImageMagick reads every type; the standard icon keeps the icon's own 32 x 32 images.
        std::string sizes;
        ASSERT_EQ(vextral::test::runCommand("cd " + vextral::test::shellQuote(dir.string()) +
                                                " && for f in *; do /usr/bin/identify -density 96 -format '%w %h\\n' \"$f\"[0]; done 2>&1 | sort -u",
                                            &sizes),
                  0)
            << type;
        const bool standard = std::string(type) == "standard-icon";
        EXPECT_EQ(sizes, standard ? "16 16\n24 24\n32 32\n" : "40 20\n") << type;
    }
    EXPECT_TRUE(fs::exists(out / "png/arrow.ico_0.png"));
}

TEST(CliHarvest, OptionsOverrideTheSettingsFile)
{
    TempDir home, tree, out;
    makeTree(tree.path());
    std::ofstream(home / "Option.ini") << "[File]\nIco File=0\n";
    Result r = harvest({tree.path().string()}, home);
    EXPECT_EQ(r.out, "Harvested 5 icons from 0 files and 2 files found in 1 folders\n");
    r = harvest({"--types", "ico", "--no-subfolders", tree.path().string()}, home);
    EXPECT_EQ(r.out, "Harvested 1 icons from 0 files and 1 files found in 1 folders\n");
    r = harvest({"--icon-limit", "4", "--types", "all", tree.path().string()}, home);
    EXPECT_EQ(r.out, "Harvested 4 icons from 0 files and 4 files found in 1 folders\n");
    r = harvest({"--file-limit", "2", tree.path().string(), fixture("multi.ico").string()}, home);
    EXPECT_EQ(r.out, "Harvested 4 icons from 1 files and 2 files found in 1 folders\n");
    r = harvest({fixture("multi.ico").string(), "--save-all", out.path().string(), "--naming", "number:x", "--type", "png"}, home);
    EXPECT_TRUE(fs::exists(out / "x1.png"));

    // Failures: a missing path, bad options, a size that makes empty pictures.
    r = harvest({(tree / "missing").string()}, home);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No such file or folder"), std::string::npos);
    EXPECT_EQ(harvest({"--type", "svg", tree.path().string()}, home).status, 2);
    EXPECT_EQ(harvest({"--size", "big", tree.path().string()}, home).status, 2);
    EXPECT_EQ(harvest({"--types", "exe,doc", tree.path().string()}, home).status, 2);
    EXPECT_EQ(harvest({}, home).status, 2);
    r = harvest({tree.path().string(), "--save-all", (out / "z").string(), "--type", "png", "--size", "0x9"}, home);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot write an empty picture"), std::string::npos);
}
