// Where the program keeps Option.ini, update.ini and its working pictures:
// beside itself only in a folder of its user's own that it can write, never
// in the system's folders, and else in the configuration folder.
#include "platform/ProgramFolder.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace vextral::platform {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

constexpr uid_t kUser = 1000;
constexpr uid_t kOther = 1001;

TEST(ProgramFolder, TheDecision)
{
    // The build tree and a home folder of the user running the program.
    EXPECT_TRUE(keepsFilesBeside("/home/ann/vextral/build", kUser, kUser, true));
    EXPECT_TRUE(keepsFilesBeside("/root/vextral/build", 0, 0, true));
    EXPECT_TRUE(keepsFilesBeside("/usrlocal/bin", kUser, kUser, true));
    EXPECT_TRUE(keepsFilesBeside("/home/ann/opt", kUser, kUser, true));
    // The system's folders, also for root, who owns them and may write them.
    for (const char* folder : {"/usr/bin", "/usr", "/usr/", "/usr/local/bin", "/usr/lib/vextral/../../bin", "/opt",
                               "/opt/vextral/bin", "//usr/bin", "/./opt/vextral"}) {
        EXPECT_FALSE(keepsFilesBeside(folder, 0, 0, true)) << folder;
        EXPECT_FALSE(keepsFilesBeside(folder, kUser, kUser, true)) << folder;
    }
    // A folder of another user (root's included), writable or not; one's own
    // that cannot be written; a folder that is no absolute path.
    EXPECT_FALSE(keepsFilesBeside("/home/bob/bin", kOther, kUser, true));
    EXPECT_FALSE(keepsFilesBeside("/srv/tools", 0, kUser, true));
    EXPECT_FALSE(keepsFilesBeside("/home/bob/bin", kUser, 0, true));
    EXPECT_FALSE(keepsFilesBeside("/home/ann/bin", kUser, kUser, false));
    EXPECT_FALSE(keepsFilesBeside("", kUser, kUser, true));
    EXPECT_FALSE(keepsFilesBeside("bin", kUser, kUser, true));
}

TEST(ProgramFolder, TheConfigurationFolder)
{
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/home/ann/settings");
        EXPECT_EQ(configFolder(), "/home/ann/settings/vextral");
    }
    ScopedEnv home("HOME", "/home/ann");
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative"}) {
        ScopedEnv unset("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(configFolder(), "/home/ann/.config/vextral");
    }
}

TEST(ProgramFolder, RealFolders)
{
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "config").string());
    const std::string config = (dir / "config" / "vextral").string();
    // The user's own folder, as the build tree.
    fs::create_directory(dir / "own");
    EXPECT_EQ(programFolderFor((dir / "own").string()), (dir / "own").string());
    EXPECT_FALSE(fs::exists(config));
    // A folder that is not there.
    EXPECT_EQ(programFolderFor((dir / "missing").string()), config);
    EXPECT_TRUE(fs::is_directory(config));

    if (::geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
    // Another user's folder that root may write, even one everybody may write.
    fs::create_directory(dir / "other");
    ASSERT_EQ(::chown((dir / "other").c_str(), kOther, kOther), 0);
    EXPECT_EQ(programFolderFor((dir / "other").string()), config);
    fs::permissions(dir / "other", fs::perms::all);
    EXPECT_EQ(programFolderFor((dir / "other").string()), config);
}

// Run by ProgramInAnotherUsersFolder from a link of the test program there.
TEST(ProgramFolder, PrintsItsFolder)
{
    if (!std::getenv("VEXTRAL_TEST_PRINT_PROGRAM_FOLDER")) GTEST_SKIP() << "run by ProgramInAnotherUsersFolder";
    std::printf("program folder: %s\n", programFolder().c_str());
}

TEST(ProgramFolder, ProgramInAnotherUsersFolder)
{
    if (::geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
    TempDir dir;
    const fs::path bin = dir / "bin";
    fs::create_directory(bin);
    const fs::path self = fs::read_symlink("/proc/self/exe");
    std::error_code ec;
    fs::create_hard_link(self, bin / "program", ec);
    if (ec) fs::copy_file(self, bin / "program");
    const auto folderOfProgram = [&] {
        std::string output;
        const int status = test::runCommand(
            "env VEXTRAL_TEST_PRINT_PROGRAM_FOLDER=1 XDG_CONFIG_HOME=" + test::shellQuote((dir / "config").string()) +
                " " + test::shellQuote((bin / "program").string()) +
                " --gtest_filter=ProgramFolder.PrintsItsFolder 2>&1",
            &output);
        EXPECT_EQ(status, 0) << output;
        const std::size_t at = output.find("program folder: ");
        return at == std::string::npos ? output : output.substr(at + 16, output.find('\n', at) - at - 16);
    };
    // Root's own folder, as root's build tree: beside the program.
    EXPECT_EQ(folderOfProgram(), bin.string());
    // Given to another user: root keeps its files in its configuration folder.
    ASSERT_EQ(::chown(bin.c_str(), kOther, kOther), 0);
    EXPECT_EQ(folderOfProgram(), (dir / "config" / "vextral").string());
}

} // namespace
} // namespace vextral::platform
