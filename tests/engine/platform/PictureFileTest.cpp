// loadPicture: the converter's one way into the image buffer. GIF files keep
// their table in the buffer for later saves, icons are drawn over white, and
// no failure touches what the buffer held.
#include "platform/PictureFile.h"

#include "codecs/GifLzw.h"
#include "codecs/Writers.h"
#include "core/Error.h"
#include "engine/codecs/ConvertFixtures.h"
#include "engine/codecs/WriterReadBack.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vextral::platform {
namespace {

using codecs::Bgr;
using codecs::ImageBuffer;
using codecs::Picture;
using test::convertFixture;
using test::describe;
using test::TempDir;

std::string errorOf(ImageBuffer& buffer, const std::string& path) { return loadPicture(buffer, path).reason(); }

// The colours of a PCX file's 16-entry header palette, 0xRRGGBB.
std::vector<std::uint32_t> headerPalette(const std::vector<std::uint8_t>& pcx)
{
    std::vector<std::uint32_t> colours;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::uint8_t* c = pcx.data() + 16 + 3 * i;
        colours.push_back(static_cast<std::uint32_t>(c[0]) << 16 | static_cast<std::uint32_t>(c[1]) << 8 | c[2]);
    }
    return colours;
}

TEST(LoadPicture, AnyFamilyBecomesTheBuffersPictureAt24Bits)
{
    ImageBuffer buffer;
    ASSERT_TRUE(loadPicture(buffer, convertFixture("colour.tga").string()).ok());
    EXPECT_EQ(describe(buffer.picture()), describe(test::kColour));
    ASSERT_TRUE(loadPicture(buffer, convertFixture("alpha.png").string()).ok());
    EXPECT_EQ(describe(buffer.picture()), describe(test::kAlphaOverWhite));
    // A black and white GIF is a 1-bit picture to the GIF reader.
    ASSERT_TRUE(loadPicture(buffer, convertFixture("bw.gif").string()).ok());
    EXPECT_EQ(buffer.picture().bits, 24);
    EXPECT_EQ(describe(buffer.picture()), describe(test::kBlackWhite));
}

TEST(LoadPicture, AGifLeavesItsDepthForTheSavesThatFollow)
{
    TempDir dir;
    ImageBuffer buffer;

    // 12 colours in a 16-entry table: a 4-bit PCX with that palette.
    ASSERT_TRUE(loadPicture(buffer, convertFixture("colour16.gif").string()).ok());
    EXPECT_EQ(buffer.params().sampleBits, 4);
    EXPECT_EQ(buffer.params().samples, 1);
    EXPECT_EQ(buffer.params().paletteCount, 16);
    EXPECT_EQ(describe(buffer.picture()), describe(test::kColour));
    codecs::writePcx(buffer, (dir / "four.pcx").string());
    auto pcx = test::readBytes(dir / "four.pcx");
    ASSERT_GE(pcx.size(), 128u);
    EXPECT_EQ(pcx[0], 10);
    EXPECT_EQ(pcx[3], 4);                 // bits a pixel
    EXPECT_EQ(pcx[65], 1);                // one plane
    EXPECT_EQ(pcx[66] | pcx[67] << 8, 2); // 4 pixels of 4 bits a line
    const auto palette = headerPalette(pcx);
    for (const std::uint32_t colour : {0xFF0000u, 0x00FF00u, 0x0000FFu, 0x808080u, 0x402010u}) {
        EXPECT_NE(std::find(palette.begin(), palette.end(), colour), palette.end()) << std::hex << colour;
    }
    // 12 colours fit the 16 entries: each is kept exactly.
    EXPECT_EQ(test::readBack("magick", dir / "four.pcx"), describe(test::kColour));

    // 256 colours: an 8-bit PCX, its table at the end after byte 12.
    ASSERT_TRUE(loadPicture(buffer, convertFixture("gradient256.gif").string()).ok());
    EXPECT_EQ(buffer.params().sampleBits, 8);
    codecs::writePcx(buffer, (dir / "eight.pcx").string());
    pcx = test::readBytes(dir / "eight.pcx");
    EXPECT_EQ(pcx[3], 8);
    EXPECT_EQ(pcx[65], 1);
    ASSERT_GT(pcx.size(), 128u + 769u);
    EXPECT_EQ(pcx[pcx.size() - 769], 12);

    // The depth stays with the buffer: a true-colour picture loaded next
    // into the same buffer is written with the last GIF's depth too (the
    // converter and the command line read each picture into a buffer of its
    // own).
    ASSERT_TRUE(loadPicture(buffer, convertFixture("colour.png").string()).ok());
    EXPECT_EQ(buffer.params().sampleBits, 8);
    codecs::writePcx(buffer, (dir / "after.pcx").string());
    EXPECT_EQ(test::readBytes(dir / "after.pcx")[3], 8);

    // A fresh buffer writes true colour; an upper-case .GIF goes to the GIF reader too.
    ImageBuffer fresh;
    fresh.picture() = buffer.picture();
    codecs::writePcx(fresh, (dir / "true.pcx").string());
    EXPECT_EQ(test::readBytes(dir / "true.pcx")[65], 3);
    const std::string upper = test::copyAs(dir, "colour16.gif", "UPPER.GIF");
    ASSERT_TRUE(loadPicture(fresh, upper).ok());
    EXPECT_EQ(fresh.params().sampleBits, 4);
}

TEST(LoadPicture, AGifLoadsIntoABufferAsMade)
{
    ImageBuffer buffer;
    ASSERT_TRUE(loadPicture(buffer, convertFixture("colour16.gif").string()).ok());
    EXPECT_EQ(buffer.picture().width, 4);
}

// A GIF of width x height pixels over table, its image data indices; the
// control extension makes index transparent transparent when it is 0 or more.
std::vector<std::uint8_t> gifBytes(int width, int height, const std::vector<Bgr>& table,
                                   const std::vector<std::uint8_t>& indices, int transparent)
{
    int sizeField = 0;
    while ((2u << sizeField) < table.size()) ++sizeField;
    const auto w = static_cast<std::uint8_t>(width), h = static_cast<std::uint8_t>(height);
    std::vector<std::uint8_t> b = {
        'G', 'I', 'F', '8', '9', 'a', w, 0, h, 0, static_cast<std::uint8_t>(0x80 | sizeField), 0, 0};
    for (const Bgr c : table) b.insert(b.end(), {c.r, c.g, c.b});
    if (transparent >= 0) b.insert(b.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<std::uint8_t>(transparent), 0});
    b.insert(b.end(), {0x2C, 0, 0, 0, 0, w, 0, h, 0, 0});
    codecs::encodeGif(b, height, width, false, indices.data(), sizeField + 1);
    b.push_back(0x3B);
    return b;
}

// The converter draws a GIF's transparent pixels over white, as it draws
// every other format's, whatever colour the table holds at that index.
TEST(LoadPicture, AGifsTransparentPixelsAreDrawnOverWhite)
{
    TempDir dir;
    const Bgr black {0, 0, 0}, red {0, 0, 0xFF}, blue {0xFF, 0, 0};
    // Black twice in the table: only the transparent index becomes white.
    const auto gif = gifBytes(4, 2, {black, red, black, blue}, {0, 1, 2, 3, 3, 2, 1, 0}, 0);
    test::writeBytes(dir / "clear.gif", gif);
    const std::string overWhite = "4 x 2: ffffff ff0000 000000 0000ff 0000ff 000000 ff0000 ffffff";

    ImageBuffer buffer;
    ASSERT_TRUE(loadPicture(buffer, (dir / "clear.gif").string()).ok());
    EXPECT_EQ(describe(buffer.picture()), overWhite);
    EXPECT_FALSE(buffer.params().gifTransparent) << "nothing transparent is left";
    EXPECT_EQ(buffer.background(), settings::kWhite);
    using Save = std::pair<const char*, void (*)(ImageBuffer&, const std::string&)>;
    for (const auto& [name, writer] : {Save {"clear.bmp", codecs::writeBmp}, Save {"clear.png", codecs::writePng},
                                       Save {"again.gif", codecs::writeGif}}) {
        writer(buffer, (dir / name).string());
        EXPECT_EQ(test::readBack("magick", dir / name), overWhite) << name;
        EXPECT_EQ(test::readBack("pil", dir / name), overWhite) << name;
    }
    // The same from bytes in memory.
    ImageBuffer fromBytes;
    ASSERT_TRUE(loadPicture(fromBytes, gif, *codecs::pictureInputFor("x.gif")).ok());
    EXPECT_EQ(describe(fromBytes.picture()), overWhite);

    // A black and white table whose black is transparent.
    test::writeBytes(dir / "bw.gif", gifBytes(3, 1, {black, {0xFF, 0xFF, 0xFF}}, {0, 1, 0}, 0));
    ImageBuffer bw;
    ASSERT_TRUE(loadPicture(bw, (dir / "bw.gif").string()).ok());
    EXPECT_EQ(describe(bw.picture()), "3 x 1: ffffff ffffff ffffff");
    // Without the control extension's flag, index 0 is the table's black.
    test::writeBytes(dir / "opaque.gif", gifBytes(4, 2, {black, red, black, blue}, {0, 1, 2, 3, 3, 2, 1, 0}, -1));
    ASSERT_TRUE(loadPicture(bw, (dir / "opaque.gif").string()).ok());
    EXPECT_EQ(describe(bw.picture()), "4 x 2: 000000 ff0000 000000 0000ff 0000ff 000000 ff0000 000000");
}

TEST(LoadPicture, IconsAreDrawnOverWhiteAtTheLargeIconSize)
{
    ImageBuffer buffer;
    // multi.ico: its 32 x 32 x 32 yellow image with a clear border and a half-clear ring.
    ASSERT_TRUE(loadPicture(buffer, test::fixture("multi.ico").string()).ok());
    const Picture& p = buffer.picture();
    ASSERT_EQ(p.width, 32);
    ASSERT_EQ(p.height, 32);
    EXPECT_EQ(p.bits, 24);
    EXPECT_EQ(p.pixel(0, 0).rgb(), 0xFFFFFFu);
    EXPECT_EQ(p.pixel(31, 16).rgb(), 0xFFFFFFu);
    EXPECT_EQ(p.pixel(2, 16).rgb(), 0xFFFF7Fu); // yellow at alpha 128 over white
    EXPECT_EQ(p.pixel(16, 16).rgb(), 0xFFFF00u);
    // mask.ico: clear pixels show white, inverted ones turn white into black.
    ASSERT_TRUE(loadPicture(buffer, test::fixture("mask.ico").string()).ok());
    EXPECT_EQ(buffer.picture().pixel(3, 3).rgb(), 0xFFFFFFu);
    EXPECT_EQ(buffer.picture().pixel(25, 5).rgb(), 0x000000u);
    EXPECT_EQ(buffer.picture().pixel(16, 16).rgb(), 0x008080u);
    // A larger image alone is scaled to that size: only48.ico is 48 x 48 orange.
    ASSERT_TRUE(loadPicture(buffer, test::fixture("only48.ico").string()).ok());
    EXPECT_EQ(buffer.picture().width, 32);
    EXPECT_EQ(buffer.picture().pixel(16, 16).rgb(), 0xFF8000u);
}

TEST(LoadPicture, FailuresLeaveTheBufferAsItWas)
{
    TempDir dir;
    ImageBuffer buffer;
    ASSERT_TRUE(loadPicture(buffer, convertFixture("colour16.gif").string()).ok());
    const std::string before = describe(buffer.picture());
    const codecs::IOParams params = buffer.params();
    const settings::Colour background = buffer.background();

    const auto gif = test::readBytes(convertFixture("gradient256.gif"));
    // The header is read (and stored as the reader goes), the table is cut
    // short; the image data is cut inside a sub-block.
    test::writeBytes(dir / "cut.gif", {gif.begin(), gif.begin() + 500});
    test::writeBytes(dir / "cutdata.gif", {gif.begin(), gif.end() - 100});
    test::writeBytes(dir / "notgif.gif", test::readBytes(test::fixture("garbage.bin")));
    test::writeBytes(dir / "garbage.ico", test::readBytes(test::fixture("garbage.bin")));
    test::writeBytes(dir / "bitmap.ico", test::readBytes(test::fixture("picture.bmp")));
    const auto png = test::readBytes(convertFixture("colour.png"));
    test::writeBytes(dir / "cut.png", {png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)});
    const std::string missing = (dir / "missing.tga").string();
    const std::pair<std::string, std::string> failures[] = {
        {test::fixture("arrow.cur").string(), "Unknown picture file extension (.cur)"},
        {(dir / "no-extension").string(), "Unknown picture file extension (.)"},
        {missing, "Cannot open file " + missing + ": No such file or directory"},
        {(dir / "cut.gif").string(), "unrecognized GIF"},
        {(dir / "cutdata.gif").string(), "unrecognized GIF"},
        {(dir / "notgif.gif").string(), "unrecognized GIF"},
        {(dir / "garbage.ico").string(), "Icon image is not valid"},
        {(dir / "bitmap.ico").string(), "Icon image is not valid"},
        {(dir / "cut.png").string(), "PNG image is not valid (Read Error)"},
    };
    for (const auto& [path, error] : failures) {
        SCOPED_TRACE(path);
        EXPECT_EQ(errorOf(buffer, path), error);
        EXPECT_EQ(describe(buffer.picture()), before);
        EXPECT_EQ(buffer.params().sampleBits, params.sampleBits);
        EXPECT_EQ(buffer.params().palette, params.palette);
        EXPECT_EQ(buffer.params().gifVersion, params.gifVersion);
        EXPECT_EQ(buffer.params().gifScreenWidth, params.gifScreenWidth);
        EXPECT_EQ(buffer.background(), background);
    }
}

} // namespace
} // namespace vextral::platform
