// The icon, cursor and metafile writers, checked byte by byte where the layout is ours and through
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
    // 5 x 3 is smaller than the smallest side: the 16 image, and the classic
    // 32 x 32 one of its 15 colours (see IconWriterImagesTest).
    std::string listing;
    ASSERT_EQ(runCommand("icotool -l " + shellQuote(ico) + " " + shellQuote(cur), &listing), 0);
    EXPECT_EQ(
        listing,
        "--icon --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0\n"
        "--icon --index=2 --width=32 --height=32 --bit-depth=4 --palette-size=16\n"
        "--cursor --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0 --hotspot-x=0 --hotspot-y=0\n"
        "--cursor --index=2 --width=32 --height=32 --bit-depth=4 --palette-size=16 --hotspot-x=0 --hotspot-y=0\n");
    // PIL shows the 32 x 32 image: the picture fitted to 32 x 19 from row 6,
    // its corners where the picture's are, transparent above and below.
    const char* corners = "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGBA')\n"
                          "print(im.size, [im.getpixel(p) for p in [(0, 6), (31, 6), (0, 24), (31, 24), (5, 5), "
                          "(5, 25)]])\n";
    const auto rgba = [&](int x, int y) {
        const Bgr c = buffer.picture().pixel(x, y);
        return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ", 255)";
    };
    EXPECT_EQ(python(corners, ico), "(32, 32) [" + rgba(0, 0) + ", " + rgba(4, 0) + ", " + rgba(0, 2) + ", " +
                                        rgba(4, 2) + ", (0, 0, 0, 0), (0, 0, 0, 0)]\n");

    // The metafile: placeable key and checksum, and ImageMagick draws the picture.
    const auto bytes = readBytes(wmf);
    EXPECT_EQ(le32(bytes.data()), 0x9AC6CDD7u);
    std::uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= le16(bytes.data() + 2 * i);
    EXPECT_EQ(le16(bytes.data() + 20), sum);
    EXPECT_EQ(le32(bytes.data() + 22 + 6) * 2, bytes.size() - 22); // size in words
    std::string info;
    ASSERT_EQ(runCommand("/usr/bin/convert -density 96 " + shellQuote(wmf) + " -depth 8 " +
                             shellQuote((dir / "w.png").string()) + " 2>&1",
                         &info),
              0)
        << info;
    EXPECT_EQ(python(kPilPixels, (dir / "w.png").string()), pixelText(buffer.picture()));

    // Unknown extensions are an error and write nothing.
    EXPECT_THROW(buffer.saveToFile((dir / "p.emf").string()), Error);
    EXPECT_FALSE(std::filesystem::exists(dir / "p.emf"));
    EXPECT_THROW(buffer.saveToFile((dir / "noext").string()), Error);
    EXPECT_FALSE(std::filesystem::exists(dir / "noext"));

    // Empty pictures and uncreatable files are errors, not silent successes.
    ImageBuffer empty;
    EXPECT_THROW(empty.saveToFile((dir / "e.png").string()), Error);
    EXPECT_FALSE(std::filesystem::exists(dir / "e.png"));
    try {
        buffer.saveToFile((dir / "no/such/x.png").string());
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file " + (dir / "no/such/x.png").string() + ": No such file or directory");
    }
}

// An icon directory states at most 256 pixels a side: a larger picture is
// scaled to fit 256 x 256 in its own proportions, centred in the largest
// image, and every standard side below it is there too.
TEST(IconFileWriters, LargePicturesAreScaledToFit256)
{
    TempDir dir;
    // Left half red, right half blue, so a garbled image shows.
    const auto halves = [](int w, int h) {
        Picture p = Picture::make(w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) p.setPixel(x, y, x < w / 2 ? Bgr {0, 0, 0xFF} : Bgr {0xFF, 0, 0});
        }
        return p;
    };
    // 466 x 600: 600 becomes 256 and 466 x 256 / 600 = 198.8 rounds to 199;
    // 300 x 100: 85.3 rounds to 85; 256 x 256 fills the square.
    struct Case {
        int width, height, fittedWidth, fittedHeight;
    };
    for (const Case c :
         {Case {466, 600, 199, 256}, Case {300, 100, 256, 85}, Case {256, 256, 256, 256}, Case {5000, 3, 256, 1}}) {
        ImageBuffer buffer;
        buffer.picture() = halves(c.width, c.height);
        for (const char* name : {"big.ico", "big.cur"}) {
            SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " " + name);
            const std::string file = (dir / name).string();
            buffer.saveToFile(file);
            const auto bytes = readBytes(file);
            // Seven sides and the classic image of the two colours; the last is 256 (0 in the directory).
            ASSERT_GE(bytes.size(), 6u + 8 * 16);
            EXPECT_EQ(le16(bytes.data() + 4), 8);
            EXPECT_EQ(bytes[6 + 7 * 16], 0);
            EXPECT_EQ(bytes[6 + 7 * 16 + 1], 0);
            const std::uint32_t size = le32(bytes.data() + 6 + 7 * 16 + 8);
            const std::uint32_t offset = le32(bytes.data() + 6 + 7 * 16 + 12);
            EXPECT_EQ(offset + size, bytes.size()) << "the last image ends the file";
            std::string sizes;
            ASSERT_EQ(runCommand("/usr/bin/identify -format '%wx%h ' " + shellQuote(file) + " 2>&1", &sizes), 0)
                << sizes;
            EXPECT_EQ(sizes, "16x16 24x24 32x32 32x32 48x48 64x64 128x128 256x256 ");
            // ImageMagick's pixels of the 256 image: red at the fitted
            // picture's left edge, blue at its right, transparent around it.
            const std::string png = (dir / "back.png").string();
            ASSERT_EQ(
                runCommand("/usr/bin/convert " + shellQuote(file + "[7]") + " -depth 8 " + shellQuote(png) + " 2>&1"),
                0);
            const int left = (256 - c.fittedWidth) / 2, top = (256 - c.fittedHeight) / 2;
            const int right = left + c.fittedWidth - 1, bottom = top + c.fittedHeight - 1;
            const std::string where = "[(" + std::to_string(left) + ", " + std::to_string(top) + "), (" +
                                      std::to_string(right) + ", " + std::to_string(bottom) + ")]";
            // Outside the picture: left of it, else above it (256 x 256 has no outside).
            const std::string outside = left > 0  ? "(" + std::to_string(left - 1) + ", 128)"
                                        : top > 0 ? "(128, " + std::to_string(top - 1) + ")"
                                                  : "";
            const std::string script =
                "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGBA')\n"
                "print([im.getpixel(p) for p in " +
                where + "], " + (outside.empty() ? "None" : "im.getpixel(" + outside + ")") + ")\n";
            EXPECT_EQ(python(script, png), "[(255, 0, 0, 255), (0, 0, 255, 255)] " +
                                               std::string(outside.empty() ? "None" : "(0, 0, 0, 0)") + "\n");
        }
    }
    // The buffer's picture itself is left as it was.
    ImageBuffer buffer;
    buffer.picture() = halves(466, 600);
    buffer.saveToFile((dir / "again.ico").string());
    EXPECT_EQ(buffer.picture().width, 466);
}
