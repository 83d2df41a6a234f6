// The pictures ImageMagick reads for us, at the sizes the program's own
// limits allow whatever the system's ImageMagick policy says (Debian's allows
// 256 MiB of memory cache and 16000 pixels a side), with the cache of large
// pictures in a temporary folder that can be written, and the texts of a
// picture past the limits.
#include "codecs/ImageBuffer.h"
#include "codecs/PictureReader.h"
#include "codecs/Writers.h"
#include "core/Error.h"
#include "core/ReaderLimits.h"

#include "TestSupport.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace vextral::codecs {
namespace {

using test::TempDir;

ReadResult<Picture> readFile(const std::filesystem::path& path, const ReaderLimits& limits = {})
{
    return readPictureFile(path.string(), *pictureInputFor(path.string()), limits);
}

// A black picture with a red last pixel and a blue first one.
Picture markedPicture(int width, int height)
{
    Picture picture = Picture::make(width, height);
    std::uint8_t* first = picture.row(0);
    first[0] = 0xFF;
    std::uint8_t* last = picture.row(height - 1) + 3 * static_cast<std::size_t>(width - 1);
    last[2] = 0xFF;
    return picture;
}

void expectMarked(const ReadResult<Picture>& read, int width, int height)
{
    ASSERT_TRUE(read.ok()) << read.reason();
    ASSERT_EQ(read->width, width);
    ASSERT_EQ(read->height, height);
    const std::uint8_t* first = read->row(0);
    EXPECT_EQ(first[0] << 16 | first[1] << 8 | first[2], 0xFF0000); // blue, green, red
    const std::uint8_t* last = read->row(height - 1) + 3 * static_cast<std::size_t>(width - 1);
    EXPECT_EQ(last[0] << 16 | last[1] << 8 | last[2], 0x0000FF);
}

void writePpm(const Picture& picture, const std::filesystem::path& path)
{
    const std::string header =
        "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    bytes.reserve(header.size() + picture.pixels.size());
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* row = picture.row(y);
        for (int x = 0; x < picture.width; ++x, row += 3) bytes.insert(bytes.end(), {row[2], row[1], row[0]});
    }
    test::writeBytes(path, bytes);
}

// Sets the ImageLength field of a little-endian TIFF file's first directory.
void setTiffHeight(std::vector<std::uint8_t>& tiff, std::uint32_t height)
{
    ASSERT_EQ(tiff.at(0), 'I');
    const auto le16 = [&](std::size_t at) { return static_cast<unsigned>(tiff.at(at) | tiff.at(at + 1) << 8); };
    const std::size_t ifd = le16(4) | static_cast<std::size_t>(le16(6)) << 16;
    for (std::size_t n = 0, entry = ifd + 2; n < le16(ifd); ++n, entry += 12) {
        if (le16(entry) != 257) continue;
        const unsigned type = le16(entry + 2);
        ASSERT_TRUE(type == 3 || type == 4);
        for (std::size_t i = 0; i < (type == 3 ? 2u : 4u); ++i)
            tiff.at(entry + 8 + i) = static_cast<std::uint8_t>(height >> (8 * i));
        return;
    }
    FAIL() << "no ImageLength";
}

// A black 24-bit bitmap file, whole (ImageMagick's reader refuses one whose
// rows are not all there before it says its size).
std::vector<std::uint8_t> blackBmp(std::uint32_t width, std::uint32_t height)
{
    const std::uint32_t rows = (width * 3 + 3) / 4 * 4 * height;
    std::vector<std::uint8_t> bmp(54 + rows, 0);
    const auto le32 = [&](std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    le32(2, static_cast<std::uint32_t>(bmp.size()));
    le32(10, 54);
    le32(14, 40);
    le32(18, width);
    le32(22, height);
    bmp[26] = 1;  // planes
    bmp[28] = 24; // bits a pixel
    le32(34, rows);
    return bmp;
}

// 6000 x 6000: ImageMagick's cache of it (8 bytes a pixel, 288 MB) is more
// than Debian's policy lets it keep in memory.
constexpr int kLarge = 6000;

TEST(MagickReader, LargeTiffReads)
{
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = markedPicture(kLarge, kLarge);
    writeTiff(buffer, (dir / "large.tif").string());
    buffer.picture() = Picture();
    const auto start = std::chrono::steady_clock::now();
    expectMarked(readFile(dir / "large.tif"), kLarge, kLarge);
    std::printf("6000 x 6000 TIFF read in %.1f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

TEST(MagickReader, LargeBitmapReads)
{
    TempDir dir;
    {
        ImageBuffer buffer;
        buffer.picture() = markedPicture(kLarge, kLarge);
        writeBmp(buffer, (dir / "large.bmp").string());
    }
    expectMarked(readFile(dir / "large.bmp"), kLarge, kLarge);
}

TEST(MagickReader, LargePortableMapReads)
{
    TempDir dir;
    writePpm(markedPicture(kLarge, kLarge), dir / "large.ppm");
    expectMarked(readFile(dir / "large.ppm"), kLarge, kLarge);
}

TEST(MagickReader, TheLargestPictureFitsTheDiskCache)
{
    // The disk cache of ReaderLimits holds the largest picture (pictureSide
    // squared of 16-bit CMYK with alpha, kMagickPixelBytes a pixel) twice,
    // since ImageMagick's read of a picture takes more than its own cache:
    // here at 1024 a side, with next to no memory.
    TempDir dir;
    const std::string tif = (dir / "cmyka.tif").string();
    ASSERT_EQ(test::runCommand("convert -size 1024x1024 xc:cyan -colorspace CMYK -alpha on -depth 16 " +
                               test::shellQuote(tif)),
              0);
    ReaderLimits limits;
    limits.pictureSide = 1024;
    limits.magickMemoryBytes = 1 << 20;
    limits.magickDiskBytes = 2 * kMagickPixelBytes * 1024 * 1024;
    const ReadResult<Picture> read = readFile(tif, limits);
    ASSERT_TRUE(read.ok()) << read.reason();
    ASSERT_EQ(read->width, 1024);
    const std::uint8_t* last = read->row(1023) + 3 * 1023;
    EXPECT_EQ(last[0] << 16 | last[1] << 8 | last[2], 0xFFFF00); // cyan: blue, green, no red
    // The picture's own cache alone is not enough.
    limits.magickDiskBytes = kMagickPixelBytes * 1024 * 1024;
    const std::string reason = readFile(tif, limits).reason();
    EXPECT_EQ(reason.rfind("Not enough memory to read the picture of 1024 x 1024 pixels (", 0), 0u) << reason;
}

TEST(MagickReader, SidesUpToTheProgramsLimit)
{
    // 16384 pixels a side reads (Debian's policy stops at 16000); one more
    // is refused as too large before anything is decoded, whichever format.
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = markedPicture(16384, 2);
    writeTiff(buffer, (dir / "widest.tif").string());
    writeBmp(buffer, (dir / "widest.bmp").string());
    for (const char* name : {"widest.tif", "widest.bmp"}) {
        SCOPED_TRACE(name);
        expectMarked(readFile(dir / name), 16384, 2);
    }
    // 16385 rows: the files of 16384 with the height in their headers one
    // more (the size is refused before any row is read).
    buffer.picture() = markedPicture(2, 16384);
    writeTiff(buffer, (dir / "tall.tif").string());
    auto tiff = test::readBytes(dir / "tall.tif");
    setTiffHeight(tiff, 16385);
    test::writeBytes(dir / "tall.tif", tiff);
    test::writeBytes(dir / "tall.bmp", blackBmp(2, 16385));
    const std::string ppm = "P6\n2 16385\n255\n";
    test::writeBytes(dir / "tall.ppm", std::vector<std::uint8_t>(ppm.begin(), ppm.end()));
    for (const char* name : {"tall.tif", "tall.bmp", "tall.ppm"}) {
        EXPECT_EQ(readFile(dir / name).reason(),
                  "The picture size 2 x 16385 is too large: each side can be at most 16384 pixels")
            << name;
    }
    // So with a lower limit: the reader's text, not the bitmap reader's own.
    ReaderLimits low;
    low.pictureSide = 100;
    buffer.picture() = markedPicture(101, 3);
    writeBmp(buffer, (dir / "small.bmp").string());
    EXPECT_EQ(readFile(dir / "small.bmp", low).reason(),
              "The picture size 101 x 3 is too large: each side can be at most 100 pixels");
}

TEST(MagickReader, PhotoshopFileOfSeventyLayers)
{
    TempDir dir;
    // ImageMagick writes the first image as the merged picture and every
    // other one as a layer: 71 images make 70 layers.
    std::string command = "convert -size 8x8";
    for (int i = 0; i < 71; ++i) command += i % 2 ? " xc:red" : " xc:blue";
    const std::string psd = (dir / "layers.psd").string();
    ASSERT_EQ(test::runCommand(command + " " + test::shellQuote(psd)), 0);
    std::string listed;
    ASSERT_EQ(test::runCommand("identify " + test::shellQuote(psd), &listed), 0);
    ASSERT_EQ(std::count(listed.begin(), listed.end(), '\n'), 71) << listed;

    const ReadResult<Picture> read = readFile(psd);
    ASSERT_TRUE(read.ok()) << read.reason();
    EXPECT_EQ(read->width, 8);
    EXPECT_EQ(read->height, 8);
    EXPECT_EQ(read->row(0)[0], 0xFF); // blue
    // Past the count of images, the file is too large.
    ReaderLimits fewer;
    fewer.magickImages = 70;
    EXPECT_EQ(readFile(psd, fewer).reason(), "The picture file is too large: it holds more than 70 images");
}

// Run by CacheFilesGoToAWritableTemporaryFolder in a process of its own
// (ImageMagick picks its temporary folder once, when it starts): a picture
// whose cache is larger than the memory allowed is read through a cache file,
// which is gone after the read.
TEST(MagickReader, CacheFileChild)
{
    const char* picture = std::getenv("VEXTRAL_TEST_CACHE_PICTURE");
    if (!picture) GTEST_SKIP() << "run by CacheFilesGoToAWritableTemporaryFolder";
    ReaderLimits littleMemory;
    littleMemory.magickMemoryBytes = 1 << 20;
    expectMarked(readFile(picture, littleMemory), 1000, 1000);
}

TEST(MagickReader, CacheFilesGoToAWritableTemporaryFolder)
{
    TempDir dir;
    const std::filesystem::path tmp = dir / "tmp";
    std::filesystem::create_directory(tmp);
    {
        ImageBuffer buffer;
        buffer.picture() = markedPicture(1000, 1000);
        writeTiff(buffer, (dir / "picture.tif").string());
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const auto child = [&](const std::string& folder, const std::string& tmpdir) {
        std::string output;
        const int status = test::runCommand("cd " + test::shellQuote(folder) + " && env VEXTRAL_TEST_CACHE_PICTURE=" +
                                                test::shellQuote((dir / "picture.tif").string()) +
                                                " TMPDIR=" + test::shellQuote(tmpdir) + " " + test::shellQuote(self) +
                                                " --gtest_filter=MagickReader.CacheFileChild 2>&1",
                                            &output);
        EXPECT_EQ(status, 0) << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    };
    // In $TMPDIR, and removed after the read (the program's policy file too).
    child(dir.path().string(), tmp.string());
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
    // A $TMPDIR that is no folder: /tmp, not the current folder (which here
    // cannot be written even by root).
    child("/proc", (dir / "missing").string());
}

} // namespace
} // namespace vextral::codecs

namespace vextral::codecs {
namespace {

// A placeable Windows metafile of a canvas of side x side logical units at
// 96 to the inch (side x side pixels), holding the given records and an end.
std::vector<std::uint8_t> metafile(int side, const std::vector<std::vector<std::uint16_t>>& records)
{
    std::vector<std::uint8_t> body;
    const auto u16 = [](std::vector<std::uint8_t>& out, std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    const auto u32 = [&](std::vector<std::uint8_t>& out, std::uint32_t v) {
        u16(out, v & 0xFFFF);
        u16(out, v >> 16);
    };
    std::size_t largest = 3;
    // A record: its size in words, its function, its parameters.
    for (const auto& record : records) {
        u32(body, static_cast<std::uint32_t>(2 + record.size()));
        for (const std::uint16_t word : record) u16(body, word);
        largest = std::max(largest, 2 + record.size());
    }
    u32(body, 3);
    u16(body, 0);
    std::vector<std::uint8_t> file;
    // The placeable header: key, handle, bounds, units per inch, reserved, checksum.
    const std::uint16_t placeable[] = {
        0xCDD7, 0x9AC6, 0, 0, 0, static_cast<std::uint16_t>(side), static_cast<std::uint16_t>(side), 96, 0, 0};
    std::uint16_t checksum = 0;
    for (const std::uint16_t word : placeable) {
        u16(file, word);
        checksum ^= word;
    }
    u16(file, checksum);
    // The metafile header: on disk, 9 words of header, version 3.00, size in
    // words, no objects, the largest record, no parameters.
    u16(file, 1);
    u16(file, 9);
    u16(file, 0x0300);
    u32(file, static_cast<std::uint32_t>((18 + body.size()) / 2));
    u16(file, 0);
    u32(file, static_cast<std::uint32_t>(largest));
    u16(file, 0);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

constexpr std::uint16_t kRectangle = 0x041B;    // bottom, right, top, left
constexpr std::uint16_t kSelectObject = 0x012D; // object index

// The converter's refusal is its one line on standard error; nothing of
// ImageMagick or libwmf (libwmf prints debug lines on standard output and its
// own "ERROR:" lines on standard error) reaches either.
void expectOnlyOurRefusal(const test::CliResult& run, const std::string& reason)
{
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("ERROR"), std::string::npos) << run.err;
}

// A 14 KB metafile of 1000 rectangles, each covering its 2000 x 2000 canvas,
// draws for minutes in ImageMagick: its read is stopped after the time limit
// and refused, and a metafile libwmf complains about is refused in our words
// only.
TEST(MagickReader, ASlowPictureIsStoppedAndOnlyOurMessageIsShown)
{
    TempDir dir;
    std::vector<std::vector<std::uint16_t>> rectangles(1000, {kRectangle, 2000, 2000, 0, 0});
    const std::vector<std::uint8_t> slow = metafile(2000, rectangles);
    EXPECT_LT(slow.size(), 15000u);
    test::writeBytes(dir / "slow.wmf", slow);
    const auto start = std::chrono::steady_clock::now();
    const test::CliResult stopped =
        test::runCliProgram({"convert", (dir / "slow.wmf").string(), "--to", (dir / "slow.png").string()});
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 12.0);
    expectOnlyOurRefusal(stopped, "The picture takes too long to read: more than 10 seconds");
    EXPECT_FALSE(std::filesystem::exists(dir / "slow.png"));

    // libwmf's "Object out of range!" on selecting an object that is not there.
    test::writeBytes(dir / "broken.wmf", metafile(100, {{kSelectObject, 5}, {kRectangle, 20, 20, 0, 0}}));
    expectOnlyOurRefusal(
        test::runCliProgram({"convert", (dir / "broken.wmf").string(), "--to", (dir / "broken.png").string()}),
        "Metafile is not valid");

    // The limit is the reader's: a lower one stops the read sooner.
    ReaderLimits quick;
    quick.magickSeconds = 2;
    const auto quickStart = std::chrono::steady_clock::now();
    EXPECT_EQ(readFile(dir / "slow.wmf", quick).reason(), "The picture takes too long to read: more than 2 seconds");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - quickStart).count(), 4.0);
}

} // namespace
} // namespace vextral::codecs
