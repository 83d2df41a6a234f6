// The PNG writer, checked byte by byte where the layout is ours and through
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

TEST(PngWriter, ColourTypesAndChunksByTheDepthRule)
{
    TempDir dir;
    const std::string path = (dir / "a.png").string();
    const char* chunks =
        "import sys, struct, zlib\nd = open(sys.argv[1], 'rb').read()\npos = 8\nout = []\nidat = b''\n"
        "while pos < len(d):\n  n, = struct.unpack('>I', d[pos:pos+4]); t = d[pos+4:pos+8].decode(); c = "
        "d[pos+8:pos+8+n]\n"
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
    const char* filters =
        "import sys, struct, zlib\nd = open(sys.argv[1], 'rb').read()\npos = 8\nidat = b''\nw = h = 0\n"
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
    buffer.params().pngBackground = Bgr {0x30, 0x20, 0x10};
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

    // A picture of two other colours keeps them: 1 bit a pixel over a
    // 2-entry palette, its bKGD the nearer entry (white) ...
    Picture two = Picture::make(7, 5);
    for (int i = 0; i < 35; ++i) two.setPixel(i % 7, i / 7, i % 3 ? Bgr {0, 0, 0xFF} : Bgr {0xFF, 0xFF, 0xFF});
    buffer.picture() = two;
    buffer.params().pngBackground = Bgr {0xF0, 0xF0, 0xF0};
    buffer.saveToFile(path);
    EXPECT_EQ(python(chunks, path), "IHDR 7 5 1 3 0 | PLTE 2 | bKGD 01 | pHYs 2835 2835 1\n");
    EXPECT_EQ(python(kPilPixels, path), pixelText(two));
    // ... and in true colour they stay as they are.
    buffer.params().samples = 3;
    buffer.saveToFile(path);
    EXPECT_EQ(python(chunks, path).substr(0, 14), "IHDR 7 5 8 2 0");
    EXPECT_EQ(python(kPilPixels, path), pixelText(two));
}
