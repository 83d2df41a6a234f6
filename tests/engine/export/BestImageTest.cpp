#include "export/BestImage.h"

#include "TestSupport.h"
#include "export/SaveAll.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sstream>

using namespace vextral;
using namespace vextral::exporting;
using namespace vextral::codecs;
using vextral::test::fixture;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

// The pixels of a picture file as Pillow reads them, 0xAARRGGBB row by row;
// for an icon file, its image of the size given.
std::vector<std::uint32_t> pillowPixels(const fs::path& file, int size = 0)
{
    const std::string script =
        "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
        "if int(sys.argv[2]): im.size = (int(sys.argv[2]),) * 2\n"
        "for r, g, b, a in im.convert('RGBA').getdata(): print(a << 24 | r << 16 | g << 8 | b)\n";
    std::string out;
    EXPECT_EQ(test::runCommand("/usr/bin/python3 -c " + test::shellQuote(script) + " " +
                                   test::shellQuote(file.string()) + " " + std::to_string(size),
                               &out),
              0);
    std::vector<std::uint32_t> pixels;
    std::istringstream lines(out);
    for (std::uint64_t v; lines >> v;) pixels.push_back(static_cast<std::uint32_t>(v));
    return pixels;
}

// Straight alpha pixels compared where they are visible: a fully transparent
// pixel's colour does not count.
void expectSameVisiblePixels(const std::vector<std::uint32_t>& got, const std::vector<std::uint32_t>& want)
{
    ASSERT_EQ(got.size(), want.size());
    int differing = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const bool same = (want[i] >> 24) == 0 ? (got[i] >> 24) == 0 : got[i] == want[i];
        if (!same && ++differing < 5) ADD_FAILURE() << "pixel " << i << ": " << std::hex << got[i] << " " << want[i];
    }
    EXPECT_EQ(differing, 0);
}

IconCatalogue catalogueOfFile(const std::string& path)
{
    IconCatalogue c;
    const auto source = platform::IconSource::open(path);
    for (int k = 0; k < source.count(); ++k) c.add(*source.icon(k), k, path);
    return c;
}

} // namespace

TEST(BestImage, ChoosesTheSmallestImageAtLeastAsLargeElseTheLargest)
{
    // multi.ico holds 16, 32 (three depths), 48 and 256 pixel images.
    const auto images = platform::IconSource::open(fixture("multi.ico").string()).images(0);
    auto sizeOf = [&](int entry) { return images[static_cast<std::size_t>(entry)].info->width; };
    EXPECT_EQ(sizeOf(bestImageOrder(images, 48, 48).front()), 48);
    EXPECT_EQ(sizeOf(bestImageOrder(images, 33, 20).front()), 48);
    EXPECT_EQ(sizeOf(bestImageOrder(images, 64, 64).front()), 256);
    EXPECT_EQ(sizeOf(bestImageOrder(images, 16, 300).front()), 256);
    // Nothing large enough: the largest, then the next largest.
    const auto huge = bestImageOrder(images, 512, 512);
    EXPECT_EQ(sizeOf(huge[0]), 256);
    EXPECT_EQ(sizeOf(huge[1]), 48);
    // Among the 32 x 32 images the deepest comes first.
    const auto order32 = bestImageOrder(images, 32, 32);
    ASSERT_EQ(sizeOf(order32[0]), 32);
    for (const int e : order32) {
        if (sizeOf(e) == 32) {
            EXPECT_LE(images[static_cast<std::size_t>(e)].info->bits, images[order32[0]].info->bits);
        }
    }
}

TEST(BestImage, DrawsTheIconsOwnImagesPixelForPixel)
{
    const fs::path ico = fixture("multi.ico");
    const auto at256 = renderBestImage(ico.string(), 0, 256, 256);
    ASSERT_TRUE(at256);
    EXPECT_TRUE(at256->hasAlpha);
    expectSameVisiblePixels(at256->argb(), pillowPixels(ico, 256));
    const auto at48 = renderBestImage(ico.string(), 0, 48, 48);
    ASSERT_TRUE(at48);
    expectSameVisiblePixels(at48->argb(), pillowPixels(ico, 48));

    // A masked (8-bit) image at its own size: opaque pixels as they are, masked ones transparent.
    const auto only48 = renderBestImage(fixture("only48.ico").string(), 0, 48, 48);
    ASSERT_TRUE(only48);
    EXPECT_FALSE(only48->hasAlpha);
    expectSameVisiblePixels(only48->argb(), pillowPixels(fixture("only48.ico"), 48));

    // Enlarged, masked pixels stay masked and inverted ones inverted.
    const auto mask = renderBestImage(fixture("mask.ico").string(), 0, 64, 64);
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->drawnOver(4, 4, 0x336699), 0x336699u);
    EXPECT_EQ(mask->drawnOver(50, 10, 0x000000), 0xFFFFFFu);
    EXPECT_EQ(mask->drawnOver(50, 10, 0xFFFFFF), 0x000000u);
    EXPECT_EQ(mask->drawnOver(40, 40, 0xFFFFFF), 0x008080u);

    // Out of range: no icon, no size.
    EXPECT_FALSE(renderBestImage(ico.string(), 1, 32, 32));
    EXPECT_FALSE(renderBestImage(ico.string(), 0, 0, 32));
    EXPECT_FALSE(renderBestImage(ico.string(), 0, 32, kMaxPictureSide + 1));
    EXPECT_FALSE(renderBestImage(fixture("garbage.bin").string(), 0, 32, 32));
}

TEST(BestImage, ShrinksByAreaAndEnlargesSmoothly)
{
    // The 256 x 256 image: an 8 px transparent border, an 8 px ring of alpha
    // 128, then opaque. At 64 x 64 each 4 x 4 block is averaged: 2 px of each.
    const fs::path ico = fixture("multi.ico");
    const auto at64 = renderBestImage(ico.string(), 0, 64, 64);
    ASSERT_TRUE(at64);
    const auto big = pillowPixels(ico, 256);
    auto source = [&](int x, int y) { return big[static_cast<std::size_t>(y) * 256 + static_cast<std::size_t>(x)]; };
    for (const int p : {0, 1}) EXPECT_EQ(at64->colour[at64->at(p, 30)] >> 24, 0u) << p;
    for (const int p : {2, 3}) EXPECT_EQ(at64->colour[at64->at(p, 30)], source(4 * p, 120)) << p;
    EXPECT_EQ(at64->colour[at64->at(4, 30)], source(16, 120));
    EXPECT_EQ(at64->colour[at64->at(32, 32)], source(128, 128));

    // 100 x 100: the ring's edge falls inside a pixel, which blends both.
    const auto at100 = renderBestImage(ico.string(), 0, 100, 100);
    ASSERT_TRUE(at100);
    const std::uint32_t seam = at100->colour[at100->at(3, 50)] >> 24; // source 7.68 .. 10.24
    EXPECT_GT(seam, 0u);
    EXPECT_LT(seam, 128u);

    // 512 x 512 from the largest (256): the ring's edge is a ramp, not a step.
    const auto at512 = renderBestImage(ico.string(), 0, 512, 512);
    ASSERT_TRUE(at512);
    EXPECT_EQ(at512->colour[at512->at(8, 256)] >> 24, 0u);
    EXPECT_EQ(at512->colour[at512->at(24, 256)], source(12, 128));
    const std::uint32_t ramp = at512->colour[at512->at(16, 256)] >> 24;
    EXPECT_GT(ramp, 0u);
    EXPECT_LT(ramp, 128u);
}

TEST(BestImage, FallsBackToTheCataloguePictureWhenTheFileIsGone)
{
    TempDir dir;
    const fs::path copy = dir / "gone.ico";
    fs::copy_file(fixture("multi.ico"), copy);
    const IconCatalogue catalogue = catalogueOfFile(copy.string());
    const IconPicture sharp = renderCatalogueBestImage(catalogue, 0, 64, 64);
    fs::remove(copy);
    EXPECT_FALSE(renderBestImage(copy.string(), 0, 64, 64));

    const IconPicture at32 = renderCatalogueBestImage(catalogue, 0, 32, 32);
    EXPECT_EQ(at32, pictureOfIcon(catalogue.image(0)));
    const IconPicture at64 = renderCatalogueBestImage(catalogue, 0, 64, 64);
    ASSERT_EQ(at64.width, 64);
    ASSERT_EQ(at64.height, 64);
    EXPECT_NE(at64, sharp); // drawn from 32 x 32, not from the 256 x 256 image
    // Opaque areas of the 32 x 32 picture stay what they were.
    EXPECT_EQ(at64.colour[at64.at(32, 32)], catalogue.image(0).pixel(16, 16));
}

TEST(BestImage, SaveAllWritesTheImageItselfOnlyWhenAsked)
{
    const fs::path ico = fixture("multi.ico");
    const IconCatalogue catalogue = catalogueOfFile(ico.string());
    TempDir classic, sharp;
    SaveAllJob job;
    job.format = OutputFormat::Png;
    job.widthText = job.heightText = [] { return std::string("256"); };
    ASSERT_EQ(saveAll(catalogue, classic.path().string(), job), 1);
    job.bestImage = true;
    ASSERT_EQ(saveAll(catalogue, sharp.path().string(), job), 1);

    // Over white, the way the desktop draws a picture with alpha.
    std::vector<std::uint32_t> want;
    for (const std::uint32_t p : pillowPixels(ico, 256))
        want.push_back(0xFF000000u | drawIconPixel(p, false, true, 0xFFFFFF));
    EXPECT_EQ(pillowPixels(sharp / "multi.ico_0.png"), want);

    // Without the switch the 32 x 32 picture is stretched: 8 x 8 blocks of one colour.
    const auto stretched = pillowPixels(classic / "multi.ico_0.png");
    ASSERT_EQ(stretched.size(), 256u * 256u);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const std::uint32_t drawn = 0xFF000000u | catalogue.image(0).drawnOver(x / 8, y / 8, 0xFFFFFF);
            ASSERT_EQ(stretched[static_cast<std::size_t>(y) * 256 + static_cast<std::size_t>(x)], drawn)
                << x << "," << y;
        }
    }
}

TEST(BestImage, AnImageTooLargeToHoldWholeIsDrawnFromTheLargeIconPicture)
{
    // One 1-bit image of 3000 x 3000, white with its AND mask clear: more
    // pixels than a picture is decoded into at its own size.
    const int side = 3000;
    const std::uint32_t stride = ((side + 31) / 32) * 4;
    std::vector<std::uint8_t> dib(40 + 8, 0);
    auto put32 = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(dib, 0, 40);
    put32(dib, 4, side);
    put32(dib, 8, 2 * side);
    dib[12] = 1;              // planes
    dib[14] = 1;              // bits
    put32(dib, 44, 0xFFFFFF); // palette entry 1: white
    dib.resize(dib.size() + 2 * std::size_t {stride} * side, 0);
    std::fill(dib.begin() + 48, dib.begin() + 48 + std::ptrdiff_t {stride} * side, 0xFF);
    std::vector<std::uint8_t> ico(22, 0);
    ico[2] = 1;
    ico[4] = 1;
    ico[10] = 1; // planes
    ico[12] = 1; // bits
    put32(ico, 14, static_cast<std::uint32_t>(dib.size()));
    put32(ico, 18, 22);
    ico.resize(22 + dib.size());
    std::copy(dib.begin(), dib.end(), ico.begin() + 22);
    TempDir dir;
    test::writeBytes(dir / "huge.ico", ico);

    const auto picture = renderBestImage((dir / "huge.ico").string(), 0, 64, 64);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width, 64);
    for (const std::uint32_t c : picture->argb()) ASSERT_EQ(c, 0xFFFFFFFFu);
}
