#include "cli/CliHarvest.h"
#include "cli/CliWeb.h"

#include "TestSupport.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using vextral::test::fixture;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

using Result = vextral::test::CliResult;

Result run(vextral::test::CliCommand command, const std::vector<std::string>& args, const TempDir& home)
{
    return vextral::test::runCliIn(home, command, args);
}

std::vector<std::string> filesIn(const fs::path& dir)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(CliUnique, DuplicatesOfACopiedLibraryAreHiddenAndEverythingCountsWhatIsKept)
{
    TempDir home, icons;
    const std::string ini = (home / "Option.ini").string();
    std::ofstream(ini).flush();
    fs::copy_file(fixture("icons64.dll"), icons / "a.dll");
    fs::copy_file(fixture("icons64.dll"), icons / "b.dll");
    fs::copy_file(fixture("tie.ico"), icons / "c.ico");
    const std::string folder = icons.path().string();

    Result r = run(vextral::cli::runHarvest, {folder}, home);
    EXPECT_EQ(r.out, "Harvested 9 icons from 0 files and 3 files found in 1 folder\n");

    TempDir saved;
    r = run(vextral::cli::runHarvest, {"--unique", "--save-all", saved.path().string(), "--naming", "number", folder},
            home);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Harvested 5 icons from 0 files and 3 files found in 1 folder, 4 duplicates hidden\n"
                     "Wrote 5 files to " +
                         saved.path().string() + "\n");
    EXPECT_EQ(filesIn(saved.path()),
              (std::vector<std::string> {"Icon1.ico", "Icon2.ico", "Icon3.ico", "Icon4.ico", "Icon5.ico"}));

    // The settings file's switch does the same; nothing to hide still says so.
    std::ofstream(ini) << "[Icon]\nUnique=1\n";
    r = run(vextral::cli::runHarvest, {fixture("tie.ico").string()}, home);
    EXPECT_EQ(r.out, "Harvested 1 icon from 1 file and 0 files found in 0 folders, 0 duplicates hidden\n");
    std::ofstream(ini).flush();

    // The web gallery's positions count the icons kept: 5 is the last.
    TempDir web;
    r = run(vextral::cli::runWeb, {"--unique", "--out", web.path().string(), "--from", "5", "--to", "5", folder}, home);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Harvested 5 icons, 4 duplicates hidden\nWrote 1 picture and " +
                         (web.path() / "index.htm").string() + "\n");

    r = run(vextral::cli::runHarvest, {"--unique=1", folder}, home);
    EXPECT_EQ(r.status, 2);
    r = run(vextral::cli::runHarvest, {"--help"}, home);
    EXPECT_NE(r.out.find("--unique"), std::string::npos);
    r = run(vextral::cli::runWeb, {"--help"}, home);
    EXPECT_NE(r.out.find("--unique"), std::string::npos);
}
