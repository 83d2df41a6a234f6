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
