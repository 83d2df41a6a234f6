#include "cli/CliHarvest.h"
#include "cli/CliIcons.h"

#include "TestSupport.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using vextral::cli::runHarvest;
using vextral::test::CliResult;
using vextral::test::fixture;
using vextral::test::runCommand;
using vextral::test::settingsIn;
using vextral::test::shellQuote;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

using Result = CliResult;

Result harvest(const std::vector<std::string>& args, const TempDir& home)
{
    return vextral::test::runCliIn(home, runHarvest, args);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The real program as scripts run it; before is shell text put in front of the command.
Result program(const std::string& before, const std::vector<std::string>& args)
{
    return vextral::test::runCliProgram(args, before);
}

// Shell text that runs the program as the unprivileged user "nobody" when the
// tests run as root (who may read and enter anything); empty otherwise.
// Nothing, when that is needed but cannot be done.
std::optional<std::string> unprivileged()
{
    if (::geteuid() != 0) return std::string();
    if (runCommand("command -v setpriv >/dev/null 2>&1") != 0) return std::nullopt;
    return std::string("setpriv --reuid=65534 --regid=65534 --clear-groups ");
}

// Lets other users read and enter a folder the tests made (mkdtemp's are the owner's alone).
void openToOthers(const fs::path& folder)
{
    fs::permissions(folder, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
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
        const Result r =
            harvest({tree.path().string(), "--save-all", dir.string(), "--type", type, "--size", "40x20"}, home);
        ASSERT_EQ(r.status, 0) << type << r.err;
        EXPECT_EQ(r.out, "Harvested 7 icons from 0 files and 4 files found in 1 folder\nWrote 7 files to " +
                             dir.string() + "\n");
        // ImageMagick reads every type; the standard icon keeps the icon's own 32 x 32 images.
        std::string sizes;
        ASSERT_EQ(runCommand("cd " + shellQuote(dir.string()) +
                                 " && for f in *; do /usr/bin/identify -density 96 -format '%w %h\\n' \"$f\"[0]; done "
                                 "2>&1 | sort -u",
                             &sizes),
                  0)
            << type;
        // Pictures saved as icons or cursors hold the standard sides up to
        // theirs (16, 24 and 32 for 40 x 20), the smallest first; but the
        // harvested cursor saved as a cursor is that cursor, 32 x 32.
        const std::string t = type;
        EXPECT_EQ(sizes, t == "standard-icon" ? "16 16\n24 24\n32 32\n"
                         : t == "cur"         ? "16 16\n32 32\n"
                         : t == "ico"         ? "16 16\n"
                                              : "40 20\n")
            << type;
    }
    EXPECT_TRUE(fs::exists(out / "png/arrow.ico_0.png"));
}

TEST(CliHarvest, OptionsOverrideTheSettingsFile)
{
    TempDir home, tree, out;
    makeTree(tree.path());
    std::ofstream(home / "Option.ini") << "[File]\nIco File=0\n";
    Result r = harvest({tree.path().string()}, home);
    EXPECT_EQ(r.out, "Harvested 5 icons from 0 files and 2 files found in 1 folder\n");
    r = harvest({"--types", "ico", "--no-subfolders", tree.path().string()}, home);
    EXPECT_EQ(r.out, "Harvested 1 icon from 0 files and 1 file found in 1 folder\n");
    r = harvest({"--icon-limit", "4", "--types", "all", tree.path().string()}, home);
    EXPECT_EQ(r.out,
              "Harvested 4 icons from 0 files and 4 files found in 1 folder, stopped at the icon limit (4 icons)\n");
    // --file-limit N extracts exactly N of the files found; named files do not count.
    r = harvest({"--file-limit", "2", tree.path().string(), fixture("multi.ico").string()}, home);
    EXPECT_EQ(r.out, "Harvested 6 icons from 1 file and 2 files found in 1 folder\n");
    r = harvest({"--file-limit", "1", tree.path().string(), fixture("multi.ico").string()}, home);
    EXPECT_EQ(r.out,
              "Harvested 4 icons from 1 file and 2 files found in 1 folder, stopped at the file limit (1 file)\n");
    r = harvest({"--file-limit", "0", tree.path().string()}, home);
    EXPECT_EQ(r.out,
              "Harvested 0 icons from 0 files and 2 files found in 1 folder, stopped at the file limit (0 files)\n");
    r = harvest(
        {fixture("multi.ico").string(), "--save-all", out.path().string(), "--naming", "number:x", "--type", "png"},
        home);
    EXPECT_TRUE(fs::exists(out / "x1.png"));

    // Failures: a missing path, bad options.
    r = harvest({(tree / "missing").string()}, home);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vextral-cli harvest: " + (tree / "missing").string() + ": No such file or directory\n");
    EXPECT_EQ(harvest({"--type", "svg", tree.path().string()}, home).status, 2);
    EXPECT_EQ(harvest({"--size", "big", tree.path().string()}, home).status, 2);
    EXPECT_EQ(harvest({"--types", "exe,doc", tree.path().string()}, home).status, 2);
    EXPECT_EQ(harvest({}, home).status, 2);
    // A size with an empty side is refused before anything is harvested or saved.
    r = harvest({tree.path().string(), "--save-all", (out / "z").string(), "--type", "png", "--size", "0x9"}, home);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vextral-cli harvest: --size needs WIDTHxHEIGHT, each side a whole number from 1 to 16384, not "
                     "'0x9'\nRun 'vextral-cli harvest --help' for its options.\n");
    EXPECT_FALSE(fs::exists(out / "z"));
}

TEST(CliHarvest, ConventionsOfTheCommandLine)
{
    TempDir home, tree, out;
    makeTree(tree.path());
    fs::copy_file(fixture("arrow.cur"), tree / "arrow.cur");
    fs::copy_file(fixture("spin.ani"), tree / "sub/spin.ani");

    // Type names without regard to letter case; cur and ani are types of their own.
    Result r = harvest({"--types", "CUR,Ani", tree.path().string()}, home);
    EXPECT_EQ(r.out, "Harvested 2 icons from 0 files and 2 files found in 1 folder\n");
    r = harvest({"--types", "ALL", tree.path().string()}, home); // the desktop program's nine
    EXPECT_EQ(r.out, "Harvested 7 icons from 0 files and 4 files found in 1 folder\n");
    r = harvest({"--types", "All,cur,ANI", tree.path().string()}, home);
    EXPECT_EQ(r.out, "Harvested 9 icons from 0 files and 6 files found in 1 folder\n");

    // Every option that takes a value also takes it after "=".
    const fs::path saved = out / "eq";
    r = harvest({"--settings=" + settingsIn(home), "--types=ico,Icl", "--icon-limit=3", "--file-limit=1",
                 "--save-all=" + saved.string(), "--type=PNG", "--size=8x6", "--naming=number:n", tree.path().string()},
                home);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Harvested 3 icons from 0 files and 3 files found in 1 folder, stopped at the file limit (1 file)\n"
              "Wrote 3 files to " +
                  saved.string() + "\n");
    EXPECT_TRUE(fs::exists(saved / "n3.png"));
    EXPECT_EQ(harvest({"--recycle=yes", tree.path().string()}, home).status, 2);

    // Refused before anything is harvested: an empty output folder name, a
    // prefix that would leave the folder, a size above the limit.
    for (const auto& args :
         std::vector<std::vector<std::string>> {{"--save-all", ""},
                                                {"--save-all="},
                                                {"--save-all", out.path().string(), "--naming", "number:../x"},
                                                {"--save-all", out.path().string(), "--size", "16385x16"}}) {
        std::vector<std::string> all = args;
        all.push_back(tree.path().string());
        r = harvest(all, home);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "") << args.back();
        EXPECT_TRUE(contains(r.err, "Run 'vextral-cli harvest --help' for its options.")) << r.err;
    }
    EXPECT_TRUE(contains(harvest({"--naming", "number:a/b", tree.path().string()}, home).err, "cannot contain \"/\""));
    EXPECT_TRUE(contains(harvest({"--size", "16385x16", tree.path().string()}, home).err,
                         "The picture size 16385 x 16 is too large: each side can be at most 16384 pixels"));
    EXPECT_FALSE(fs::exists(out.path().parent_path() / "x1.ico"));

    // Names an earlier icon took are counted; so are the files written before a failure.
    TempDir twins;
    fs::create_directories(twins / "a");
    fs::create_directories(twins / "b");
    fs::copy_file(fixture("tie.ico"), twins / "a/tie.ico");
    fs::copy_file(fixture("tie.ico"), twins / "b/tie.ico");
    r = harvest({twins.path().string(), "--save-all", (out / "twins").string(), "--type", "png"}, home);
    EXPECT_EQ(r.out, "Harvested 2 icons from 0 files and 2 files found in 1 folder\nWrote 2 files to " +
                         (out / "twins").string() + "; 1 was renamed because an earlier icon had the same name\n");
    EXPECT_TRUE(fs::exists(out / "twins/tie.ico_0 (2).png"));
    // Nor is a harvested file written over: numbered names into the folder harvested.
    TempDir own;
    fs::copy_file(fixture("tie.ico"), own / "Icon1.ico");
    fs::copy_file(fixture("multi.ico"), own / "Icon2.ico");
    r = harvest({own.path().string(), "--save-all", own.path().string(), "--naming", "number", "--type", "ico"}, home);
    EXPECT_EQ(r.out, "Harvested 2 icons from 0 files and 2 files found in 1 folder\nWrote 2 files to " +
                         own.path().string() + "; 2 were renamed so as not to overwrite a harvested file\n");
    EXPECT_EQ(vextral::test::readBytes(own / "Icon1.ico"), vextral::test::readBytes(fixture("tie.ico")));
    EXPECT_EQ(vextral::test::readBytes(own / "Icon2.ico"), vextral::test::readBytes(fixture("multi.ico")));
    EXPECT_TRUE(fs::exists(own / "Icon1 (2).ico"));
    EXPECT_TRUE(fs::exists(own / "Icon2 (2).ico"));
    fs::create_directories(out / "partway/x3.png/taken");
    r = harvest(
        {tree.path().string(), "--save-all", (out / "partway").string(), "--naming", "number:x", "--type", "png"},
        home);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "\nWrote 2 files to " + (out / "partway").string() + "\n")) << r.out;
    EXPECT_TRUE(contains(r.err, "x3.png")) << r.err;
}

TEST(CliHarvest, TheOutputFolderIsCheckedBeforeTheHarvest)
{
    TempDir home, scratch, tree;
    makeTree(tree.path());
    fs::create_directory_symlink(scratch / "loop", scratch / "loop");
    const std::string longName = (scratch / std::string(300, 'n')).string();
    const std::string belowFile = (tree / "tie.ico/out").string();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {(scratch / "loop/out").string(), "Too many levels of symbolic links"},
        {longName, "File name too long"},
        {belowFile, "Not a directory"}};
    for (const auto& [dir, reason] : cases) {
        const Result r = harvest({tree.path().string(), "--save-all", dir}, home);
        EXPECT_EQ(r.status, 1) << dir;
        EXPECT_EQ(r.out, "") << dir; // nothing was harvested
        EXPECT_EQ(r.err, "vextral-cli harvest: cannot use folder " + dir + ": " + reason + "\n");
        // The program itself ends with that message and status 1, never an abort.
        const Result p =
            program("", {"harvest", "--settings", settingsIn(home), tree.path().string(), "--save-all", dir});
        EXPECT_EQ(p.status, 1) << dir << p.err;
        EXPECT_EQ(p.err, r.err);
        EXPECT_EQ(program("", {"icons", "--extract", dir, fixture("tie.ico").string()}).status, 1) << dir;
    }

    // Run in a folder that has been deleted.
    const Result gone = program("mkdir " + shellQuote((scratch / "gone").string()) + " && cd " +
                                    shellQuote((scratch / "gone").string()) + " && rmdir ../gone && ",
                                {"harvest", "--settings", settingsIn(home), "."});
    EXPECT_EQ(gone.status, 1) << gone.err;
    EXPECT_EQ(gone.err, "vextral-cli harvest: .: cannot tell the current folder: No such file or directory\n");

    // A folder the user may not enter.
    const auto as = unprivileged();
    if (!as) GTEST_SKIP() << "running as root without setpriv: no way to be refused entry";
    for (const fs::path& p : {scratch.path(), home.path(), tree.path()}) openToOthers(p);
    fs::create_directory(scratch / "shut");
    fs::permissions(scratch / "shut", fs::perms::none);
    const std::string shut = (scratch / "shut/out").string();
    const Result p =
        program(*as, {"harvest", "--settings", settingsIn(home), tree.path().string(), "--save-all", shut});
    fs::permissions(scratch / "shut", fs::perms::owner_all);
    EXPECT_EQ(p.status, 1) << p.err;
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(p.err, "vextral-cli harvest: cannot use folder " + shut + ": Permission denied\n");
}

TEST(CliHarvest, UnreadableFoldersAndFilesAreReported)
{
    TempDir home, tree;
    makeTree(tree.path());
    const std::string root = tree.path().string();
    fs::create_symlink(tree / "nothing", tree / "sub/broken.ico");
    const std::string pipe = root + "/pipe.dll";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // A FIFO named on the command line is refused as the icons command refuses
    // it, without blocking; one found in a folder is no file to miss.
    const Result icons = vextral::test::runCli(vextral::cli::runIcons, {pipe});
    EXPECT_EQ(icons.status, 1);
    EXPECT_EQ(icons.err, "vextral-cli icons: cannot open " + pipe + ": Not a regular file\n");

    const Result r = harvest({root, root + "/tie.ico/below", pipe, root + "/missing"}, home);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vextral-cli harvest: " + root +
                         "/tie.ico/below: Not a directory\n"
                         "vextral-cli harvest: " +
                         root +
                         "/missing: No such file or directory\n"
                         "vextral-cli harvest: cannot open " +
                         pipe +
                         ": Not a regular file\n"
                         "vextral-cli harvest: cannot open " +
                         root + "/sub/broken.ico: No such file or directory\n");
    EXPECT_EQ(r.out, "Harvested 7 icons from 1 file and 6 files found in 1 folder\n"
                     "4 files or folders could not be read\n");

    // What only permissions forbid: as a user who may not read them.
    const auto as = unprivileged();
    if (!as) GTEST_SKIP() << "running as root without setpriv: permissions forbid root nothing";
    for (const fs::path& p : {home.path(), tree.path()}) openToOthers(p);
    fs::remove(pipe);
    fs::create_directory(tree / "secret");
    fs::copy_file(fixture("multi.ico"), tree / "secret/hidden.ico");
    fs::permissions(tree / "secret", fs::perms::none);
    fs::permissions(tree / "tie.ico", fs::perms::none);
    const Result p = program(*as, {"harvest", "--settings", settingsIn(home), root, root + "/secret/hidden.ico"});
    fs::permissions(tree / "secret", fs::perms::owner_all);
    EXPECT_EQ(p.status, 1);
    EXPECT_EQ(p.err, "vextral-cli harvest: " + root +
                         "/secret/hidden.ico: Permission denied\n"
                         "vextral-cli harvest: " +
                         root +
                         "/secret: Permission denied\n"
                         "vextral-cli harvest: cannot open " +
                         root +
                         "/sub/broken.ico: No such file or directory\n"
                         "vextral-cli harvest: cannot open " +
                         root + "/tie.ico: Permission denied\n");
    EXPECT_EQ(p.out, "Harvested 6 icons from 0 files and 5 files found in 1 folder\n"
                     "4 files or folders could not be read\n");
}

TEST(CliHarvest, TheProgressLineIsRedrawnAtMostTenTimesASecond)
{
    TempDir home, tree, out;
    makeTree(tree.path());
    for (int i = 0; i < 20; ++i) fs::copy_file(fixture("icons64.dll"), tree / ("copy" + std::to_string(i) + ".dll"));
    // Progress and summary into one stream, as a terminal shows them.
    std::ostringstream screen;
    const auto start = std::chrono::steady_clock::now();
    const int status = runHarvest(
        {"--settings", settingsIn(home), tree.path().string(), "--save-all", out.path().string(), "--type", "png"},
        screen, screen, true);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(status, 0);
    const std::string text = screen.str();
    const std::string clear = "\r\033[K";
    int draws = 0;
    for (std::size_t at = text.find(clear); at != std::string::npos; at = text.find(clear, at + 1)) {
        const std::string after = text.substr(at + clear.size(), 9);
        if (!after.empty() && after[0] != '\r' && after != "Harvested" && after.rfind("Wrote", 0) != 0) ++draws;
    }
    EXPECT_GE(draws, 1);
    EXPECT_LE(draws, 1 + std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 100) << text;
    // The line is gone before the summary; the saving line too, when it was drawn.
    EXPECT_TRUE(contains(text, clear + "Harvested 87 icons from 0 files and 24 files found in 1 folder\n")) << text;
    const std::size_t wrote = text.find("Wrote 87 files to ");
    ASSERT_NE(wrote, std::string::npos);
    EXPECT_TRUE(text.compare(wrote - 1, 1, "\n") == 0 || text.compare(wrote - clear.size(), clear.size(), clear) == 0)
        << text;
}

TEST(CliHarvest, ALinkNamedAsAPathIsSearched)
{
    TempDir home, tree, links;
    makeTree(tree.path());
    fs::create_directory_symlink(tree.path(), links / "tree");
    fs::create_directory_symlink(tree / "sub", links / "tree-sub");
    const Result r = harvest({"--types", "ico,icl", (links / "tree").string()}, home);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Harvested 5 icons from 0 files and 3 files found in 1 folder\n");
    // Links below the folder named are not followed.
    EXPECT_EQ(harvest({"--types", "ico", links.path().string()}, home).out,
              "Harvested 0 icons from 0 files and 0 files found in 1 folder\n");
}

TEST(CliHarvest, TheProgramsOfTheBuildShareOneFolder)
{
    // The desktop program and vextral-cli read the Option.ini of their own
    // folder; every program of the build, this test's too, lands in one.
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_TRUE(fs::equivalent(self.parent_path(), fs::path(VEXTRAL_CLI).parent_path()));
    EXPECT_EQ(self.parent_path().filename(), "bin");
}
