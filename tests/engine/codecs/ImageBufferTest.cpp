// The image buffer's own operations: resample, flip, clear, the two-colour
// reduction, save-by-extension and icon drawing.
#include "codecs/ImageBuffer.h"
#include "core/Error.h"
#include "engine/codecs/PilGif.h"

#include <gtest/gtest.h>

namespace vextral::codecs {
namespace {

Bgr rgb(int r, int g, int b)
{
    return {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r)};
}

// Each pixel's red is its column, its green its row.
Picture numbered(int w, int h)
{
    Picture p = Picture::make(w, h);
    for (int i = 0; i < w * h; ++i) p.setPixel(i % w, i / w, rgb(i % w, i / w, 7));
    return p;
}

Picture filled(int w, int h, Bgr c)
{
    Picture p = Picture::make(w, h);
    for (int i = 0; i < w * h; ++i) p.setPixel(i % w, i / w, c);
    return p;
}

TEST(ImageBuffer, ResampleSizes)
{
    ImageBuffer buffer;
    buffer.picture() = numbered(32, 32);
    buffer.resample(48, 24);
    EXPECT_EQ(buffer.picture().width, 48);
    EXPECT_EQ(buffer.picture().height, 24);
    EXPECT_EQ(buffer.picture().pixel(47, 23), rgb(31, 30, 7)); // nearest source pixel
    buffer.picture() = numbered(32, 32);
    buffer.resample(-1, 16);
    EXPECT_EQ(buffer.picture().width, 16);
    EXPECT_EQ(buffer.picture().pixel(5, 3), rgb(10, 6, 7));
    buffer.picture() = numbered(48, 24);
    buffer.resample(-1, 16);
    EXPECT_EQ(buffer.picture().width, 32);
    buffer.resample(-1, -1);
    EXPECT_EQ(buffer.picture().height, 16);
    Picture bits = Picture::make(16, 16, 1);
    bits.setBit(15, 15, true);
    buffer.picture() = bits;
    buffer.resample(32, 32);
    EXPECT_EQ(buffer.picture().bits, 1);
    EXPECT_TRUE(buffer.picture().bit(31, 31));
    EXPECT_FALSE(buffer.picture().bit(29, 31));
}

TEST(ImageBuffer, FlipBothLayouts)
{
    ImageBuffer buffer;
    buffer.picture() = numbered(3, 2); // row 0: A, B, C
    buffer.flip(0);
    EXPECT_EQ(buffer.picture().pixel(0, 0), rgb(2, 0, 7));
    EXPECT_EQ(buffer.picture().pixel(2, 0), rgb(0, 0, 7));
    buffer.flip(1);
    EXPECT_EQ(buffer.picture().pixel(0, 0), rgb(2, 1, 7));
    // 1 bit: the bytes of each row reversed and the bits of each byte too.
    Picture bits = Picture::make(16, 2, 1);
    bits.row(0)[0] = 0b1100'0001;
    bits.row(0)[1] = 0b0000'0010;
    buffer.picture() = bits;
    buffer.flip(0);
    EXPECT_EQ(buffer.picture().row(0)[0], 0b0100'0000);
    EXPECT_EQ(buffer.picture().row(0)[1], 0b1000'0011);
    buffer.flip(1);
    EXPECT_EQ(buffer.picture().row(1)[1], 0b1000'0011);
    EXPECT_EQ(buffer.picture().row(0)[1], 0);
}

TEST(ImageBuffer, ClearFillsWithTheBackground)
{
    ImageBuffer buffer;
    buffer.picture() = numbered(5, 4);
    buffer.setBackground(0x000080FF); // orange, stored blue-green-red
    buffer.clear();
    EXPECT_EQ(buffer.picture().pixels, filled(5, 4, rgb(255, 128, 0)).pixels);
}

TEST(ImageBuffer, TwoColourReduction)
{
    // White met first, then red: red is darker, so it becomes colour 0.
    Picture p = filled(4, 2, rgb(255, 255, 255));
    p.setPixel(1, 0, rgb(255, 0, 0));
    TwoColourPicture two = reduceToTwoColours(p);
    EXPECT_EQ(two.colour0, rgb(255, 0, 0));
    EXPECT_EQ(two.colour1, rgb(255, 255, 255));
    EXPECT_FALSE(two.picture.bit(1, 0));
    EXPECT_TRUE(two.picture.bit(0, 0));
    // Three colours: dithered black and white. Mid grey is level
    // (99 x 128) div 400 = 31, so a pixel is white where the matrix is below 31.
    p = filled(16, 16, rgb(128, 128, 128));
    p.setPixel(15, 15, rgb(255, 0, 0));
    p.setPixel(14, 15, rgb(0, 0, 255));
    two = reduceToTwoColours(p);
    EXPECT_EQ(two.colour0, rgb(0, 0, 0));
    EXPECT_EQ(two.colour1, rgb(255, 255, 255));
    EXPECT_TRUE(two.picture.bit(0, 2));  // M[0][2] = 8
    EXPECT_FALSE(two.picture.bit(0, 1)); // M[0][1] = 32
    EXPECT_FALSE(two.picture.bit(1, 0)); // M[1][0] = 48
    int white = 0;
    for (int i = 0; i < 64; ++i) white += two.picture.bit(i % 8, i / 8);
    EXPECT_EQ(white, 31);
    // One colour is dithered too: all white leaves the matrix's 63 black.
    two = reduceToTwoColours(filled(8, 8, rgb(255, 255, 255)));
    EXPECT_FALSE(two.picture.bit(7, 0));
    EXPECT_TRUE(two.picture.bit(6, 0));
}

TEST(ImageBuffer, SaveByExtension)
{
    test::TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = numbered(6, 5);
    for (const auto& [name, message] : {std::pair {"a.xyz", "Unknown picture file extension (.xyz)"},
                                        std::pair {"noext", "Unknown picture file extension (.)"}}) {
        try {
            buffer.saveToFile((dir / name).string());
            ADD_FAILURE() << name << " was saved";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
        EXPECT_FALSE(std::filesystem::exists(dir / name));
    }
    // .GIF in capitals reaches the GIF writer; its 30 colours fit the table
    // and are kept as they are, though they share black's 5-bit cell.
    buffer.saveToFile((dir / "b.GIF").string());
    const test::PilImage image = test::pilRead(dir / "b.GIF");
    ASSERT_EQ(image.width, 6);
    std::vector<std::uint8_t> colours;
    for (int i = 0; i < 30; ++i)
        colours.insert(colours.end(), {static_cast<std::uint8_t>(i % 6), static_cast<std::uint8_t>(i / 6), 7});
    EXPECT_EQ(image.rgb, colours);
}

TEST(ImageBuffer, DrawIconOverTheBackground)
{
    Icon icon;
    icon.colour.fill(0x00112233);
    icon.mask[0] = 1; // shows the background
    icon.colour[0] = 0;
    icon.mask[1] = 1; // inverts it
    icon.colour[1] = 0xFFFFFF;
    ImageBuffer buffer;
    buffer.setBackground(0x00FF0000); // blue
    buffer.drawIcon(icon);
    EXPECT_EQ(buffer.picture().width, 32);
    EXPECT_EQ(buffer.picture().pixel(0, 0), rgb(0, 0, 255));
    EXPECT_EQ(buffer.picture().pixel(1, 0), rgb(255, 255, 0));
    EXPECT_EQ(buffer.picture().pixel(2, 0), rgb(0x11, 0x22, 0x33));
}

} // namespace
} // namespace vextral::codecs
