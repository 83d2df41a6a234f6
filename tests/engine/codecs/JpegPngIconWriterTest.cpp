// The JPEG, PNG, icon, cursor and metafile writers, checked byte by byte
// where the layout is ours and through independent readers (PIL, icotool,
// ImageMagick) for the pixels.
#include "core/Bytes.h"
#include "codecs/ImageBuffer.h"
#include "codecs/Quantizer.h"
#include "codecs/Writers.h"

#include "TestSupport.h"
#include "core/Error.h"
#include "platform/IconExtractor.h"

#include <gtest/gtest.h>

using namespace vextral;
using namespace vextral::codecs;
using vextral::test::readBytes;
using vextral::test::runCommand;
using vextral::test::shellQuote;
using vextral::test::TempDir;

namespace {

// A smooth picture with a few distinct colours: red-green gradient, blue block.
Picture gradient(int w, int h)
{
    Picture p = Picture::make(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.setPixel(x, y, Bgr{static_cast<std::uint8_t>(x < w / 2 && y < h / 2 ? 200 : 0),
                                 static_cast<std::uint8_t>(255 * y / std::max(1, h - 1)),
                                 static_cast<std::uint8_t>(255 * x / std::max(1, w - 1))});
        }
    }
    return p;
}

std::string python(const std::string& script, const std::string& file)
{
    std::string out;
    EXPECT_EQ(runCommand("/usr/bin/python3 -c " + shellQuote(script) + " " + shellQuote(file) + " 2>&1", &out), 0) << out;
    return out;
}

// The pixels as "r,g,b r,g,b ...", row by row.
std::string pixelText(const Picture& p)
{
    std::string out;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const Bgr c = p.pixel(x, y);
            out += std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + " ";
        }
    }
    return out + "\n";
}

const char* const kPilPixels =
    "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
    "print(''.join('%d,%d,%d ' % im.getpixel((x, y)) for y in range(im.height) for x in range(im.width)))\n";

std::size_t find(const std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> what)
{
    const std::vector<std::uint8_t> needle(what);
    const auto it = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
    return it == bytes.end() ? std::string::npos : static_cast<std::size_t>(it - bytes.begin());
}

} // namespace

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
    EXPECT_EQ(std::string(bytes.begin() + static_cast<long>(app0) + 4, bytes.begin() + static_cast<long>(app0) + 9), std::string("JFIF\0", 5));
    EXPECT_EQ(bytes[app0 + 11], 1);        // density unit: dots per inch
    EXPECT_EQ(bytes[app0 + 12], 0);        // X density 0
    EXPECT_EQ(bytes[app0 + 13], 0);
    EXPECT_EQ(bytes[app0 + 14], 0);        // Y density 0
    EXPECT_EQ(bytes[app0 + 15], 0);
    EXPECT_NE(find(bytes, {0xFF, 0xC0}), std::string::npos); // baseline
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);
    EXPECT_EQ(python("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nprint(im.format, im.mode, im.size, "
                     "im.info.get('dpi'), im.info.get('progressive', 0))\n", path),
              "JPEG RGB (16, 8) (0, 0) 0\n");

    // Progressive, grey and a resolution; a 1-bit picture is written as colour.
    buffer.params().jpegProgressive = true;
    buffer.params().resolutionX = 96;
    buffer.params().resolutionY = 72;
    buffer.saveToFile(path);
    EXPECT_EQ(python("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nprint(im.mode, im.info.get('dpi'), "
                     "im.info.get('progressive'))\n", path),
              "RGB (96, 72) 1\n");
    buffer.params().jpegProgressive = false;
    buffer.params().jpegColorSpace = 1;
    buffer.picture() = Picture::make(9, 3, 1);
    buffer.picture().setBit(4, 1, true);
    buffer.saveToFile(path);
    EXPECT_EQ(python("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nprint(im.mode, im.size, im.getpixel((4, 1)) > 200, im.getpixel((0, 0)) < 50)\n", path),
              "L (9, 3) True True\n");

    // A writer aborted from its progress callback leaves the file unfinished.
    buffer.params().jpegColorSpace = 2;
    buffer.picture() = gradient(64, 64);
    buffer.progress = [](int percent) { return percent < 50; };
    buffer.saveToFile(path);
    EXPECT_TRUE(buffer.aborting);
    const auto cut = readBytes(path);
    EXPECT_FALSE(cut.size() >= 2 && cut[cut.size() - 2] == 0xFF && cut[cut.size() - 1] == 0xD9);
}

TEST(PngWriter, ColourTypesAndChunksByTheDepthRule)
{
    TempDir dir;
    const std::string path = (dir / "a.png").string();
    const char* chunks =
        "import sys, struct, zlib\nd = open(sys.argv[1], 'rb').read()\npos = 8\nout = []\nidat = b''\n"
        "while pos < len(d):\n  n, = struct.unpack('>I', d[pos:pos+4]); t = d[pos+4:pos+8].decode(); c = d[pos+8:pos+8+n]\n"
        "  if t == 'IHDR': out.append('IHDR %d %d %d %d %d' % (struct.unpack('>II', c[:8]) + (c[8], c[9], c[12])))\n"
        "  elif t == 'pHYs': out.append('pHYs %d %d %d' % struct.unpack('>IIB', c))\n"
        "  elif t == 'PLTE': out.append('PLTE %d' % (n // 3))\n"
        "  elif t == 'bKGD': out.append('bKGD ' + c.hex())\n"
        "  elif t == 'IDAT': idat += c\n"
        "  pos += 12 + n\n"
        "print(' | '.join(out))\n";

    // Defaults: true colour, the same pixels in PIL, pHYs 0 0 in metres, black bKGD.
    ImageBuffer buffer;
    buffer.picture() = gradient(7, 5);
    buffer.saveToFile(path);
    EXPECT_EQ(python(chunks, path), "IHDR 7 5 8 2 0 | bKGD 000000000000 | pHYs 0 0 1\n");
    EXPECT_EQ(python(kPilPixels, path), pixelText(buffer.picture()));

    // Filters: every row carries the chosen filter type.
    const char* filters = "import sys, struct, zlib\nd = open(sys.argv[1], 'rb').read()\npos = 8\nidat = b''\nw = h = 0\n"
                          "while pos < len(d):\n  n, = struct.unpack('>I', d[pos:pos+4]); t = d[pos+4:pos+8]\n"
                          "  if t == b'IHDR': w, h = struct.unpack('>II', d[pos+8:pos+16])\n"
                          "  if t == b'IDAT': idat += d[pos+8:pos+8+n]\n  pos += 12 + n\n"
                          "raw = zlib.decompress(idat)\nprint(sorted(set(raw[i * (w * 3 + 1)] for i in range(h))))\n";
    buffer.params().pngFilter = 1;
    buffer.saveToFile(path);
    EXPECT_EQ(python(filters, path), "[1]\n");
    buffer.params().pngFilter = 2;
    buffer.saveToFile(path);
    EXPECT_EQ(python(filters, path), "[4]\n");
    buffer.params().pngFilter = 0;

    // Interlaced, with a resolution of 72 dpi (2835 pixels a metre).
    buffer.params().pngInterlaced = true;
    buffer.params().resolutionX = buffer.params().resolutionY = 72;
    buffer.params().pngBackground = Bgr{0x30, 0x20, 0x10};
    buffer.saveToFile(path);
    EXPECT_EQ(python(chunks, path), "IHDR 7 5 8 2 1 | bKGD 001000200030 | pHYs 2835 2835 1\n");
    EXPECT_EQ(python(kPilPixels, path), pixelText(buffer.picture()));
    buffer.params().pngInterlaced = false;

    // Samples 1: a 256-entry palette from the quantiser; each pixel is its table colour.
    buffer.params().samples = 1;
    buffer.saveToFile(path);
    EXPECT_EQ(python(chunks, path).substr(0, 26), "IHDR 7 5 8 3 0 | PLTE 256 ");
    EXPECT_NE(python(chunks, path).find("pHYs 2835 2835 1"), std::string::npos);
    const Quantizer q(buffer.picture(), 256);
    Picture expected = Picture::make(7, 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) expected.setPixel(x, y, q.paddedTable(256)[q.index(buffer.picture().pixel(x, y))]);
    }
    EXPECT_EQ(python(kPilPixels, path), pixelText(expected));

    // SampleBits 1 and Samples 1: a 1-bit grey picture from the two-colour reduction.
    buffer.params().sampleBits = 1;
    buffer.saveToFile(path);
    EXPECT_EQ(python(chunks, path).substr(0, 14), "IHDR 7 5 1 0 0");
    EXPECT_EQ(python(kPilPixels, path), pixelText(reduceToTwoColours(buffer.picture()).picture));
}

TEST(IconFileWriters, PicturesAsIconsCursorsAndMetafiles)
{
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = gradient(5, 3);
    const std::string ico = (dir / "p.ico").string();
    const std::string cur = (dir / "p.CUR").string();
    const std::string wmf = (dir / "p.wmf").string();
    buffer.saveToFile(ico);
    buffer.saveToFile(cur);
    buffer.saveToFile(wmf);
    std::string listing;
    ASSERT_EQ(runCommand("icotool -l " + shellQuote(ico) + " " + shellQuote(cur), &listing), 0);
    EXPECT_EQ(listing, "--icon --index=1 --width=5 --height=3 --bit-depth=32 --palette-size=0\n"
                       "--cursor --index=1 --width=5 --height=3 --bit-depth=32 --palette-size=0 --hotspot-x=0 --hotspot-y=0\n");
    EXPECT_EQ(python(kPilPixels, ico), pixelText(buffer.picture()));

    // The metafile: placeable key and checksum, and ImageMagick draws the picture.
    const auto bytes = readBytes(wmf);
    EXPECT_EQ(le32(bytes.data()), 0x9AC6CDD7u);
    std::uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= le16(bytes.data() + 2 * i);
    EXPECT_EQ(le16(bytes.data() + 20), sum);
    EXPECT_EQ(le32(bytes.data() + 22 + 6) * 2, bytes.size() - 22); // size in words
    std::string info;
    ASSERT_EQ(runCommand("/usr/bin/convert -density 96 " + shellQuote(wmf) + " -depth 8 " + shellQuote((dir / "w.png").string()) + " 2>&1", &info), 0) << info;
    EXPECT_EQ(python(kPilPixels, (dir / "w.png").string()), pixelText(buffer.picture()));

    // Unknown extensions write nothing and set aborting.
    buffer.saveToFile((dir / "p.emf").string());
    EXPECT_TRUE(buffer.aborting);
    EXPECT_FALSE(std::filesystem::exists(dir / "p.emf"));
    buffer.saveToFile((dir / "noext").string());
    EXPECT_TRUE(buffer.aborting);

    // Empty pictures and uncreatable files are errors, not silent successes.
    ImageBuffer empty;
    EXPECT_THROW(empty.saveToFile((dir / "e.png").string()), Error);
    EXPECT_FALSE(std::filesystem::exists(dir / "e.png"));
    try {
        buffer.saveToFile((dir / "no/such/x.png").string());
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + (dir / "no/such/x.png").string() + ": No such file or directory");
    }
}
