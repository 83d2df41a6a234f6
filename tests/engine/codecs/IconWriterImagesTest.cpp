// The images an icon or cursor file made of a picture holds: every standard
// side up to the picture's own, each the picture fitted into its square, the
// picture's alpha kept, and the classic 16-colour image for pictures of few
// colours. Read back by icoutils (icotool -l / -x), PIL and ImageMagick.
#include "codecs/Writers.h"

#include "WriterTestPictures.h"

#include <sys/resource.h>

#include <cmath>
#include <map>
#include <sstream>

using namespace vextral;
using namespace vextral::codecs;
using vextral::test::readBytes;
using vextral::test::runCommand;
using vextral::test::shellQuote;
using vextral::test::TempDir;
using namespace vextral::test::writers;

namespace {

std::string listing(const std::string& file)
{
    std::string out;
    EXPECT_EQ(runCommand("icotool -l " + shellQuote(file) + " 2>&1", &out), 0) << out;
    return out;
}

// One image of an icon file as icotool extracts it: its side, depth and
// straight 0xAARRGGBB pixels (PIL's reading of icotool's PNG).
struct Extracted {
    int width = 0, height = 0, bits = 0;
    std::vector<std::uint32_t> argb;
    std::uint32_t at(int x, int y) const { return argb[static_cast<std::size_t>(y * width + x)]; }
};

// Every image of the file, in the order of its directory.
std::vector<Extracted> extractAll(const std::string& file, const TempDir& dir)
{
    const std::string out = (dir / "x").string();
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    std::string text;
    EXPECT_EQ(runCommand("icotool -x -o " + shellQuote(out) + " " + shellQuote(file) + " 2>&1", &text), 0) << text;
    // icotool names them NAME_INDEX_WxHxBITS.png; PIL prints each as
    // "INDEX W H BITS aarrggbb ...".
    const char* script = "import sys, glob, re\nfrom PIL import Image\n"
                         "for f in glob.glob(sys.argv[1] + '/*.png'):\n"
                         "    m = re.search(r'_(\\d+)_(\\d+)x(\\d+)x(\\d+)\\.png$', f)\n"
                         "    im = Image.open(f).convert('RGBA')\n"
                         "    print(m.group(1), im.width, im.height, m.group(4),"
                         " ' '.join('%02x%02x%02x%02x' % (a, r, g, b) for (r, g, b, a) in im.getdata()))\n";
    std::map<int, Extracted> byIndex;
    std::istringstream lines(python(script, out));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        int index = 0;
        Extracted e;
        in >> index >> e.width >> e.height >> e.bits;
        std::string px;
        while (in >> px) e.argb.push_back(static_cast<std::uint32_t>(std::stoul(px, nullptr, 16)));
        byIndex[index] = e;
    }
    std::vector<Extracted> images;
    for (auto& [index, e] : byIndex) images.push_back(std::move(e));
    return images;
}

// Left half red, right half blue.
Picture halves(int w, int h)
{
    Picture p = Picture::make(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) p.setPixel(x, y, x < w / 2 ? Bgr {0, 0, 0xFF} : Bgr {0xFF, 0, 0});
    }
    return p;
}

constexpr std::uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu;

} // namespace

TEST(IconFileImages, EveryStandardSideUpToThePicturesOwn)
{
    TempDir dir;
    const std::string ico = (dir / "p.ico").string();
    const std::string cur = (dir / "p.cur").string();
    ImageBuffer buffer;
    buffer.picture() = gradient(256, 256);
    buffer.saveToFile(ico);
    EXPECT_EQ(listing(ico), "--icon --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0\n"
                            "--icon --index=2 --width=24 --height=24 --bit-depth=32 --palette-size=0\n"
                            "--icon --index=3 --width=32 --height=32 --bit-depth=32 --palette-size=0\n"
                            "--icon --index=4 --width=48 --height=48 --bit-depth=32 --palette-size=0\n"
                            "--icon --index=5 --width=64 --height=64 --bit-depth=32 --palette-size=0\n"
                            "--icon --index=6 --width=128 --height=128 --bit-depth=32 --palette-size=0\n"
                            "--icon --index=7 --width=256 --height=256 --bit-depth=32 --palette-size=0\n");
    // The 256 image is a PNG file inside the icon, the others DIBs.
    const auto bytes = readBytes(ico);
    ASSERT_GT(bytes.size(), 6u + 7 * 16);
    const std::uint32_t last = le32(bytes.data() + 6 + 6 * 16 + 12);
    ASSERT_LT(last + 8, bytes.size());
    EXPECT_EQ(bytes[last + 1], 'P');
    EXPECT_EQ(bytes[le32(bytes.data() + 6 + 12)], 40) << "the 16 image starts with its BITMAPINFOHEADER";

    // A cursor holds the same images, type 2, every hotspot at 0, 0.
    buffer.saveToFile(cur);
    const auto curBytes = readBytes(cur);
    EXPECT_EQ(curBytes[2], 2);
    std::string expectedCursor;
    int index = 0;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        expectedCursor += "--cursor --index=" + std::to_string(++index) + " --width=" + std::to_string(side) +
                          " --height=" + std::to_string(side) +
                          " --bit-depth=32 --palette-size=0 --hotspot-x=0 --hotspot-y=0\n";
    }
    EXPECT_EQ(listing(cur), expectedCursor);

    // ImageMagick reads every image of both.
    for (const std::string& file : {ico, cur}) {
        std::string sizes;
        ASSERT_EQ(runCommand("/usr/bin/identify -format '%wx%h ' " + shellQuote(file) + " 2>&1", &sizes), 0) << sizes;
        EXPECT_EQ(sizes, "16x16 24x24 32x32 48x48 64x64 128x128 256x256 ") << file;
    }

    // A picture smaller than 16 still gets the 16 image; 100 x 60 stops at 64.
    buffer.picture() = gradient(100, 60);
    buffer.saveToFile(ico);
    std::string sizes;
    ASSERT_EQ(runCommand("/usr/bin/identify -format '%wx%h ' " + shellQuote(ico), &sizes), 0);
    EXPECT_EQ(sizes, "16x16 24x24 32x32 48x48 64x64 ");
    buffer.picture() = gradient(9, 9); // 81 colours: no classic image
    buffer.saveToFile(ico);
    EXPECT_EQ(listing(ico), "--icon --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0\n");
}

// A 100 x 60 picture in each square: scaled to the side in its proportions,
// centred, transparent bars above and below.
TEST(IconFileImages, APictureIsFittedIntoEachSquareWithTransparentBars)
{
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = halves(100, 60);
    const std::string ico = (dir / "p.ico").string();
    buffer.saveToFile(ico);
    const std::vector<Extracted> images = extractAll(ico, dir);
    // Two colours: the classic image comes before the 32-bit one at 32.
    std::vector<std::string> kinds;
    for (const Extracted& e : images) kinds.push_back(std::to_string(e.width) + "x" + std::to_string(e.bits));
    ASSERT_EQ(kinds, (std::vector<std::string> {"16x32", "24x32", "32x4", "32x32", "48x32", "64x32"}));
    for (const Extracted& e : images) {
        SCOPED_TRACE(std::to_string(e.width) + " x " + std::to_string(e.bits));
        const int side = e.width;
        ASSERT_EQ(e.height, side);
        // 60 * side / 100 rows, rounded: 16 -> 10, 24 -> 14, 32 -> 19, 48 -> 29, 64 -> 38.
        const int rows = static_cast<int>(std::lround(60.0 * side / 100));
        const int top = (side - rows) / 2;
        for (int y = 0; y < side; ++y) {
            const bool inside = y >= top && y < top + rows;
            for (int x = 0; x < side; ++x) {
                const std::uint32_t px = e.at(x, y);
                if (!inside) {
                    ASSERT_EQ(px >> 24, 0u) << x << "," << y;
                } else if (x < side / 2 - 1) {
                    ASSERT_EQ(px, kRed) << x << "," << y;
                } else if (x > side / 2) {
                    ASSERT_EQ(px, kBlue) << x << "," << y;
                } else {
                    ASSERT_EQ(px >> 24, 0xFFu) << x << "," << y; // the seam blends, opaque
                }
            }
        }
    }
}

// A picture with its transparency: the alpha reaches every image, the PNG
// one included; drawn over white it would have been pink and white.
TEST(IconFileImages, APictureWithAlphaKeepsItInEveryImage)
{
    TempDir dir;
    ImageBuffer buffer;
    Picture& p = buffer.picture();
    p = Picture::make(256, 256);
    p.argb.resize(256 * 256);
    constexpr std::uint32_t kHalf = 0xC8C81E0Au; // alpha 200
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const bool right = x >= 128;
            p.argb[static_cast<std::size_t>(y * 256 + x)] = right ? kHalf : 0u;
            p.setPixel(x, y, right ? Bgr {52, 62, 211} : Bgr {255, 255, 255});
        }
    }
    ASSERT_TRUE(p.keepsTransparency());
    const std::string ico = (dir / "a.ico").string();
    buffer.saveToFile(ico);
    const std::vector<Extracted> images = extractAll(ico, dir);
    ASSERT_EQ(images.size(), 8u); // the seven sides and the classic image
    for (const Extracted& e : images) {
        SCOPED_TRACE(std::to_string(e.width) + " x " + std::to_string(e.bits));
        for (int y = 0; y < e.height; ++y) {
            for (int x = 0; x < e.width; ++x) {
                const std::uint32_t px = e.at(x, y);
                if (x < e.width / 2) {
                    ASSERT_EQ(px >> 24, 0u) << x << "," << y;
                } else if (e.bits == 4) {
                    // No alpha in the classic image: alpha 200 is shown, as drawn.
                    ASSERT_EQ(px, 0xFFD33E34u) << x << "," << y;
                } else {
                    ASSERT_EQ(px, kHalf) << x << "," << y;
                }
            }
        }
    }
    // The AND mask of the 32-bit images is set where alpha is below 128.
    const auto bytes = readBytes(ico);
    const std::uint32_t at16 = le32(bytes.data() + 6 + 12);
    const std::uint8_t* mask = bytes.data() + at16 + 40 + 16 * 16 * 4;
    EXPECT_EQ(mask[0], 0xFF);
    EXPECT_EQ(mask[1], 0x00);
}

// Sixteen colours or fewer: a classic 4-bit 32 x 32 image of exactly the
// picture's colours is listed too; with seventeen there is none.
TEST(IconFileImages, PicturesOfFewColoursGetTheClassicImage)
{
    TempDir dir;
    ImageBuffer buffer;
    Picture& p = buffer.picture();
    p = Picture::make(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int k = (y / 8) * 4 + x / 8;
            p.setPixel(x, y, Bgr {static_cast<std::uint8_t>(k * 16), static_cast<std::uint8_t>(255 - k * 7), 100});
        }
    }
    const std::string ico = (dir / "c.ico").string();
    buffer.saveToFile(ico);
    EXPECT_EQ(listing(ico), "--icon --index=1 --width=16 --height=16 --bit-depth=32 --palette-size=0\n"
                            "--icon --index=2 --width=24 --height=24 --bit-depth=32 --palette-size=0\n"
                            "--icon --index=3 --width=32 --height=32 --bit-depth=4 --palette-size=16\n"
                            "--icon --index=4 --width=32 --height=32 --bit-depth=32 --palette-size=0\n");
    const std::vector<Extracted> images = extractAll(ico, dir);
    ASSERT_EQ(images.size(), 4u);
    ASSERT_EQ(images[2].bits, 4);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            ASSERT_EQ(images[2].at(x, y), p.pixel(x, y).rgb() | 0xFF000000u) << x << "," << y;
            ASSERT_EQ(images[3].at(x, y), p.pixel(x, y).rgb() | 0xFF000000u) << x << "," << y;
        }
    }
    std::string identified;
    ASSERT_EQ(runCommand("/usr/bin/identify -format '%wx%h ' " + shellQuote(ico), &identified), 0);
    EXPECT_EQ(identified, "16x16 24x24 32x32 32x32 ");

    // A larger picture of few colours: the classic image holds only its colours.
    buffer.picture() = halves(48, 40);
    buffer.saveToFile(ico);
    const std::vector<Extracted> more = extractAll(ico, dir);
    ASSERT_EQ(more.size(), 5u);
    ASSERT_EQ(more[2].bits, 4);
    for (const std::uint32_t px : more[2].argb) EXPECT_TRUE(px == kRed || px == kBlue || px >> 24 == 0) << px;

    // One colour more: no classic image.
    p = Picture::make(32, 32);
    for (int i = 0; i < 17; ++i) p.setPixel(i, 0, Bgr {static_cast<std::uint8_t>(i), 0, 0});
    buffer.picture() = p;
    buffer.saveToFile(ico);
    EXPECT_EQ(listing(ico).find("--bit-depth=4"), std::string::npos);
}

// The largest picture there is becomes an icon from its rows, never copied
// whole: a 16384 x 16384 black and white picture (32 MiB) adds at most a few
// tens of megabytes to the process's peak, where a 24-bit copy of it would
// add 768 MiB.
TEST(IconFileImages, TheLargestPictureIsScaledWithoutCopyingIt)
{
    TempDir dir;
    ImageBuffer buffer;
    Picture& p = buffer.picture();
    p = Picture::make(kMaxPictureSide, kMaxPictureSide, 1);
    for (int y = 0; y < p.height; ++y) std::fill(p.row(y), p.row(y) + p.stride() / 2, 0xFF); // left half white
    rusage before {};
    getrusage(RUSAGE_SELF, &before);
    const std::string ico = (dir / "big.ico").string();
    buffer.saveToFile(ico);
    rusage after {};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64L * 1024) << "KiB more at the peak";
    std::string sizes;
    ASSERT_EQ(runCommand("/usr/bin/identify -format '%wx%h ' " + shellQuote(ico), &sizes), 0);
    EXPECT_EQ(sizes, "16x16 24x24 32x32 32x32 48x48 64x64 128x128 256x256 ");
    const std::vector<Extracted> images = extractAll(ico, dir);
    ASSERT_EQ(images.size(), 8u);
    EXPECT_EQ(images[7].at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(images[7].at(255, 255), 0xFF000000u);
}
