// The icon reader against files made by real tools (tests/fixtures/README.md
// lists what each holds).
#include "platform/IconExtractor.h"
#include "core/Bytes.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace vextral;
using namespace vextral::platform;
using vextral::test::fixture;
using vextral::test::readBytes;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;

IconSource openFixture(const std::string& name) { return IconSource::open(fixture(name).string()); }

Icon iconOf(const std::string& name, int index = 0)
{
    const auto icon = openFixture(name).icon(index);
    if (!icon) throw std::runtime_error("no icon " + std::to_string(index) + " in " + name);
    return *icon;
}

std::uint32_t centre(const Icon& icon) { return icon.drawnOver(16, 16, kBlack); }

std::vector<std::string> labels(const IconSource& s)
{
    std::vector<std::string> out;
    for (int i = 0; i < s.count(); ++i) out.push_back(s.label(i));
    return out;
}

// The ICO file of one image of an icon file, built by hand: directory entry
// copied, offset 22.
std::vector<std::uint8_t> singleImageIco(const std::vector<std::uint8_t>& ico, int image)
{
    const std::uint8_t* e = ico.data() + 6 + 16 * image;
    const std::uint32_t size = le32(e + 8);
    const std::uint32_t offset = le32(e + 12);
    std::vector<std::uint8_t> out;
    out.reserve(22 + size);
    putLe16(out, 0);
    putLe16(out, 1);
    putLe16(out, 1);
    for (int i = 0; i < 8; ++i) out.push_back(e[i]);
    putLe32(out, size);
    putLe32(out, 22);
    out.insert(out.end(), ico.begin() + offset, ico.begin() + offset + size);
    return out;
}

} // namespace

TEST(IconSource, CountsIconsByContentLikeTheShell)
{
    struct Case {
        const char* file;
        IconFileKind kind;
        int count;
    } cases[] = {
        {"icons64.dll", IconFileKind::Pe, 4},   {"icons32.dll", IconFileKind::Pe, 4},
        {"noicons.dll", IconFileKind::Pe, 0},   {"library.icl", IconFileKind::Ne, 3},
        {"library.nil", IconFileKind::Ne, 2},   {"multi.ico", IconFileKind::Ico, 1},
        {"arrow.cur", IconFileKind::Cur, 1},    {"spin.ani", IconFileKind::Ani, 1},
        {"picture.bmp", IconFileKind::Bmp, 1},  {"small8.bmp", IconFileKind::Bmp, 1},
        {"garbage.bin", IconFileKind::None, 0}, {"empty.bin", IconFileKind::None, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const IconSource s = openFixture(c.file);
        EXPECT_TRUE(s.readable());
        EXPECT_EQ(s.kind(), c.kind);
        EXPECT_EQ(s.count(), c.count);
        EXPECT_EQ(extractIconCount(fixture(c.file).string()), c.count);
    }
    // The name of a file does not matter: a DLL renamed to .txt is still a DLL.
    test::TempDir dir;
    std::filesystem::copy_file(fixture("icons32.dll"), dir / "notes.txt");
    EXPECT_EQ(extractIconCount((dir / "notes.txt").string()), 4);

    // Files that cannot be read count 0 and say why.
    const IconSource missing = IconSource::open((dir / "missing.dll").string());
    EXPECT_FALSE(missing.readable());
    EXPECT_EQ(missing.count(), 0);
    EXPECT_EQ(missing.error(), "No such file or directory");
    EXPECT_FALSE(missing.icon(0));
    const IconSource folder = IconSource::open(dir.path().string());
    EXPECT_FALSE(folder.readable());
    EXPECT_EQ(folder.count(), 0);
}

TEST(IconSource, KeepsResourceDirectoryAndTableOrder)
{
    // Named groups first, then ids ascending, as the directory stores them.
    EXPECT_EQ(labels(openFixture("icons64.dll")), (std::vector<std::string> {"APPICON", "#1", "#2", "#7"}));
    EXPECT_EQ(labels(openFixture("icons32.dll")), (std::vector<std::string> {"APPICON", "#1", "#2", "#7"}));
    EXPECT_EQ(labels(openFixture("library.icl")), (std::vector<std::string> {"LOGO", "#1", "#5"}));
    EXPECT_EQ(labels(openFixture("library.nil")), (std::vector<std::string> {"#1", "#2"}));

    const auto images = openFixture("icons64.dll").images(0);
    ASSERT_EQ(images.size(), 6u);
    const int expected[6][3] = {{16, 16, 4}, {32, 32, 4}, {32, 32, 8}, {32, 32, 32}, {48, 48, 32}, {256, 256, 32}};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(images[i].info);
        EXPECT_EQ(images[i].info->width, expected[i][0]);
        EXPECT_EQ(images[i].info->height, expected[i][1]);
        EXPECT_EQ(images[i].info->bits, expected[i][2]);
        EXPECT_EQ(images[i].info->png, i == 5);
    }
    // The group entry of the 256 image stores 0, which means 256.
    EXPECT_EQ(images[5].entryWidth, 256);
}

TEST(IconSource, PicksTheImageWindowsShowsAsTheLargeIcon)
{
    // A 32 x 32 image with the most colours wins.
    EXPECT_EQ(centre(iconOf("multi.ico")), 0xFFFF00u);
    EXPECT_EQ(centre(iconOf("icons64.dll", 0)), 0xFFFF00u);
    EXPECT_EQ(centre(iconOf("icons32.dll", 0)), 0xFFFF00u);
    EXPECT_EQ(centre(iconOf("library.icl", 0)), 0xFFFF80u);
    // Nearest size otherwise: 16 is nearer than 64; 24 and 40 tie and the larger wins.
    EXPECT_EQ(centre(iconOf("sizes16_64.ico")), 0x8000FFu);
    EXPECT_EQ(centre(iconOf("tie.ico")), 0x80FF00u);
    EXPECT_EQ(centre(iconOf("library.icl", 2)), 0x000080u); // 16 and 48 tie: 48
    // Single images, scaled when they are not 32 x 32.
    EXPECT_EQ(centre(iconOf("icons64.dll", 2)), 0xFF8000u);
    EXPECT_EQ(iconOf("only48.ico").drawnOver(0, 0, kBlack), 0xFF8000u);
    EXPECT_EQ(iconOf("only48.ico").drawnOver(31, 31, kWhite), 0xFF8000u);
    EXPECT_EQ(centre(iconOf("icons64.dll", 3)), 0x8080FFu);
    EXPECT_EQ(centre(iconOf("library.icl", 1)), 0x800000u);
    EXPECT_EQ(centre(iconOf("library.nil", 0)), 0x808000u);
    EXPECT_EQ(centre(iconOf("library.nil", 1)), 0x800080u);
    // An animated cursor shows its first frame.
    EXPECT_EQ(centre(iconOf("spin.ani")), 0xC00000u);
    EXPECT_EQ(extractIcon(fixture("spin.ani").string(), 0)->drawnOver(16, 16, kBlack), 0xC00000u);
    EXPECT_FALSE(openFixture("multi.ico").icon(1));
    EXPECT_FALSE(openFixture("multi.ico").icon(-1));
}

TEST(IconSource, DrawsMaskedIconsOverABackgroundAsWindowsDoes)
{
    // mask.ico: transparent top-left block, inverted pixels at x 24..27, y 4..7.
    for (const Icon& icon : {iconOf("mask.ico"), iconOf("icons64.dll", 1)}) {
        EXPECT_FALSE(icon.hasAlpha);
        EXPECT_EQ(icon.drawnOver(0, 0, 0x336699), 0x336699u);
        EXPECT_EQ(icon.drawnOver(7, 7, 0x336699), 0x336699u);
        EXPECT_EQ(icon.drawnOver(8, 8, 0x336699), 0x008080u);
        EXPECT_EQ(icon.drawnOver(24, 4, 0x102030), 0xEFDFCFu);
        EXPECT_EQ(icon.drawnOver(27, 7, kBlack), kWhite);
        EXPECT_EQ(icon.drawnOver(28, 7, kBlack), 0x008080u);
        EXPECT_EQ(centre(icon), 0x008080u);
    }
    // The cursor's arrow: tip at the hotspot, white inside, transparent around.
    const Icon arrow = iconOf("arrow.cur");
    EXPECT_EQ(arrow.drawnOver(2, 3, kWhite), kBlack);
    EXPECT_EQ(arrow.drawnOver(5, 15, kBlack), kWhite);
    EXPECT_EQ(arrow.drawnOver(9, 26, kBlack), kWhite);
    EXPECT_EQ(arrow.drawnOver(20, 5, 0x123456), 0x123456u);
    EXPECT_EQ(arrow.drawnOver(16, 16, 0x123456), 0x123456u);
}

TEST(IconSource, BlendsAlphaEdgesAndScalesWithoutJaggies)
{
    // 32x32x32: 2 px transparent border, then a 2 px ring of alpha 128.
    const Icon icon = iconOf("multi.ico");
    EXPECT_TRUE(icon.hasAlpha);
    EXPECT_EQ(icon.drawnOver(0, 0, 0x336699), 0x336699u);
    EXPECT_EQ(icon.drawnOver(1, 20, 0x336699), 0x336699u);
    EXPECT_EQ(icon.drawnOver(2, 2, kWhite), 0xFFFF7Fu);
    EXPECT_EQ(icon.drawnOver(3, 16, kBlack), 0x808000u);
    EXPECT_EQ(icon.drawnOver(4, 4, kBlack), 0xFFFF00u);

    // The 256 x 256 PNG alone: each 8 x 8 block becomes one pixel, so the
    // 8 px transparent border and the 8 px alpha-128 ring stay one pixel each.
    const auto png = IconSource::fromBytes(singleImageIco(readBytes(fixture("multi.ico")), 5)).icon(0);
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->hasAlpha);
    EXPECT_EQ(png->pixel(0, 0) >> 24, 0u);
    EXPECT_EQ(png->pixel(1, 1), 0x8000FFFFu);
    EXPECT_EQ(png->pixel(1, 30), 0x8000FFFFu);
    EXPECT_EQ(png->pixel(2, 2), 0xFF00FFFFu);
    EXPECT_EQ(png->drawnOver(1, 16, kBlack), 0x008080u);

    // 48x48 with a 1 px transparent border: the border pixel covers 2/3 of
    // output pixel 0, which comes out a third opaque, not jagged.
    const auto m48 = IconSource::fromBytes(singleImageIco(readBytes(fixture("multi.ico")), 4)).icon(0);
    ASSERT_TRUE(m48);
    EXPECT_EQ(m48->pixel(16, 0), 0x55FF00FFu);
    EXPECT_EQ(m48->pixel(16, 1), 0xFFFF00FFu);
}

TEST(IconSource, BitmapsBecomeOpaqueIcons)
{
    // 64 x 48 quadrants: 24 rows become exactly 16.
    const Icon picture = iconOf("picture.bmp");
    EXPECT_FALSE(picture.hasAlpha);
    EXPECT_EQ(picture.drawnOver(0, 0, kBlack), 0xFF0000u);
    EXPECT_EQ(picture.drawnOver(0, 15, kBlack), 0xFF0000u);
    EXPECT_EQ(picture.drawnOver(31, 0, kBlack), 0x00FF00u);
    EXPECT_EQ(picture.drawnOver(0, 16, kBlack), 0x0000FFu);
    EXPECT_EQ(picture.drawnOver(31, 31, kBlack), 0xFFFFFFu);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) EXPECT_EQ(picture.drawnOver(x, y, kBlack), picture.drawnOver(x, y, kWhite));
    }
    // 20 x 10, 8-bit palette: column 0 of the top half is #0040FF.
    const Icon small = iconOf("small8.bmp");
    EXPECT_EQ(small.drawnOver(0, 0, kBlack), 0x0040FFu);
    EXPECT_EQ(small.drawnOver(0, 15, kBlack), 0x0040FFu);
    EXPECT_EQ(small.drawnOver(0, 16, kBlack), 0xFFFFFFu);
    EXPECT_EQ(small.drawnOver(31, 0, kBlack), 0xF74008u);
}

TEST(IconSource, RebuildsTheOriginalIconFileFromTheGroup)
{
    // The DLLs' groups were made from these files by windres, whose image
    // order and sizes a rebuild restores byte for byte.
    const char* sources[] = {"multi.ico", "mask.ico", "only48.ico", "single24.ico"};
    for (const char* dll : {"icons64.dll", "icons32.dll"}) {
        const IconSource s = openFixture(dll);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(std::string(dll) + " " + sources[i]);
            EXPECT_EQ(s.originalIco(i), readBytes(fixture(sources[i])));
        }
    }
    // Icon files are their own original form; an animated cursor gives its first frame.
    EXPECT_EQ(openFixture("tie.ico").originalIco(0), readBytes(fixture("tie.ico")));
    const auto ani = readBytes(fixture("spin.ani"));
    EXPECT_EQ(openFixture("spin.ani").originalIco(0),
              std::vector<std::uint8_t>(ani.begin() + 102, ani.begin() + 102 + 4286));
    EXPECT_TRUE(openFixture("spin.ani").originalIco(1).empty());

    // NE resources are padded to their alignment: the rebuilt file uses the
    // group's real sizes, so other readers see exactly the stored images.
    test::TempDir dir;
    const auto ne = openFixture("library.icl").originalIco(0);
    ASSERT_FALSE(ne.empty());
    EXPECT_EQ(ne.size(), 6u + 3 * 16 + 296 + 744 + 4264);
    test::writeBytes(dir / "logo.ico", ne);
    std::string listing;
    ASSERT_EQ(test::runCommand("icotool -l " + test::shellQuote((dir / "logo.ico").string()) + " 2>&1", &listing), 0);
    EXPECT_EQ(listing, "--icon --index=1 --width=16 --height=16 --bit-depth=4 --palette-size=16\n"
                       "--icon --index=2 --width=32 --height=32 --bit-depth=4 --palette-size=16\n"
                       "--icon --index=3 --width=32 --height=32 --bit-depth=32 --palette-size=0\n");
    const auto nil = openFixture("library.nil").originalIco(1);
    test::writeBytes(dir / "nil.ico", nil);
    ASSERT_EQ(test::runCommand("icotool -l " + test::shellQuote((dir / "nil.ico").string()) + " 2>&1", &listing), 0);
    EXPECT_EQ(listing, "--icon --index=1 --width=32 --height=32 --bit-depth=32 --palette-size=0\n"
                       "--icon --index=2 --width=16 --height=16 --bit-depth=4 --palette-size=16\n");
}

TEST(IconSource, BitmapAndRebuiltIconsOpenInOtherReaders)
{
    // A bitmap's icon is written as a 32 x 32 32-bit icon file; PIL must see
    // the same quadrants.
    test::TempDir dir;
    test::writeBytes(dir / "picture.ico", openFixture("picture.bmp").originalIco(0));
    test::writeBytes(dir / "mask.ico", iconToIcoBytes(iconOf("mask.ico")));
    const std::string script =
        "import sys\n"
        "from PIL import Image\n"
        "p = Image.open(sys.argv[1]).convert('RGBA')\n"
        "m = Image.open(sys.argv[2]).convert('RGBA')\n"
        "print(p.size, p.getpixel((0, 0)), p.getpixel((31, 31)), m.getpixel((0, 0))[3], m.getpixel((16, 16)))\n";
    std::string out;
    ASSERT_EQ(test::runCommand("/usr/bin/python3 -c " + test::shellQuote(script) + " " +
                                   test::shellQuote((dir / "picture.ico").string()) + " " +
                                   test::shellQuote((dir / "mask.ico").string()),
                               &out),
              0);
    EXPECT_EQ(out, "(32, 32) (255, 0, 0, 255) (255, 255, 255, 255) 0 (0, 128, 128, 255)\n");
    // The written icon keeps the mask and the inverted pixels.
    const auto back = IconSource::fromBytes(readBytes(dir / "mask.ico")).icon(0);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, iconOf("mask.ico"));
}
