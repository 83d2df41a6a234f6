#include "core/ReplacingFile.h"

#include "TestSupport.h"
#include "codecs/ImageBuffer.h"
#include "codecs/OutputFormats.h"
#include "core/Error.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

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
        file.open();
        file.write("new", 3);
        // Abandoned before commit: the old file stays and no temporary file is left.
    }
    EXPECT_EQ(test::readBytes(target), (std::vector<std::uint8_t> {'o', 'l', 'd'}));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {"a.txt"});
    {
        ReplacingFile file(target.string());
        file.open();
        file.write("new!", 4);
        file.commit();
    }
    EXPECT_EQ(test::readBytes(target), (std::vector<std::uint8_t> {'n', 'e', 'w', '!'}));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u); // the replaced file's mode is kept
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {"a.txt"});

    // A folder in the way, or a missing folder: an error, nothing left behind.
    fs::create_directory(dir / "sub");
    ReplacingFile onFolder((dir / "sub").string());
    onFolder.open();
    EXPECT_THROW(onFolder.commit(), Error);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> {"a.txt", "sub"}));
    ReplacingFile lost((dir / "no/such.txt").string());
    EXPECT_THROW(lost.open(), Error);
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

TEST(ReplacingFile, FailuresSayWhatFailedWithTheSystemsReason)
{
    test::TempDir dir;
    const auto messageOf = [](const std::function<void()>& act) {
        try {
            act();
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    const std::string lost = (dir / "no/such.txt").string();
    EXPECT_EQ(messageOf([&] { writeFileAtomically(lost, "text"); }),
              "Cannot create file " + lost + ": No such file or directory");
    fs::create_directory(dir / "sub");
    const std::string folder = (dir / "sub").string();
    EXPECT_EQ(messageOf([&] { writeFileAtomically(folder, "text"); }),
              "Cannot create file " + folder + ": Is a directory");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {"sub"});
    // Written whole, in one go, text or bytes.
    writeFileAtomically((dir / "a.txt").string(), std::string("line\r\n"));
    EXPECT_EQ(test::readBytes(dir / "a.txt"), (std::vector<std::uint8_t> {'l', 'i', 'n', 'e', '\r', '\n'}));
    writeFileAtomically((dir / "a.txt").string(), std::vector<std::uint8_t> {0, 1, 2}, true);
    EXPECT_EQ(test::readBytes(dir / "a.txt"), (std::vector<std::uint8_t> {0, 1, 2}));
    // Used after it failed, or committed twice: an error, never a stray file.
    ReplacingFile twice((dir / "b.txt").string());
    twice.open();
    twice.commit();
    EXPECT_EQ(messageOf([&] { twice.commit(); }),
              "Cannot write to file " + (dir / "b.txt").string() + ": Bad file descriptor");

    test::SmallDisk disk(64 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.error();
    const std::string full = (disk / "full.bin").string();
    writeFileAtomically(full, "old");
    EXPECT_EQ(messageOf([&] { writeFileAtomically(full, std::string(1 << 20, 'x')); }),
              "Cannot write to file " + full + ": No space left on device");
    EXPECT_EQ(test::readBytes(full), (std::vector<std::uint8_t> {'o', 'l', 'd'}));
    EXPECT_EQ(namesIn(disk.path()).size(), 1u);
}
