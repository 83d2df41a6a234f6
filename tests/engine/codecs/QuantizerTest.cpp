// The colour quantiser on pictures whose boxes and cuts are worked out by hand.
#include "codecs/Quantizer.h"

#include <gtest/gtest.h>

namespace vextral::codecs {
namespace {

Bgr rgb(int r, int g, int b)
{
    return {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r)};
}

Picture pictureOf(const std::vector<Bgr>& pixels)
{
    Picture p = Picture::make(static_cast<int>(pixels.size()), 1);
    for (std::size_t i = 0; i < pixels.size(); ++i) p.setPixel(static_cast<int>(i), 0, pixels[i]);
    return p;
}

TEST(Quantizer, SingleColourGivesOneEntryAndMapsEverythingToIt)
{
    Picture p = Picture::make(16, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) p.setPixel(x, y, rgb(100, 150, 203));
    }
    const Quantizer q(p, 256);
    ASSERT_EQ(q.count(), 1);
    // Bins 12, 18, 25 times 8.
    EXPECT_EQ(q.table()[0], rgb(96, 144, 200));
    EXPECT_EQ(q.index(rgb(100, 150, 203)), 0);
    EXPECT_EQ(q.index(rgb(255, 0, 0)), 0);
    EXPECT_EQ(q.index(rgb(0, 0, 0)), 0);
    // Entries past the colours found are black.
    const auto padded = q.paddedTable(4);
    ASSERT_EQ(padded.size(), 4u);
    EXPECT_EQ(padded[0], rgb(96, 144, 200));
    EXPECT_EQ(padded[3], rgb(0, 0, 0));
}

TEST(Quantizer, FortyColourIconOverWhite)
{
    // 40 colours in 40 histogram cells, 8 pixels each, the rest white.
    std::vector<Bgr> colours;
    for (int i = 0; i < 40; ++i) colours.push_back(rgb((i * 53 + 17) % 256, (i * 101 + 3) % 256, (i * 29 + 200) % 256));
    Picture p = Picture::make(32, 32);
    for (int i = 0; i < 1024; ++i)
        p.setPixel(i % 32, i / 32, i / 8 < 40 ? colours[static_cast<std::size_t>(i / 8)] : rgb(255, 255, 255));
    const Quantizer q(p, 256);
    // One colour per occupied cell, each the cell's corner: multiples of 8.
    ASSERT_EQ(q.count(), 41);
    colours.push_back(rgb(255, 255, 255));
    for (const Bgr c : colours) {
        const Bgr t = q.table()[q.index(c)];
        EXPECT_EQ(t, rgb(c.r & 0xF8, c.g & 0xF8, c.b & 0xF8)) << c.rgb();
    }
    EXPECT_EQ(q.table()[q.index(rgb(255, 255, 255))], rgb(248, 248, 248));
    // The first box is the first half of the first cut, found by hand.
    EXPECT_EQ(q.table()[0], rgb(16, 112, 16));
    EXPECT_EQ(q.table()[1], rgb(184, 152, 248));
}

TEST(Quantizer, CellsOutsideEveryBoxMapToZero)
{
    // Three black pixels and one white: the cut isolates the two corner cells.
    const Quantizer q(pictureOf({rgb(0, 0, 0), rgb(0, 0, 0), rgb(0, 0, 0), rgb(255, 255, 255)}), 256);
    ASSERT_EQ(q.count(), 2);
    EXPECT_EQ(q.table()[0], rgb(0, 0, 0));
    EXPECT_EQ(q.table()[1], rgb(248, 248, 248));
    EXPECT_EQ(q.index(rgb(250, 251, 252)), 1);
    EXPECT_EQ(q.index(rgb(128, 128, 128)), 0);
    EXPECT_EQ(q.index(rgb(255, 255, 0)), 0);
}

TEST(Quantizer, MeansRoundHalvesToEven)
{
    // Red bins 2 and 3 average 2.5, which rounds to 2.
    const Quantizer q(pictureOf({rgb(16, 0, 0), rgb(24, 0, 0)}), 1);
    ASSERT_EQ(q.count(), 1);
    EXPECT_EQ(q.table()[0], rgb(16, 0, 0));
}

TEST(Quantizer, CutSearchStartsAtTheEvenRoundedMidpoint)
{
    // Red bins 2 (three pixels), 9 and 10: mean 5, so the search starts at
    // Round(2.5) = 2, where the best cut leaves bin 2 alone. Starting at 3
    // would have put bin 9 with bin 2.
    const Quantizer q(pictureOf({rgb(80, 0, 0), rgb(72, 0, 0), rgb(16, 0, 0), rgb(16, 0, 0), rgb(16, 0, 0)}), 2);
    ASSERT_EQ(q.count(), 2);
    EXPECT_EQ(q.table()[0], rgb(16, 0, 0));
    EXPECT_EQ(q.table()[1], rgb(80, 0, 0)); // bins 9 and 10: 9.5 rounds to 10
    EXPECT_EQ(q.index(rgb(72, 0, 0)), 1);
}

TEST(Quantizer, RedWinsATieWithGreen)
{
    // Four corners of the red-green square: cutting red or green scores the
    // same; red is taken, so the halves differ in red.
    const Quantizer q(pictureOf({rgb(0, 0, 0), rgb(0, 248, 0), rgb(248, 0, 0), rgb(248, 248, 0)}), 2);
    ASSERT_EQ(q.count(), 2);
    EXPECT_EQ(q.table()[0], rgb(0, 128, 0));
    EXPECT_EQ(q.table()[1], rgb(248, 128, 0));
}

TEST(Quantizer, NeverMoreThanAskedAndOneBitPicturesWork)
{
    Picture p = Picture::make(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) p.setPixel(x, y, rgb(x * 4, y * 4, (x * y) & 255));
    }
    for (const int n : {2, 16, 256}) {
        const Quantizer q(p, n);
        EXPECT_EQ(q.count(), n);
        for (const Bgr c : q.table()) EXPECT_TRUE(c.r % 8 == 0 && c.g % 8 == 0 && c.b % 8 == 0);
    }
    Picture bits = Picture::make(8, 1, 1);
    bits.setBit(3, 0, true);
    const Quantizer q(bits, 256);
    ASSERT_EQ(q.count(), 2);
    EXPECT_EQ(q.table()[q.index(rgb(255, 255, 255))], rgb(248, 248, 248));
    EXPECT_EQ(Quantizer(Picture {}, 256).count(), 1);
}

} // namespace
} // namespace vextral::codecs
