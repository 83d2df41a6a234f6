// The colour quantiser: pictures of few colours keep them exactly; other
// pictures on boxes, cuts and box means worked out by hand.
#include "codecs/Quantizer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

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
    EXPECT_TRUE(q.exact());
    EXPECT_EQ(q.table()[0], rgb(100, 150, 203));
    EXPECT_EQ(q.index(rgb(100, 150, 203)), 0);
    EXPECT_EQ(q.index(rgb(255, 0, 0)), 0);
    EXPECT_EQ(q.index(rgb(0, 0, 0)), 0);
    // Entries past the colours found are black.
    const auto padded = q.paddedTable(4);
    ASSERT_EQ(padded.size(), 4u);
    EXPECT_EQ(padded[0], rgb(100, 150, 203));
    EXPECT_EQ(padded[3], rgb(0, 0, 0));
}

TEST(Quantizer, FortyColourIconOverWhiteKeepsItsColoursExactly)
{
    // 40 colours in 40 histogram cells, 8 pixels each, the rest white.
    std::vector<Bgr> colours;
    for (int i = 0; i < 40; ++i) colours.push_back(rgb((i * 53 + 17) % 256, (i * 101 + 3) % 256, (i * 29 + 200) % 256));
    Picture p = Picture::make(32, 32);
    for (int i = 0; i < 1024; ++i)
        p.setPixel(i % 32, i / 32, i / 8 < 40 ? colours[static_cast<std::size_t>(i / 8)] : rgb(255, 255, 255));
    const Quantizer q(p, 256);
    // 41 colours of at most 256: the table is those colours, in the order met.
    ASSERT_EQ(q.count(), 41);
    EXPECT_TRUE(q.exact());
    colours.push_back(rgb(255, 255, 255));
    for (std::size_t i = 0; i < colours.size(); ++i) {
        EXPECT_EQ(q.table()[i], colours[i]) << i;
        EXPECT_EQ(q.index(colours[i]), i) << i;
    }
    EXPECT_EQ(q.table()[q.index(rgb(255, 255, 255))], rgb(255, 255, 255));
}

TEST(Quantizer, UpToNColoursAreKeptEvenWhenTheyShareACell)
{
    // Colours a step or two apart share their 5-bit cells; 16 of them in 16
    // entries are all kept, and each maps to itself.
    std::vector<Bgr> colours;
    for (int i = 0; i < 8; ++i) colours.push_back(rgb(i, i, i));
    for (int i = 0; i < 8; ++i) colours.push_back(rgb(255 - i, 255, 255 - 2 * i));
    const Picture p = pictureOf(colours);
    const Quantizer q(p, 16);
    ASSERT_EQ(q.count(), 16);
    EXPECT_TRUE(q.exact());
    for (const Bgr c : colours) EXPECT_EQ(q.table()[q.index(c)], c) << c.rgb();
    // A colour the picture does not have gets the nearest entry.
    EXPECT_EQ(q.table()[q.index(rgb(250, 250, 250))], rgb(252, 255, 249));
    EXPECT_EQ(q.table()[q.index(rgb(4, 5, 9))], rgb(5, 5, 5));
    // One colour more than entries: boxes over the cells again, one for
    // each of the three occupied cells.
    const Quantizer fewer(p, 15);
    EXPECT_FALSE(fewer.exact());
    EXPECT_EQ(fewer.count(), 3);
}

TEST(Quantizer, ABoxIsTheMeanOfItsPixels)
{
    // Four dark colours in cell (0, 0, 0) and white, two boxes for five
    // colours: the dark box is the mean of its four pixels, red 13 / 4 =
    // 3.25, green 19 / 4 = 4.75, blue 19 / 4 = 4.75.
    const Quantizer q(pictureOf({rgb(1, 2, 3), rgb(255, 255, 255), rgb(5, 6, 7), rgb(7, 7, 7), rgb(255, 255, 255),
                                 rgb(0, 4, 2), rgb(255, 255, 255), rgb(255, 255, 255)}),
                      2);
    ASSERT_EQ(q.count(), 2);
    EXPECT_FALSE(q.exact());
    EXPECT_EQ(q.table()[q.index(rgb(1, 2, 3))], rgb(3, 5, 5));
    EXPECT_EQ(q.table()[q.index(rgb(255, 255, 255))], rgb(255, 255, 255));

    // Many colours: 4096 into 256 boxes. Every pixel lies in the box it maps
    // to, so each entry is the rounded mean of the pixels mapped to it.
    Picture p = Picture::make(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) p.setPixel(x, y, rgb(x * 4 + y % 4, y * 4 + x % 3, (x * y) & 255));
    }
    const Quantizer many(p, 256);
    ASSERT_EQ(many.count(), 256);
    EXPECT_FALSE(many.exact());
    std::vector<std::array<double, 4>> sums(256, {0, 0, 0, 0});
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const Bgr c = p.pixel(x, y);
            auto& s = sums[many.index(c)];
            s[0] += c.r;
            s[1] += c.g;
            s[2] += c.b;
            s[3] += 1;
        }
    }
    int offTheBins = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        const auto& s = sums[i];
        ASSERT_GT(s[3], 0) << i;
        const Bgr t = many.table()[i];
        EXPECT_LE(std::abs(t.r - s[0] / s[3]), 0.5) << i;
        EXPECT_LE(std::abs(t.g - s[1] / s[3]), 0.5) << i;
        EXPECT_LE(std::abs(t.b - s[2] / s[3]), 0.5) << i;
        offTheBins += t.r % 8 != 0 || t.g % 8 != 0 || t.b % 8 != 0;
    }
    EXPECT_GT(offTheBins, 128) << "means, not multiples of 8";
}

TEST(Quantizer, CellsOutsideEveryBoxMapToZero)
{
    // Two black pixels, one almost black and one white into two boxes: the
    // cut isolates the two corner cells.
    const Quantizer q(pictureOf({rgb(0, 0, 0), rgb(0, 0, 0), rgb(1, 1, 1), rgb(255, 255, 255)}), 2);
    ASSERT_EQ(q.count(), 2);
    EXPECT_EQ(q.table()[0], rgb(0, 0, 0)); // 1 / 3 rounds to 0
    EXPECT_EQ(q.table()[1], rgb(255, 255, 255));
    EXPECT_EQ(q.index(rgb(250, 251, 252)), 1);
    EXPECT_EQ(q.index(rgb(128, 128, 128)), 0);
    EXPECT_EQ(q.index(rgb(255, 255, 0)), 0);
}

TEST(Quantizer, MeansRoundHalvesToEven)
{
    // Red 16 and 17 average 16.5, which rounds to 16; 17 and 18 to 18.
    const Quantizer q(pictureOf({rgb(16, 0, 0), rgb(17, 0, 0)}), 1);
    ASSERT_EQ(q.count(), 1);
    EXPECT_EQ(q.table()[0], rgb(16, 0, 0));
    EXPECT_EQ(Quantizer(pictureOf({rgb(17, 0, 0), rgb(18, 0, 0)}), 1).table()[0], rgb(18, 0, 0));
}

TEST(Quantizer, CutSearchStartsAtTheEvenRoundedMidpoint)
{
    // Red bins 2 (three pixels), 9 and 10: mean 5, so the search starts at
    // Round(2.5) = 2, where the best cut leaves bin 2 alone. Starting at 3
    // would have put bin 9 with bin 2.
    const Quantizer q(pictureOf({rgb(80, 0, 0), rgb(72, 0, 0), rgb(16, 0, 0), rgb(16, 0, 0), rgb(16, 0, 0)}), 2);
    ASSERT_EQ(q.count(), 2);
    EXPECT_EQ(q.table()[0], rgb(16, 0, 0));
    EXPECT_EQ(q.table()[1], rgb(76, 0, 0)); // the mean of 80 and 72
    EXPECT_EQ(q.index(rgb(72, 0, 0)), 1);
}

TEST(Quantizer, RedWinsATieWithGreen)
{
    // Four corners of the red-green square: cutting red or green scores the
    // same; red is taken, so the halves differ in red.
    const Quantizer q(pictureOf({rgb(0, 0, 0), rgb(0, 248, 0), rgb(248, 0, 0), rgb(248, 248, 0)}), 2);
    ASSERT_EQ(q.count(), 2);
    EXPECT_EQ(q.table()[0], rgb(0, 124, 0));
    EXPECT_EQ(q.table()[1], rgb(248, 124, 0));
}

TEST(Quantizer, NeverMoreThanAskedAndOneBitPicturesWork)
{
    Picture p = Picture::make(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) p.setPixel(x, y, rgb(x * 4, y * 4, (x * y) & 255));
    }
    for (const int n : {2, 16, 256}) EXPECT_EQ(Quantizer(p, n).count(), n);
    Picture bits = Picture::make(8, 1, 1);
    bits.setBit(3, 0, true);
    const Quantizer q(bits, 256);
    ASSERT_EQ(q.count(), 2);
    EXPECT_EQ(q.table()[q.index(rgb(255, 255, 255))], rgb(255, 255, 255));
    EXPECT_EQ(q.table()[q.index(rgb(0, 0, 0))], rgb(0, 0, 0));
    EXPECT_EQ(Quantizer(Picture {}, 256).count(), 1);
}

} // namespace
} // namespace vextral::codecs
