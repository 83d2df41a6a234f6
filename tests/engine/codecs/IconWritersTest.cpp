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
    std::string listing;
    ASSERT_EQ(runCommand("icotool -l " + shellQuote(ico) + " " + shellQuote(cur), &listing), 0);
    EXPECT_EQ(listing,
              "--icon --index=1 --width=5 --height=3 --bit-depth=32 --palette-size=0\n"
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
// scaled to fit 256 x 256 in its own proportions, and the directory entry,
// the image header and ImageMagick agree on the size.
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
    // 300 x 100: 85.3 rounds to 85; 256 x 256 and smaller stay as they are.
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
            ASSERT_GE(bytes.size(), 22u + 40u);
            const int entryWidth = bytes[6] == 0 ? 256 : bytes[6];
            const int entryHeight = bytes[7] == 0 ? 256 : bytes[7];
            EXPECT_EQ(entryWidth, c.fittedWidth);
            EXPECT_EQ(entryHeight, c.fittedHeight);
            EXPECT_EQ(le32(bytes.data() + 22 + 4), static_cast<std::uint32_t>(c.fittedWidth));
            EXPECT_EQ(le32(bytes.data() + 22 + 8), static_cast<std::uint32_t>(2 * c.fittedHeight));
            EXPECT_EQ(le32(bytes.data() + 14), bytes.size() - 22) << "the image's size in the directory";
            std::string size;
            ASSERT_EQ(runCommand("/usr/bin/identify -format '%w x %h' " + shellQuote(file) + " 2>&1", &size), 0)
                << size;
            EXPECT_EQ(size, std::to_string(c.fittedWidth) + " x " + std::to_string(c.fittedHeight));
            // ImageMagick's pixels: red at the left edge, blue at the right.
            const std::string png = (dir / "back.png").string();
            ASSERT_EQ(runCommand("/usr/bin/convert " + shellQuote(file) + " -depth 8 " + shellQuote(png) + " 2>&1"), 0);
            const std::string pixels = python(kPilPixels, png);
            EXPECT_EQ(pixels.substr(0, 8), "255,0,0 ");
            EXPECT_EQ(pixels.substr(pixels.size() - 10), " 0,0,255 \n");
        }
    }
    // The buffer's picture itself is left as it was.
    ImageBuffer buffer;
    buffer.picture() = halves(466, 600);
    buffer.saveToFile((dir / "again.ico").string());
    EXPECT_EQ(buffer.picture().width, 466);
}
