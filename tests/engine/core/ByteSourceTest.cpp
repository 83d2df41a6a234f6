// ByteSource: range-checked reads; FileByteSource::open tells why a file
// cannot be read instead of throwing.
#include "core/ByteSource.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vextral {
namespace {

TEST(FileByteSource, OpensARegularFileAndReadsOnlyWhatIsThere)
{
    test::TempDir dir;
    test::writeBytes(dir / "f.bin", {1, 2, 3, 4, 5});
    auto file = FileByteSource::open((dir / "f.bin").string());
    ASSERT_TRUE(file.ok()) << file.reason();
    const ByteSource& s = *file.value();
    EXPECT_EQ(s.size(), 5u);
    EXPECT_EQ(s.u16(3), 0x0504);
    EXPECT_FALSE(s.u16(4).has_value());
    EXPECT_EQ(s.bytes(1, 3), (std::vector<std::uint8_t> {2, 3, 4}));
    EXPECT_FALSE(s.bytes(2, 4).has_value());
}

TEST(FileByteSource, GivesTheReasonAFileCannotBeRead)
{
    test::TempDir dir;
    EXPECT_EQ(FileByteSource::open((dir / "missing").string()).reason(), "No such file or directory");
    EXPECT_EQ(FileByteSource::open(dir.path().string()).reason(), "Is a directory");
    const std::string fifo = (dir / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto pipe = FileByteSource::open(fifo); // refused at once, not waited on
    EXPECT_FALSE(pipe.ok());
    EXPECT_EQ(pipe.reason(), "Not a regular file");
    EXPECT_THROW((void)pipe.value(), Error);
}

TEST(MemoryByteSource, ReadsWithinItsBytes)
{
    const MemoryByteSource s({9, 8, 7});
    EXPECT_EQ(s.u8(2), 7);
    EXPECT_FALSE(s.u8(3).has_value());
    EXPECT_FALSE(s.contains(2, 2));
}

} // namespace
} // namespace vextral
