// PNG files and Apple icon files read as icons, against files made and read
// by real tools: icnsutils' png2icns and icns2png, Pillow, icoutils.
#include "platform/IcnsFile.h"
#include "platform/IconExtractor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace vextral;
using namespace vextral::platform;
using test::readBytes;
using test::runCommand;
using test::shellQuote;
namespace fs = std::filesystem;

namespace {

// A picture of side x side with a little of everything an icon has: opaque
// pixels, fully transparent ones and some in between.
void makePng(const fs::path& file, int side, int seed = 0)
{
    const char* script =
        "import sys\n"
        "from PIL import Image\n"
        "side, seed = int(sys.argv[2]), int(sys.argv[3])\n"
        "im = Image.new('RGBA', (side, side))\n"
        "px = im.load()\n"
        "for y in range(side):\n"
        "    for x in range(side):\n"
        "        a = 0 if (x + y + seed) % 9 == 0 else 255 if (x * y + seed) % 5 else (x * 37 + y) % 256\n"
        "        px[x, y] = (x * 255 // side, y * 255 // side, (x * 7 + y * 13 + seed * 31) % 256, a)\n"
        "im.save(sys.argv[1], 'PNG')\n";
    ASSERT_EQ(runCommand("/usr/bin/python3 -c " + shellQuote(script) + " " + shellQuote(file.string()) + " " +
                         std::to_string(side) + " " + std::to_string(seed)),
              0);
}

struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes; // R, G, B, A a pixel, top row first
};

// The picture of a file as Pillow reads it.
Rgba readWithPil(const fs::path& file, const test::TempDir& dir)
{
    const char* script = "import sys\n"
                         "from PIL import Image\n"
                         "im = Image.open(sys.argv[1]).convert('RGBA')\n"
                         "open(sys.argv[2], 'wb').write(im.tobytes())\n"
                         "print(im.size[0], im.size[1])\n";
    const fs::path raw = dir / "pixels.raw";
    std::string size;
    Rgba out;
    if (runCommand("/usr/bin/python3 -c " + shellQuote(script) + " " + shellQuote(file.string()) + " " +
                       shellQuote(raw.string()),
                   &size) != 0)
        return out;
    out.width = std::stoi(size);
    out.height = std::stoi(size.substr(size.find(' ')));
    out.bytes = readBytes(raw);
    return out;
}

// Our picture shows what theirs does: the same alpha everywhere, the same
// colour wherever anything shows.
void expectSamePixels(const codecs::IconPicture& ours, const Rgba& theirs)
{
    ASSERT_EQ(ours.width, theirs.width);
    ASSERT_EQ(ours.height, theirs.height);
    ASSERT_EQ(theirs.bytes.size(), std::size_t(ours.width) * ours.height * 4);
    const auto argb = ours.argb();
    int wrong = 0;
    for (std::size_t i = 0; i < argb.size(); ++i) {
        const std::uint8_t* p = theirs.bytes.data() + i * 4;
        const std::uint32_t expected = std::uint32_t(p[3]) << 24 | std::uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
        const std::uint32_t got = argb[i];
        const bool same = p[3] == 0 ? (got >> 24) == 0 : got == expected;
        if (!same && wrong++ < 3) ADD_FAILURE() << "pixel " << i << ": " << std::hex << got << " not " << expected;
    }
    EXPECT_EQ(wrong, 0);
}

std::vector<int> sides(const IconSource& source)
{
    std::vector<int> out;
    for (const IconImageEntry& e : source.images(0)) out.push_back(e.info ? e.info->width : -1);
    return out;
}

int entryOfSide(const IconSource& source, int side)
{
    const auto images = source.images(0);
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (images[i].info && images[i].info->width == side) return static_cast<int>(i);
    }
    return -1;
}

// The 32 x 32 icon is the 32 x 32 image itself, over any background.
void expectIconIsImage(const IconSource& source, int entry)
{
    const auto icon = source.icon(0);
    const auto picture = source.imagePicture(0, entry);
    ASSERT_TRUE(icon);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width, 32);
    for (const std::uint32_t background : {0x000000u, 0xFFFFFFu, 0x3080C0u}) {
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x)
                ASSERT_EQ(icon->drawnOver(x, y, background), picture->drawnOver(x, y, background)) << x << "," << y;
        }
    }
}

} // namespace

TEST(IcnsFile, ReadsTheClassicImagesPng2icnsWritesAsIcns2pngDoes)
{
    test::TempDir dir;
    std::string pngs;
    for (const int side : {16, 32, 48, 128, 256, 512}) {
        const fs::path png = dir / ("p" + std::to_string(side) + ".png");
        makePng(png, side, side);
        pngs += " " + shellQuote(png.string());
    }
    const fs::path icns = dir / "family.icns";
    ASSERT_EQ(runCommand("png2icns " + shellQuote(icns.string()) + pngs + " >/dev/null 2>&1"), 0);
    ASSERT_EQ(runCommand("mkdir -p " + shellQuote((dir / "x").string()) + " && icns2png -x -o " +
                         shellQuote((dir / "x").string()) + " " + shellQuote(icns.string()) + " >/dev/null 2>&1"),
              0);

    const IconSource source = IconSource::open(icns.string());
    EXPECT_EQ(source.kind(), IconFileKind::Icns);
    EXPECT_STREQ(iconFileKindName(source.kind()), "ICNS");
    ASSERT_EQ(source.count(), 1);
    // is32, il32, ih32, it32 with their masks; this png2icns writes the 256
    // and 512 images as JPEG 2000, which is not read and said so.
    EXPECT_EQ(sides(source), (std::vector<int> {16, 32, 48, 128}));
    for (const IconImageEntry& e : source.images(0)) {
        EXPECT_EQ(e.entryWidth, e.info->width);
        EXPECT_EQ(e.entryBits, 32);
        EXPECT_FALSE(e.info->png);
    }
    auto file = FileByteSource::open(icns.string());
    const auto read = icoOfPngOrIcns(std::move(file).value());
    EXPECT_EQ(read.skipped, (std::vector<std::string> {"ic08: JPEG 2000 images are not read",
                                                       "ic09: JPEG 2000 images are not read"}));

    for (const int side : {16, 32, 48, 128}) {
        SCOPED_TRACE(side);
        const auto picture = source.imagePicture(0, entryOfSide(source, side));
        ASSERT_TRUE(picture);
        const std::string s = std::to_string(side);
        expectSamePixels(*picture, readWithPil(dir / "x" / ("family_" + s + "x" + s + "x32.png"), dir));
        // The masks carry the picture's own alpha through.
        expectSamePixels(*picture, readWithPil(dir / ("p" + s + ".png"), dir));
    }
    expectIconIsImage(source, entryOfSide(source, 32));

    // Saved as an icon file, the images are a real .ico's.
    const fs::path ico = dir / "family.ico";
    test::writeBytes(ico, source.originalIco(0));
    std::string listing;
    ASSERT_EQ(runCommand("icotool -l " + shellQuote(ico.string()), &listing), 0);
    EXPECT_EQ(listing, "--icon --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0\n"
                       "--icon --index=2 --width=32 --height=32 --bit-depth=32 --palette-size=0\n"
                       "--icon --index=3 --width=48 --height=48 --bit-depth=32 --palette-size=0\n"
                       "--icon --index=4 --width=128 --height=128 --bit-depth=32 --palette-size=0\n");
}

TEST(IcnsFile, ReadsThePngChunksPillowWritesAtTheirOwnSizes)
{
    test::TempDir dir;
    const fs::path png = dir / "big.png";
    makePng(png, 1024, 3);
    const fs::path icns = dir / "pillow.icns";
    ASSERT_EQ(runCommand("/usr/bin/python3 -c 'import sys; from PIL import Image; "
                         "Image.open(sys.argv[1]).save(sys.argv[2])' " +
                         shellQuote(png.string()) + " " + shellQuote(icns.string())),
              0);
    ASSERT_EQ(runCommand("mkdir -p " + shellQuote((dir / "x").string()) + " && icns2png -x -o " +
                         shellQuote((dir / "x").string()) + " " + shellQuote(icns.string()) + " >/dev/null 2>&1"),
              0);

    const IconSource source = IconSource::open(icns.string());
    EXPECT_EQ(source.kind(), IconFileKind::Icns);
    ASSERT_EQ(source.count(), 1);
    // ic07 to ic14 in Pillow's order, its table of contents passed over.
    EXPECT_EQ(sides(source), (std::vector<int> {128, 256, 512, 1024, 32, 64, 256, 512}));
    for (const IconImageEntry& e : source.images(0)) {
        EXPECT_TRUE(e.info->png);
        EXPECT_EQ(e.entryWidth, std::min(e.info->width, 256)); // 0 in the entry above 255
    }
    // icns2png extracts ic08, ic09 and ic10.
    for (const int side : {256, 512, 1024}) {
        SCOPED_TRACE(side);
        const auto picture = source.imagePicture(0, entryOfSide(source, side));
        ASSERT_TRUE(picture);
        const std::string s = std::to_string(side);
        expectSamePixels(*picture, readWithPil(dir / "x" / ("pillow_" + s + "x" + s + "x32.png"), dir));
    }
    expectIconIsImage(source, entryOfSide(source, 32));

    const fs::path ico = dir / "pillow.ico";
    test::writeBytes(ico, source.originalIco(0));
    std::string listing;
    ASSERT_EQ(runCommand("icotool -l " + shellQuote(ico.string()) + " | wc -l", &listing), 0);
    EXPECT_EQ(listing, "8\n");
}

TEST(IcnsFile, ReadsAPngFileAsAnIconOfOneImage)
{
    test::TempDir dir;
    const fs::path favicon = dir / "favicon.ico";
    makePng(favicon, 48, 5);
    const Rgba expected = readWithPil(favicon, dir);

    const IconSource source = IconSource::open(favicon.string());
    EXPECT_EQ(source.kind(), IconFileKind::Png);
    EXPECT_STREQ(iconFileKindName(source.kind()), "PNG");
    ASSERT_EQ(source.count(), 1);
    const auto images = source.images(0);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].entryWidth, 48);
    EXPECT_EQ(images[0].entryHeight, 48);
    EXPECT_EQ(images[0].entryBits, 32);
    ASSERT_TRUE(images[0].info);
    EXPECT_TRUE(images[0].info->png);
    const auto picture = source.imagePicture(0, 0);
    ASSERT_TRUE(picture);
    expectSamePixels(*picture, expected);
    const auto icon = source.icon(0);
    ASSERT_TRUE(icon);
    EXPECT_TRUE(icon->hasAlpha);

    // Saved as an icon file it is a real one holding the same picture.
    const fs::path ico = dir / "saved.ico";
    test::writeBytes(ico, source.originalIco(0));
    std::string listing;
    ASSERT_EQ(runCommand("icotool -l " + shellQuote(ico.string()), &listing), 0);
    EXPECT_EQ(listing, "--icon --index=1 --width=48 --height=48 --bit-depth=32 --palette-size=0\n");
    fs::create_directory(dir / "out");
    ASSERT_EQ(runCommand("icotool -x -o " + shellQuote((dir / "out").string()) + " " + shellQuote(ico.string())), 0);
    expectSamePixels(*picture, readWithPil(dir / "out" / "saved_1_48x48x32.png", dir));

    // A larger one keeps its sides (the entry says 256 for anything above
    // 255, as icon files do); one past the icon PNG limits is listed but
    // not read.
    const fs::path large = dir / "large.png";
    makePng(large, 300);
    const auto entry = IconSource::open(large.string()).images(0);
    ASSERT_EQ(entry.size(), 1u);
    ASSERT_TRUE(entry[0].info);
    EXPECT_EQ(entry[0].info->width, 300);
    EXPECT_EQ(entry[0].entryWidth, 256);
    ReaderLimits limits;
    limits.iconPngSide = 256;
    const IconSource tooLarge = IconSource::open(large.string(), limits);
    EXPECT_EQ(tooLarge.kind(), IconFileKind::Png);
    ASSERT_EQ(tooLarge.images(0).size(), 1u);
    EXPECT_FALSE(tooLarge.images(0)[0].info);
    EXPECT_FALSE(tooLarge.icon(0));
    EXPECT_FALSE(tooLarge.imagePicture(0, 0));
}
