#include "platform/MountTable.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vextral::platform;

TEST(MountTable, FilesMountedOverFilesAreNoDrives)
{
    vextral::test::TempDir dir;
    const std::string file = (dir / "hosts").string();
    vextral::test::writeBytes(file, {'x'});
    const std::string folder = dir.path().string();
    // As a container's mount table lists its bind-mounted /etc files.
    const MountTable t = MountTable::fromText("overlay / overlay rw 0 0\n"
                                              "/dev/sda1 " +
                                              file +
                                              " ext4 rw 0 0\n"
                                              "/dev/sda1 " +
                                              folder + " ext4 rw 0 0\n");
    EXPECT_EQ(t.drives(), (std::vector<std::string> {"/", folder}));
}

TEST(MountTable, AFileThatCannotBeReadGivesNoMountsAndTheReason)
{
    const MountTable missing = MountTable::fromFile("/nonexistent/vextral/mounts");
    EXPECT_TRUE(missing.mounts().empty());
    EXPECT_EQ(missing.problem(), "Cannot read /nonexistent/vextral/mounts: No such file or directory");

    const MountTable mine = MountTable::current();
    EXPECT_EQ(mine.problem(), "");
    EXPECT_FALSE(mine.mounts().empty());
    EXPECT_TRUE(mine.mountAt("/")) << "the root file system is listed";
}
