// Pictures that keep an icon's transparency: which formats hold it, as other
// programs read them, and what the picture operations do with it.

#include "codecs/ImageBuffer.h"
#include "codecs/Writers.h"
#include "core/Icon.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace vextral;
using namespace vextral::codecs;

namespace {

// An icon with alpha: a clear left column, a half-clear second one, the rest
// opaque red.
Icon alphaIcon()
{
    Icon icon;
    icon.hasAlpha = true;
    for (int y = 0; y < Icon::kSize; ++y) {
        for (int x = 0; x < Icon::kSize; ++x) {
            const std::uint32_t alpha = x == 0 ? 0 : x == 1 ? 128 : 255;
            icon.colour[static_cast<std::size_t>(y * Icon::kSize + x)] = alpha << 24 | 0xFF0000u;
            icon.mask[static_cast<std::size_t>(y * Icon::kSize + x)] = alpha == 0;
        }
    }
    return icon;
}

// "MODE w h | r,g,b,a at (0,0) | at (1,0) | at (w-1,0)" as PIL reads the file.
std::string pilPixels(const std::filesystem::path& file)
{
    std::string out;
    const std::string script =
        "import sys; from PIL import Image; im = Image.open(sys.argv[1]); w, h = im.size; "
        "print(im.mode, w, h, *['%d,%d,%d,%d' % im.convert('RGBA').getpixel(p) for p in [(0, 0), (1, 0), (w - 1, 0)]])";
    if (test::runCommand("/usr/bin/python3 -c " + test::shellQuote(script) + " " + test::shellQuote(file.string()),
                         &out) != 0)
        return "unreadable";
    return out;
}

} // namespace

TEST(Transparency, PngTgaAndTiffKeepTheIconsAlphaOtherFormatsTheBackground)
{
    test::TempDir dir;
    ImageBuffer buffer;
    buffer.setBackground(settings::kWhite);
    buffer.setKeepTransparency(true);
    buffer.drawIcon(alphaIcon());
    ASSERT_TRUE(buffer.picture().keepsTransparency());
    buffer.resample(64, 64); // two pixels each way, alpha and all

    writePng(buffer, (dir / "a.png").string());
    writeTga(buffer, (dir / "a.tga").string());
    writeTiff(buffer, (dir / "a.tif").string());
    writeBmp(buffer, (dir / "a.bmp").string());
    // The colours are straight: the half-clear pixels are red, not pink.
    EXPECT_EQ(pilPixels(dir / "a.png"), "RGBA 64 64 255,0,0,0 255,0,0,0 255,0,0,255\n");
    EXPECT_EQ(pilPixels(dir / "a.tga"), "RGBA 64 64 255,0,0,0 255,0,0,0 255,0,0,255\n");
    EXPECT_EQ(pilPixels(dir / "a.tif"), "RGBA 64 64 255,0,0,0 255,0,0,0 255,0,0,255\n");
    std::string half;
    ASSERT_EQ(test::runCommand("/usr/bin/convert " + test::shellQuote((dir / "a.tif").string()) +
                                   " -format '%[pixel:p{2,0}] %[channels]' info:",
                               &half),
              0);
    EXPECT_EQ(half, "srgba(255,0,0,0.501961) srgba");
    // A format without alpha draws over the background as before.
    EXPECT_EQ(pilPixels(dir / "a.bmp"), "RGB 64 64 255,255,255,255 255,255,255,255 255,0,0,255\n");

    // Without the switch every format is drawn over the background.
    ImageBuffer plain;
    plain.drawIcon(alphaIcon());
    EXPECT_FALSE(plain.picture().keepsTransparency());
    writePng(plain, (dir / "b.png").string());
    EXPECT_EQ(pilPixels(dir / "b.png"), "RGB 32 32 255,255,255,255 255,127,127,255 255,0,0,255\n");
}

TEST(Transparency, PictureOperationsKeepItInStepOrDropIt)
{
    ImageBuffer buffer;
    buffer.setKeepTransparency(true);
    buffer.drawIcon(alphaIcon());
    buffer.flip(0); // mirrored: the clear column is now the last
    ASSERT_TRUE(buffer.picture().keepsTransparency());
    EXPECT_EQ(buffer.picture().argb[31] >> 24, 0u);
    EXPECT_EQ(buffer.picture().argb[30] >> 24, 128u);
    EXPECT_EQ(buffer.picture().argb[0], 0xFFFF0000u);
    buffer.resample(-1, 8); // 8 x 8, from every fourth pixel
    ASSERT_TRUE(buffer.picture().keepsTransparency());
    EXPECT_EQ(buffer.picture().argb.size(), 64u);
    // A turn draws the uncovered corners in the background: opaque from then on.
    buffer.rotate(30);
    EXPECT_FALSE(buffer.picture().keepsTransparency());
    buffer.drawIcon(alphaIcon());
    buffer.clear();
    EXPECT_FALSE(buffer.picture().keepsTransparency());
}

TEST(Transparency, MaskedPixelsClearAndInvertedOnesAsTheyShowOverTheBackground)
{
    // An icon without alpha: colour 0 under the mask is clear, any other
    // colour under it inverts the screen, which alpha cannot say; it is kept
    // opaque in the colour it shows over the background.
    EXPECT_EQ(transparentIconPixel(0x00123456u, false, false, 0xFFFFFFu), 0xFF123456u);
    EXPECT_EQ(transparentIconPixel(0x00000000u, true, false, 0xFFFFFFu), 0u);
    EXPECT_EQ(transparentIconPixel(0x00FFFFFFu, true, false, 0xFFFFFFu), 0xFF000000u);
    EXPECT_EQ(transparentIconPixel(0x00FFFFFFu, true, false, 0x000000u), 0xFFFFFFFFu);
    // Alpha pictures are what they hold, mask or none.
    EXPECT_EQ(transparentIconPixel(0x80FF0000u, true, true, 0xFFFFFFu), 0x80FF0000u);
}
