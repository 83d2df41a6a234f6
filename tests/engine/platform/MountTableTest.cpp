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
