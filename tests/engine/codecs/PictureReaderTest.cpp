// The converter's readers: which extension goes to which reader, the pixels
// each family of tests/fixtures/convert decodes to, and damaged, hostile and
// unreadable files.
#include "codecs/PictureReader.h"
#include "codecs/GifLzw.h"
#include "codecs/ImageBuffer.h"
#include "codecs/Writers.h"
#include "core/Error.h"
#include "core/Text.h"
#include "engine/codecs/ConvertFixtures.h"
#include "engine/codecs/WriterReadBack.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zlib.h>

#include <chrono>

namespace vextral::codecs {
namespace {

using test::convertFixture;
using test::copyAs;
using test::describe;
using test::largestDifference;
using test::Pixels;
using test::TempDir;

Picture read(const std::string& path)
{
    const auto input = pictureInputFor(path);
    if (!input) throw Error(unknownExtensionMessage(path));
    return readPictureFile(path, *input).value();
}

void setBe16(std::uint8_t* p, unsigned v)
{
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

void setBe32(std::uint8_t* p, std::uint32_t v)
{
    setBe16(p, v >> 16);
    setBe16(p + 2, v & 0xFFFF);
}

void setLe16(std::uint8_t* p, unsigned v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// The error text of reading path; empty when it reads.
std::string errorOf(const std::string& path)
{
    try {
        read(path);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(PictureReader, ExtensionsInTheOrderOfTheAllImagesFilter)
{
    const std::vector<std::string> want = {"png", "psp",  "cut",  "pcd",  "pic", "cel", "pbm", "pgm", "ppm", "pdd",
                                           "psd", "bw",   "rgb",  "rgba", "sgi", "rla", "rpf", "scr", "pcc", "pcx",
                                           "fax", "tif",  "tiff", "icb",  "tga", "vda", "vst", "win", "bmp", "dib",
                                           "rle", "jpeg", "jpg",  "gif",  "cur", "ico", "emf", "wmf"};
    const auto list = allImagesExtensions();
    EXPECT_EQ(std::vector<std::string>(list.begin(), list.end()), want);
    // Every one has a reader but .cur, which the filter offers all the same;
    // letter case does not matter.
    for (const std::string& ext : want) {
        const auto input = pictureInputFor("dir.d/Name." + upperAscii(ext));
        EXPECT_EQ(input.has_value(), ext != "cur") << ext;
        if (input) {
            EXPECT_EQ(input->extension, ext);
        }
    }
    for (const char* ext : {"jpe", "jfif", "eps"}) EXPECT_TRUE(pictureInputFor(std::string("a.") + ext)) << ext;
    EXPECT_EQ(pictureInputFor("a.gif")->kind, PictureReaderKind::Gif);
    EXPECT_EQ(pictureInputFor("a.ICO")->kind, PictureReaderKind::Icon);
    EXPECT_FALSE(pictureInputFor("png"));
    EXPECT_FALSE(pictureInputFor("a.png/b"));
}

TEST(PictureReader, UnknownExtensionsAreNamedAsWritten)
{
    EXPECT_EQ(unknownExtensionMessage("x.cur"), "Unknown picture file extension (.cur)");
    EXPECT_EQ(unknownExtensionMessage("/p/X.CuR"), "Unknown picture file extension (.CuR)");
    EXPECT_EQ(unknownExtensionMessage("some.dir/readme"), "Unknown picture file extension (.)");
    EXPECT_EQ(errorOf("x.cur"), "Unknown picture file extension (.cur)");
    EXPECT_EQ(errorOf("x.targa"), "Unknown picture file extension (.targa)");
}

struct FamilyCase {
    const char* file;
    const Pixels* want;
    int tolerance; // lossy formats
};

TEST(PictureReader, EveryFamilyReadsToItsPixels)
{
    static const Pixels kCut {6,
                              3,
                              {0x0A0A0A, 0x141414, 0x1E1E1E, 0x282828, 0x323232, 0x3C3C3C, 0xC8C8C8, 0xC8C8C8, 0xC8C8C8,
                               0xC8C8C8, 0x000000, 0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x808080, 0x404040,
                               0x202020}};
    // PNG8 keeps only binary transparency: ImageMagick made alpha 128 opaque and alpha 64 clear.
    static const Pixels kAlpha8 {4, 1, {0xFF0000, 0xFF0000, 0xFFFFFF, 0xFFFFFF}};
    // The matte picture holds premultiplied red at 128 and green at 64.
    static const Pixels kMatte {4, 1, {0xFF0000, 0xFF7F7F, 0xFFFFFF, 0xBFFFBF}};
    const FamilyCase cases[] = {
        {"colour.png", &test::kColour, 0},
        {"colour-interlaced.png", &test::kColour, 0},
        {"alpha.png", &test::kAlphaOverWhite, 0},
        {"alpha-interlaced.png", &test::kAlphaOverWhite, 0},
        {"alpha8.png", &kAlpha8, 0},
        {"grey16.png", &test::kGrey, 0},
        {"colour.jpg", &test::kColour, 3},
        {"progressive.jpg", &test::kColour, 3},
        {"grey.jpg", &test::kGrey, 3},
        {"cmyk.jpg", &test::kColour, 3},
        {"colour.bmp", &test::kColour, 0},
        {"colour.rle", &test::kColour, 0},
        {"colour.dib", &test::kColour, 0},
        {"colour.tga", &test::kColour, 0},
        {"alpha.tga", &test::kAlphaOverWhite, 0},
        {"colour.tif", &test::kColour, 0},
        {"bw.fax", &test::kBlackWhite, 0},
        {"colour.pcx", &test::kColour, 0},
        {"palette.pcx", &test::kColour, 0},
        {"colour.sgi", &test::kColour, 0},
        {"grey.bw", &test::kGrey, 0},
        {"alpha.rgba", &test::kAlphaOverWhite, 0},
        {"layers.psd", &test::kColour, 0}, // the merged image, not the red layer
        {"colour.ppm", &test::kColour, 0},
        {"grey.pgm", &test::kGrey, 0},
        {"bw.pbm", &test::kBlackWhite, 0},
        {"grey.cut", &kCut, 0},
        {"colour.rla", &test::kColour, 0},
        {"matte.rla", &kMatte, 0},
        {"preview.eps", &test::kColour, 0},
    };
    for (const FamilyCase& c : cases) {
        SCOPED_TRACE(c.file);
        const Picture picture = read(convertFixture(c.file).string());
        EXPECT_EQ(picture.bits, 24);
        const int difference = largestDifference(picture, *c.want);
        EXPECT_GE(difference, 0);
        EXPECT_LE(difference, c.tolerance) << describe(picture) << "\nwant " << describe(*c.want);
    }
}

TEST(PictureReader, EveryExtensionOfAFamilyUsesItsReader)
{
    TempDir dir;
    const std::pair<const char*, const char*> copies[] = {
        {"colour.tga", "a.icb"}, {"colour.tga", "a.vda"},  {"colour.tga", "a.vst"},  {"colour.tga", "a.WIN"},
        {"colour.pcx", "a.pcc"}, {"colour.pcx", "a.scr"},  {"colour.sgi", "a.rgb"},  {"colour.sgi", "b.bw"},
        {"colour.jpg", "a.jpe"}, {"colour.jpg", "a.JFIF"}, {"colour.jpg", "a.jpeg"}, {"colour.tif", "a.tiff"},
        {"colour.tif", "a.fax"}, {"colour.rla", "a.rpf"},  {"layers.psd", "a.pdd"},  {"colour.bmp", "a.dib"},
        {"colour.dib", "b.bmp"}, {"colour.bmp", "b.rle"},  {"colour.ppm", "a.pgm"},  {"colour.png", "A.PNG"},
    };
    for (const auto& [from, name] : copies) {
        SCOPED_TRACE(name);
        const Picture picture = read(copyAs(dir, from, name));
        EXPECT_LE(largestDifference(picture, test::kColour), std::string(from) == "colour.jpg" ? 3 : 0);
        EXPECT_GE(largestDifference(picture, test::kColour), 0);
    }
}

TEST(PictureReader, TheFormatIsNeverGuessedFromTheContent)
{
    TempDir dir;
    // ImageMagick is told the format: a PNG file named .bmp or .tga is no bitmap.
    EXPECT_EQ(errorOf(copyAs(dir, "colour.png", "png.bmp")), "Bitmap image is not valid");
    EXPECT_EQ(errorOf(copyAs(dir, "colour.png", "png.tga")).rfind("Targa image is not valid (", 0), 0u);
    // .rgb is an SGI image, never raw samples of whatever size.
    EXPECT_EQ(errorOf(copyAs(dir, "colour.ppm", "raw.rgb")).rfind("SGI image is not valid (", 0), 0u);
    // Our own readers likewise.
    EXPECT_EQ(errorOf(copyAs(dir, "colour.bmp", "bmp.png")), "PNG image is not valid (Not a PNG file)");
    EXPECT_EQ(errorOf(copyAs(dir, "colour.png", "png.jpg")).rfind("JPEG image is not valid (Not a JPEG file", 0), 0u);
}

// The fixtures, with the error a damaged one of each gives (its start).
const std::pair<const char*, const char*> kDamageCases[] = {
    {"colour.png", "PNG image is not valid"},
    {"alpha-interlaced.png", "PNG image is not valid"},
    {"colour.jpg", "JPEG image is not valid"},
    {"progressive.jpg", "JPEG image is not valid"},
    {"cmyk.jpg", "JPEG image is not valid"},
    {"colour.bmp", "Bitmap image is not valid"},
    {"colour.rle", "Bitmap image is not valid"},
    {"colour.dib", "Bitmap image is not valid"},
    {"colour.tga", "Targa image is not valid"},
    {"colour.tif", "TIFF image is not valid"},
    {"bw.fax", "TIFF image is not valid"},
    {"colour.pcx", "Paintbrush image is not valid"},
    {"palette.pcx", "Paintbrush image is not valid"},
    {"colour.sgi", "SGI image is not valid"},
    {"alpha.rgba", "SGI image is not valid"},
    {"layers.psd", "Photoshop image is not valid"},
    {"colour.ppm", "Portable pixmap image is not valid"},
    {"grey.pgm", "Portable graymap image is not valid"},
    {"bw.pbm", "Portable bitmap image is not valid"},
    {"grey.cut", "Dr. Halo image is not valid"},
    {"colour.rla", "Alias/Wavefront image is not valid"},
};

TEST(PictureReader, DamagedFilesOfEveryFamilyAreRefused)
{
    TempDir dir;
    const auto garbage = test::readBytes(test::fixture("garbage.bin"));
    for (const auto& [name, error] : kDamageCases) {
        const auto whole = test::readBytes(convertFixture(name));
        const std::string ext = std::filesystem::path(name).extension().string();
        const std::vector<std::vector<std::uint8_t>> damaged = {
            {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2)}, // cut in half
            {whole.begin(), whole.begin() + 8},                                             // a header's start
            garbage,
            {},
        };
        for (std::size_t i = 0; i < damaged.size(); ++i) {
            SCOPED_TRACE(std::string(name) + " damage " + std::to_string(i));
            const std::string path = (dir / ("damaged" + std::to_string(i) + ext)).string();
            test::writeBytes(path, damaged[i]);
            const std::string text = errorOf(path);
            EXPECT_EQ(text.rfind(error, 0), 0u) << text;
        }
    }
}

// A PNG of the given size whose data says nothing more (the header's checksum is right).
std::vector<std::uint8_t> pngClaiming(std::uint32_t width, std::uint32_t height)
{
    auto bytes = test::readBytes(convertFixture("colour.png"));
    setBe32(bytes.data() + 16, width);
    setBe32(bytes.data() + 20, height);
    setBe32(bytes.data() + 29, static_cast<std::uint32_t>(crc32(0, bytes.data() + 12, 17)));
    return bytes;
}

TEST(PictureReader, SidesAbove16384AreRefusedBeforeDecoding)
{
    TempDir dir;
    const std::string sizeError = "The picture size 20000 x 3 is too large: each side can be at most 16384 pixels";
    test::writeBytes(dir / "wide.png", pngClaiming(20000, 3));
    EXPECT_EQ(errorOf((dir / "wide.png").string()), sizeError);

    auto jpeg = test::readBytes(convertFixture("colour.jpg"));
    const std::size_t sof = 158; // FF C0, length, precision, height, width
    ASSERT_EQ(jpeg[sof + 1], 0xC0);
    jpeg[sof + 7] = 20000 >> 8;
    jpeg[sof + 8] = 20000 & 0xFF;
    test::writeBytes(dir / "wide.jpg", jpeg);
    EXPECT_EQ(errorOf((dir / "wide.jpg").string()), sizeError);

    auto tga = test::readBytes(convertFixture("colour.tga"));
    setLe16(tga.data() + 12, 20000);
    test::writeBytes(dir / "wide.tga", tga);
    EXPECT_EQ(errorOf((dir / "wide.tga").string()), sizeError);

    const std::string ppm = "P6\n# a comment\n20000 3\n255\n";
    test::writeBytes(dir / "wide.ppm", std::vector<std::uint8_t>(ppm.begin(), ppm.end()));
    EXPECT_EQ(errorOf((dir / "wide.ppm").string()), sizeError);
    const std::string pam = "P7\nWIDTH 20000\nHEIGHT 3\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n";
    test::writeBytes(dir / "wide.pgm", std::vector<std::uint8_t>(pam.begin(), pam.end()));
    EXPECT_EQ(errorOf((dir / "wide.pgm").string()), sizeError);

    auto rla = test::readBytes(convertFixture("colour.rla"));
    for (std::size_t window : {0u, 8u}) {
        rla[window + 2] = static_cast<std::uint8_t>(19999 >> 8);
        rla[window + 3] = static_cast<std::uint8_t>(19999 & 0xFF);
    }
    test::writeBytes(dir / "wide.rla", rla);
    EXPECT_EQ(errorOf((dir / "wide.rla").string()), sizeError);
}

TEST(PictureReader, HugeClaimsInSmallFilesEndQuickly)
{
    TempDir dir;
    // 16000 x 16000 is allowed a side, but its pixels are not in the file:
    // the missing data end the read before a cache of 2 GB is filled.
    auto tga = test::readBytes(convertFixture("colour.tga"));
    setLe16(tga.data() + 12, 16000);
    setLe16(tga.data() + 14, 16000);
    test::writeBytes(dir / "huge.tga", tga);
    auto sgi = test::readBytes(convertFixture("colour.sgi"));
    setBe16(sgi.data() + 6, 16000);
    setBe16(sgi.data() + 8, 16000);
    test::writeBytes(dir / "huge.sgi", sgi);
    test::writeBytes(dir / "huge.png", pngClaiming(16000, 16000));
    EXPECT_EQ(errorOf((dir / "huge.tga").string()), "Targa image is not valid (unable to read image data)");
    EXPECT_EQ(errorOf((dir / "huge.sgi").string()), "SGI image is not valid (insufficient image data in file)");
    // A JPEG of a few hundred bytes claiming 15876 x 11565 pixels (the fuzzer
    // found one that took seconds and 550 MB to decode) is refused at once.
    auto jpeg = test::readBytes(convertFixture("colour.jpg"));
    const std::size_t sof = 158; // FF C0, length, precision, height, width
    ASSERT_EQ(jpeg[sof + 1], 0xC0);
    jpeg[sof + 5] = 11565 >> 8;
    jpeg[sof + 6] = 11565 & 0xFF;
    jpeg[sof + 7] = 15876 >> 8;
    jpeg[sof + 8] = 15876 & 0xFF;
    test::writeBytes(dir / "huge.jpg", jpeg);
    const std::string hugeJpeg = errorOf((dir / "huge.jpg").string());
    EXPECT_EQ(hugeJpeg.rfind("JPEG image is not valid (15876 x 11565 pixels cannot come from ", 0), 0u) << hugeJpeg;
    EXPECT_NE(hugeJpeg.find(" bytes of scan data)"), std::string::npos) << hugeJpeg;
    // So is a PNG of a few hundred bytes claiming 16000 x 16000 pixels: deflate
    // cannot make 768 MB of rows from it.
    const auto png = pngClaiming(16000, 16000);
    EXPECT_EQ(errorOf((dir / "huge.png").string()), "PNG image is not valid (16000 x 16000 pixels cannot come from " +
                                                        std::to_string(png.size()) + " bytes)");
    for (const char* name : {"huge.tga", "huge.sgi", "huge.png", "huge.jpg"}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_NE(errorOf((dir / name).string()), "") << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << name;
    }
}

TEST(PictureReader, WhatIsNotAReadablePictureFile)
{
    TempDir dir;
    const std::string missing = (dir / "missing.png").string();
    EXPECT_EQ(errorOf(missing), "Cannot open file " + missing + ": No such file or directory");
    std::filesystem::create_directory(dir / "folder.tga");
    EXPECT_EQ(errorOf((dir / "folder.tga").string()),
              "Cannot open file " + (dir / "folder.tga").string() + ": Is a directory");
    // A FIFO is refused at once, not waited on.
    const std::string fifo = (dir / "pipe.jpg").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(errorOf(fifo), "Cannot open file " + fifo + ": not a regular file");
    EXPECT_EQ(checkPictureFile(fifo).reason(), "Cannot open file " + fifo + ": not a regular file");
}

TEST(PictureReader, FormatsWithoutAReaderSaySo)
{
    TempDir dir;
    for (const char* name : {"a.psp", "a.pic", "a.CEL"}) test::writeBytes(dir / name, {1, 2, 3});
    EXPECT_EQ(errorOf((dir / "a.psp").string()),
              "Paintshop Pro pictures (.psp) cannot be read: no reader for the format is available");
    EXPECT_EQ(errorOf((dir / "a.pic").string()),
              "Autodesk pictures (.pic) cannot be read: no reader for the format is available");
    EXPECT_EQ(errorOf((dir / "a.CEL").string()),
              "Autodesk pictures (.cel) cannot be read: no reader for the format is available");
    // EPS files without a preview would need PostScript run.
    const std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 4 3\n";
    test::writeBytes(dir / "plain.eps", std::vector<std::uint8_t>(eps.begin(), eps.end()));
    EXPECT_EQ(errorOf((dir / "plain.eps").string()),
              "Encapsulated PostScript pictures (.eps) cannot be read: only those with a TIFF or metafile preview are, "
              "as PostScript is not interpreted");
    // A DOS EPS file whose preview is damaged.
    auto dosEps = test::readBytes(convertFixture("preview.eps"));
    dosEps.resize(dosEps.size() - 100);
    test::writeBytes(dir / "cut.eps", dosEps);
    EXPECT_EQ(errorOf((dir / "cut.eps").string()), "EPS image is not valid (the preview lies outside the file)");
    auto zeroed = test::readBytes(convertFixture("preview.eps"));
    const std::size_t tiff = zeroed[20] | zeroed[21] << 8;
    std::fill(zeroed.begin() + static_cast<std::ptrdiff_t>(tiff), zeroed.end(), 0);
    test::writeBytes(dir / "zeroed.eps", zeroed);
    EXPECT_EQ(errorOf((dir / "zeroed.eps").string()).rfind("EPS image is not valid (", 0), 0u);
    // ImageMagick reads enhanced metafiles only on Windows.
    test::writeBytes(dir / "a.emf", test::readBytes(convertFixture("colour.bmp")));
    const std::string emf = errorOf((dir / "a.emf").string());
    EXPECT_TRUE(emf == "Metafile is not valid" || emf == "Enhanced Windows metafile pictures (.emf) cannot be read: "
                                                         "ImageMagick on this system has no reader for them")
        << emf;
}

TEST(PictureReader, MetafilesAreDrawnAtTheirOwnSize)
{
    // Our own metafile writer holds the picture at 96 units an inch; its
    // reader is ImageMagick's (libwmf).
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = read(convertFixture("colour.png").string());
    buffer.resample(40, 30);
    writeWmf(buffer, (dir / "ten.wmf").string());
    const Picture picture = read((dir / "ten.wmf").string());
    ASSERT_EQ(picture.width, 40);
    ASSERT_EQ(picture.height, 30);
    EXPECT_EQ(describe(picture), describe(buffer.picture()));

    auto bytes = test::readBytes(dir / "ten.wmf");
    bytes.resize(bytes.size() / 2);
    test::writeBytes(dir / "half.wmf", bytes);
    EXPECT_EQ(errorOf((dir / "half.wmf").string()), "Metafile is not valid");
    test::writeBytes(dir / "garbage.wmf", test::readBytes(test::fixture("garbage.bin")));
    EXPECT_EQ(errorOf((dir / "garbage.wmf").string()), "Metafile is not valid");
}

TEST(PictureReader, PhotoCdFromImageMagick)
{
    // ImageMagick writes Photo-CD files only at 768 x 512 (some 800 KB), so
    // this one is made here: the colour fixture with each pixel a block.
    TempDir dir;
    const std::string pcd = (dir / "blocks.pcd").string();
    ASSERT_EQ(test::runCommand("/usr/bin/convert " + test::shellQuote(convertFixture("colour.ppm").string()) +
                               " -filter point -resize '768x512!' PCD:" + test::shellQuote(pcd)),
              0);
    const Picture picture = read(pcd);
    ASSERT_EQ(picture.width, 768);
    ASSERT_EQ(picture.height, 512);
    // Every pixel as ImageMagick's own program shows it.
    EXPECT_EQ(test::expected(picture), test::readBack("magick", pcd));
    // Photo YCC keeps the colours only roughly: the middle of each block is
    // near its source colour.
    Picture middles = Picture::make(4, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) middles.setPixel(x, y, picture.pixel(x * 192 + 96, y * 512 / 3 + 85));
    }
    EXPECT_LE(largestDifference(middles, test::kColour), 64) << describe(middles);

    auto bytes = test::readBytes(pcd);
    bytes.resize(bytes.size() / 2);
    test::writeBytes(dir / "half.pcd", bytes);
    EXPECT_EQ(errorOf((dir / "half.pcd").string()).rfind("Photo-CD image is not valid", 0), 0u);
}

} // namespace
} // namespace vextral::codecs
