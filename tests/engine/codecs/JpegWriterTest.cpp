// The JPEG writer, checked byte by byte where the layout is ours and through
// independent readers (PIL, icotool, ImageMagick) for the pixels.
#include "codecs/Writers.h"

#include "WriterTestPictures.h"

using namespace vextral;
using namespace vextral::codecs;
using vextral::test::readBytes;
using vextral::test::runCommand;
using vextral::test::shellQuote;
using vextral::test::TempDir;
using namespace vextral::test::writers;

TEST(JpegWriter, BaselineJfifWithDensityAndOptions)
{
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = gradient(16, 8);
    buffer.params().jpegQuality = 86;
    const std::string path = (dir / "a.jpg").string();
    buffer.saveToFile(path);
    const auto bytes = readBytes(path);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    const std::size_t app0 = find(bytes, {0xFF, 0xE0});
    ASSERT_NE(app0, std::string::npos);
    EXPECT_EQ(std::string(bytes.begin() + static_cast<long>(app0) + 4, bytes.begin() + static_cast<long>(app0) + 9),
              std::string("JFIF\0", 5));
    EXPECT_EQ(bytes[app0 + 11], 1); // density unit: dots per inch
    EXPECT_EQ(bytes[app0 + 12], 0); // X density 0
    EXPECT_EQ(bytes[app0 + 13], 0);
    EXPECT_EQ(bytes[app0 + 14], 0); // Y density 0
    EXPECT_EQ(bytes[app0 + 15], 0);
    EXPECT_NE(find(bytes, {0xFF, 0xC0}), std::string::npos); // baseline
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);
    EXPECT_EQ(
        python("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nprint(im.format, im.mode, im.size, "
               "im.info.get('dpi'), im.info.get('progressive', 0))\n",
               path),
        "JPEG RGB (16, 8) (0, 0) 0\n");

    // Progressive, grey and a resolution; a 1-bit picture is written as colour.
    buffer.params().jpegProgressive = true;
    buffer.params().resolutionX = 96;
    buffer.params().resolutionY = 72;
    buffer.saveToFile(path);
    EXPECT_EQ(
        python("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nprint(im.mode, im.info.get('dpi'), "
               "im.info.get('progressive'))\n",
               path),
        "RGB (96, 72) 1\n");
    buffer.params().jpegProgressive = false;
    buffer.params().jpegColorSpace = 1;
    buffer.picture() = Picture::make(9, 3, 1);
    buffer.picture().setBit(4, 1, true);
    buffer.saveToFile(path);
    EXPECT_EQ(python("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nprint(im.mode, im.size, "
                     "im.getpixel((4, 1)) > 200, im.getpixel((0, 0)) < 50)\n",
                     path),
              "L (9, 3) True True\n");

    // A writer aborted from its progress callback leaves the file unfinished.
    buffer.params().jpegColorSpace = 2;
    buffer.picture() = gradient(64, 64);
    buffer.progress = [](int percent) { return percent < 50; };
    buffer.saveToFile(path);
    const auto cut = readBytes(path);
    EXPECT_FALSE(cut.size() >= 2 && cut[cut.size() - 2] == 0xFF && cut[cut.size() - 1] == 0xD9);
}
