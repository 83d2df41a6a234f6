// Every bound of ReaderLimits that the picture readers and the icon image
// decoders keep: a lowered field refuses an input that the defaults read,
// with the text the reader gives at the real limit.
#include "core/ReaderLimits.h"
#include "codecs/IconImage.h"
#include "codecs/ImageBuffer.h"
#include "codecs/PictureReader.h"
#include "codecs/Writers.h"
#include "engine/codecs/ConvertFixtures.h"
#include "engine/codecs/WriterReadBack.h"

#include <gtest/gtest.h>

namespace vextral::codecs {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::convertFixture;

ReadResult<Picture> readAs(const Bytes& bytes, const std::string& name, const ReaderLimits& limits = {})
{
    return readPicture(FileBytes::copyOf(bytes), *pictureInputFor(name), limits);
}

TEST(ReaderLimits, PictureSideOfEveryReader)
{
    const std::string error = "The picture size 4 x 3 is too large: each side can be at most 3 pixels";
    ReaderLimits low;
    low.pictureSide = 3;
    for (const char* name :
         {"colour.png", "colour.jpg", "colour.tga", "colour.ppm", "colour.rla", "colour.bmp", "colour.tif"}) {
        SCOPED_TRACE(name);
        const Bytes bytes = test::readBytes(convertFixture(name));
        const ReadResult<Picture> read = readAs(bytes, name);
        ASSERT_TRUE(read.ok()) << read.reason();
        EXPECT_EQ(read->width, 4);
        EXPECT_EQ(readAs(bytes, name, low).reason(), error);
    }
}

TEST(ReaderLimits, PictureFileBytes)
{
    test::TempDir dir;
    Bytes png = test::readBytes(convertFixture("colour.png"));
    png.resize((std::size_t {1} << 20) + 1, 0); // what follows the end chunk is never read
    test::writeBytes(dir / "big.png", png);
    const std::string file = (dir / "big.png").string();
    const PictureInput input = *pictureInputFor(file);
    ASSERT_TRUE(readPictureFile(file, input).ok());
    ReaderLimits low;
    low.pictureFileBytes = std::uint64_t {1} << 20;
    EXPECT_EQ(readPictureFile(file, input, low).reason(),
              "Cannot open file " + file + ": the file is larger than 1 MiB");
    EXPECT_EQ(checkPictureFile(file, low).reason(), "Cannot open file " + file + ": the file is larger than 1 MiB");
    EXPECT_TRUE(checkPictureFile(file).ok());
}

TEST(ReaderLimits, PngChunkBytes)
{
    // A text chunk that inflates past the limit is dropped (libpng's benign
    // error, see LibPngTest); the picture itself still reads.
    const Bytes png = test::pngWithTextChunk(test::readBytes(convertFixture("colour.png")), 2000);
    ASSERT_TRUE(readAs(png, "a.png").ok()) << readAs(png, "a.png").reason();
    ReaderLimits low;
    low.pngChunkBytes = 1000;
    const ReadResult<Picture> read = readAs(png, "a.png", low);
    ASSERT_TRUE(read.ok()) << read.reason();
    EXPECT_EQ(test::describe(*read), test::describe(test::kColour));
}

TEST(ReaderLimits, JpegScansAndDecoderMemory)
{
    const Bytes jpeg = test::readBytes(convertFixture("progressive.jpg"));
    ASSERT_TRUE(readAs(jpeg, "a.jpg").ok());
    ReaderLimits fewScans;
    fewScans.jpegScans = 2;
    EXPECT_EQ(readAs(jpeg, "a.jpg", fewScans).reason(), "JPEG image is not valid (more than 2 scans)");

    // The coefficients of a progressive 256 x 256 picture take some 400 KB;
    // without room for them libjpeg would need a backing store it has not.
    test::TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = test::colourful(256, 256);
    buffer.params().jpegProgressive = true;
    writeJpeg(buffer, (dir / "p.jpg").string());
    const Bytes large = test::readBytes(dir / "p.jpg");
    ASSERT_TRUE(readAs(large, "a.jpg").ok());
    ReaderLimits littleMemory;
    littleMemory.jpegDecoderMemory = 64 * 1024;
    const std::string reason = readAs(large, "a.jpg", littleMemory).reason();
    EXPECT_EQ(reason.rfind("Not enough memory to read the picture of 256 x 256 pixels (its coefficients take ", 0), 0u)
        << reason;
    EXPECT_NE(reason.find(" KiB, more than 64 KiB)"), std::string::npos) << reason;

    // The coefficients must come from scan data: the bytes a block above the
    // always-kept amount.
    ReaderLimits coefficientsPerByte;
    coefficientsPerByte.jpegCoefficientBytesAlwaysRead = 1024;
    coefficientsPerByte.jpegCoefficientBytesPerByte = 1;
    EXPECT_EQ(readAs(large, "a.jpg", coefficientsPerByte)
                  .reason()
                  .rfind("JPEG image is not valid (256 x 256 pixels in several scans cannot come from ", 0),
              0u);
    coefficientsPerByte.jpegCoefficientBytesAlwaysRead = 1 << 20;
    EXPECT_TRUE(readAs(large, "a.jpg", coefficientsPerByte).ok());

    // The blocks all the scans go over: the 256 x 256 picture's scans go
    // over a thousand or two blocks each.
    ReaderLimits scanBlocks;
    scanBlocks.jpegScanBlocksAlwaysRead = 3000;
    scanBlocks.jpegScanBlocksPerByte = 0;
    const std::string blocks = readAs(large, "a.jpg", scanBlocks).reason();
    EXPECT_EQ(blocks.rfind("JPEG image is not valid (", 0), 0u) << blocks;
    EXPECT_NE(blocks.find(" scans over "), std::string::npos) << blocks;
    EXPECT_NE(blocks.find(" blocks are more than its data can hold)"), std::string::npos) << blocks;
    scanBlocks.jpegScanBlocksPerByte = 128;
    EXPECT_TRUE(readAs(large, "a.jpg", scanBlocks).ok());
}

TEST(ReaderLimits, JpegPixelsForTheFilesBytes)
{
    test::TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = Picture::make(256, 256); // black: a small file
    writeJpeg(buffer, (dir / "flat.jpg").string());
    const Bytes jpeg = test::readBytes(dir / "flat.jpg");
    ASSERT_TRUE(readAs(jpeg, "a.jpg").ok());
    ReaderLimits strict;
    strict.jpegPixelsAlwaysRead = 1000;
    strict.jpegPixelsPerByte = 1;
    // Only the scan data counts, not the file's headers and tables.
    const std::string reason = readAs(jpeg, "a.jpg", strict).reason();
    const std::string start = "JPEG image is not valid (256 x 256 pixels cannot come from ";
    ASSERT_EQ(reason.rfind(start, 0), 0u) << reason;
    EXPECT_LT(std::stoul(reason.substr(start.size())), jpeg.size() - 300) << reason;
    EXPECT_NE(reason.find(" bytes of scan data)"), std::string::npos) << reason;
    // Below the always-read count the ratio is not asked.
    strict.jpegPixelsAlwaysRead = 256 * 256;
    EXPECT_TRUE(readAs(jpeg, "a.jpg", strict).ok());
}

TEST(ReaderLimits, MagickCacheAndImages)
{
    const Bytes tga = test::readBytes(convertFixture("colour.tga"));
    ReaderLimits tiny;
    tiny.magickMemoryBytes = 16;
    tiny.magickDiskBytes = 16;
    const std::string reason = readAs(tga, "a.tga", tiny).reason();
    EXPECT_EQ(reason.rfind("Not enough memory to read the picture of 4 x 3 pixels (", 0), 0u) << reason;
    // The process's limits are the reader's again at the next read.
    EXPECT_TRUE(readAs(tga, "a.tga").ok());

    const Bytes psd = test::readBytes(convertFixture("layers.psd"));
    ASSERT_TRUE(readAs(psd, "a.psd").ok());
    ReaderLimits oneImage;
    oneImage.magickImages = 0;
    EXPECT_FALSE(readAs(psd, "a.psd", oneImage).ok());
    EXPECT_TRUE(readAs(psd, "a.psd").ok());
}

// ---------------------------------------------------------------- icon images

// The n-th image of an icon file's directory.
Bytes iconImage(const Bytes& ico, std::size_t n)
{
    const std::uint8_t* entry = ico.data() + 6 + 16 * n;
    const std::size_t size = entry[8] | entry[9] << 8 | entry[10] << 16 | static_cast<std::size_t>(entry[11]) << 24;
    const std::size_t at = entry[12] | entry[13] << 8 | entry[14] << 16 | static_cast<std::size_t>(entry[15]) << 24;
    return Bytes(ico.begin() + static_cast<std::ptrdiff_t>(at), ico.begin() + static_cast<std::ptrdiff_t>(at + size));
}

TEST(ReaderLimits, DibSideAndFullImagePixels)
{
    // multi.ico's fourth image: 32 x 32 x 32.
    const Bytes dib = iconImage(test::readBytes(test::fixture("multi.ico")), 3);
    ASSERT_TRUE(probeIconImage(dib).has_value());
    ASSERT_TRUE(decodeIconImage(dib).has_value());
    ASSERT_TRUE(decodeIconImageFull(dib).has_value());
    ReaderLimits narrow;
    narrow.dibSide = 31;
    EXPECT_FALSE(probeIconImage(dib, narrow).has_value());
    EXPECT_FALSE(decodeIconImage(dib, narrow).has_value());
    EXPECT_FALSE(decodeIconImageFull(dib, narrow).has_value());
    ReaderLimits fewPixels;
    fewPixels.fullImagePixels = 32 * 32 - 1;
    EXPECT_TRUE(decodeIconImage(dib, fewPixels).has_value()) << "the 32 x 32 icon is not decoded at full size";
    EXPECT_FALSE(decodeIconImageFull(dib, fewPixels).has_value());
}

TEST(ReaderLimits, IconPngSideAndChunks)
{
    // multi.ico's sixth image: a 256 x 256 PNG.
    const Bytes png = iconImage(test::readBytes(test::fixture("multi.ico")), 5);
    ASSERT_TRUE(decodeIconImage(png).has_value());
    ASSERT_EQ(decodeIconImageFull(png)->width, 256);
    ReaderLimits narrow;
    narrow.iconPngSide = 255;
    EXPECT_FALSE(probeIconImage(png, narrow).has_value());
    EXPECT_FALSE(decodeIconImage(png, narrow).has_value());
    EXPECT_FALSE(decodeIconImageFull(png, narrow).has_value());

    // A text chunk that inflates past the limit is dropped; the image still decodes.
    const Bytes texted = test::pngWithTextChunk(png, 2000);
    ASSERT_TRUE(decodeIconImage(texted).has_value());
    ReaderLimits smallChunks;
    smallChunks.iconPngChunkBytes = 1000;
    EXPECT_EQ(decodeIconImage(texted, smallChunks), decodeIconImage(png));
}

TEST(ReaderLimits, RlePixelsOfABitmapFile)
{
    const MemoryByteSource rle(test::readBytes(convertFixture("colour.rle")));
    ASSERT_TRUE(decodeBitmapFile(rle).has_value());
    ReaderLimits few;
    few.rlePixels = 11; // the picture has 12
    EXPECT_FALSE(decodeBitmapFile(rle, few).has_value());
    EXPECT_TRUE(probeBitmapFile(rle, few).has_value()) << "only decoding is bounded";
}

} // namespace
} // namespace vextral::codecs
