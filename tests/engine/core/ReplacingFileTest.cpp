#include "core/ReplacingFile.h"

#include "TestSupport.h"
#include "codecs/ImageBuffer.h"
#include "codecs/OutputFormats.h"
#include "core/Error.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vextral;
using namespace vextral::codecs;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ImageBuffer pictureOf(int w, int h)
{
    ImageBuffer buffer;
    buffer.picture() = Picture::make(w, h);
    // Noise, so that compressed formats stay large.
    std::uint32_t x = 12345;
    for (auto& b : buffer.picture().pixels) {
        x = x * 1103515245 + 12345;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return buffer;
}

} // namespace

TEST(ReplacingFile, TheTargetChangesOnlyWhenTheNewFileIsComplete)
{
    test::TempDir dir;
    const fs::path target = dir / "a.txt";
    test::writeBytes(target, {'o', 'l', 'd'});
    ::chmod(target.c_str(), 0640);
    {
        ReplacingFile file(target.string());
        ASSERT_EQ(file.open(), 0);
        std::fputs("new", file.stream());
        // Abandoned before commit: the old file stays and no temporary file is left.
    }
    EXPECT_EQ(test::readBytes(target), (std::vector<std::uint8_t> {'o', 'l', 'd'}));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {"a.txt"});
    {
        ReplacingFile file(target.string());
        ASSERT_EQ(file.open(), 0);
        std::fputs("new!", file.stream());
        ASSERT_EQ(file.commit(), 0);
    }
    EXPECT_EQ(test::readBytes(target), (std::vector<std::uint8_t> {'n', 'e', 'w', '!'}));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u); // the replaced file's mode is kept
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {"a.txt"});

    // A folder in the way, or a missing folder: an error, nothing left behind.
    fs::create_directory(dir / "sub");
    ReplacingFile onFolder((dir / "sub").string());
    ASSERT_EQ(onFolder.open(), 0);
    EXPECT_NE(onFolder.commit(), 0);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> {"a.txt", "sub"}));
    ReplacingFile lost((dir / "no/such.txt").string());
    EXPECT_EQ(lost.open(), ENOENT);
}

TEST(ReplacingFile, WritersReplaceAPlantedLinkInsteadOfWritingThroughIt)
{
    test::TempDir dir;
    fs::create_directory(dir / "out");
    const fs::path victim = dir / "victim.txt";
    test::writeBytes(victim, {'k', 'e', 'e', 'p'});
    fs::create_symlink("../victim.txt", dir / "out/Icon1.png");
    ImageBuffer buffer = pictureOf(4, 4);
    buffer.saveToFile((dir / "out/Icon1.png").string());
    EXPECT_EQ(test::readBytes(victim), (std::vector<std::uint8_t> {'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(fs::is_symlink(dir / "out/Icon1.png"));
    const auto png = test::readBytes(dir / "out/Icon1.png");
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
}

TEST(ReplacingFile, AFullDiskLeavesTheOlderFileOfEveryFormatIntact)
{
    test::SmallDisk disk(256 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.error();
    // A good small file of each format, then a rewrite that cannot fit.
    for (const OutputFormatRow& row : outputFormats()) {
        if (row.writes != Writes::Picture) continue;
        const std::string file = (disk / (std::string("x.") + row.extension)).string();
        ImageBuffer small = pictureOf(8, 8);
        small.saveToFile(file);
        const auto good = test::readBytes(file);
        ImageBuffer big = pictureOf(1000, 1000); // 3 MB of noise: no format squeezes it below 256 KiB
        try {
            big.saveToFile(file);
            ADD_FAILURE() << row.name << ": a file larger than the disk was written";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos) << e.what();
        }
        EXPECT_EQ(test::readBytes(file), good) << row.name;
    }
    // Only the good files remain: no temporary or truncated file.
    EXPECT_EQ(namesIn(disk.path()).size(), 10u);
}
