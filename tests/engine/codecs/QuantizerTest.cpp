// The colour quantiser: pictures of few colours keep them exactly; other
// pictures on boxes, cuts and means worked out by hand, mapped to their
// nearest entries, and what the GIF writer keeps of them.
#include "codecs/Quantizer.h"
#include "codecs/GifReader.h"
#include "codecs/Writers.h"

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
    // One colour more than entries: the colours are reduced at their own
    // precision, not by cells, so the 16 close colours still get 15 entries,
    // and each colour is at most a step a channel from its own.
    const Quantizer fewer(p, 15);
    EXPECT_FALSE(fewer.exact());
    EXPECT_EQ(fewer.count(), 15);
    for (const Bgr c : colours) {
        const Bgr t = fewer.table()[fewer.index(c)];
        EXPECT_LE(std::abs(t.r - c.r) + std::abs(t.g - c.g) + std::abs(t.b - c.b), 3) << c.rgb();
    }
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

    // Many colours: 4096 into 256 entries. The refinement moves each entry
    // to the mean of the pixels nearest it, a round at a time; the rounds stop
    // before the last pixels on a border settle, and rounding the entries
    // moves a few more, so an entry is within a few steps of the mean of the
    // pixels mapped to it.
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
        EXPECT_LE(std::abs(t.r - s[0] / s[3]), 3.0) << i;
        EXPECT_LE(std::abs(t.g - s[1] / s[3]), 3.0) << i;
        EXPECT_LE(std::abs(t.b - s[2] / s[3]), 3.0) << i;
        offTheBins += t.r % 8 != 0 || t.g % 8 != 0 || t.b % 8 != 0;
    }
    EXPECT_GT(offTheBins, 128) << "means, not multiples of 8";
}

TEST(Quantizer, ColoursMapToTheirNearestEntry)
{
    // Two black pixels, one almost black and one white into two entries;
    // any colour, of the picture or not, gets the entry nearest to it.
    const Quantizer q(pictureOf({rgb(0, 0, 0), rgb(0, 0, 0), rgb(1, 1, 1), rgb(255, 255, 255)}), 2);
    ASSERT_EQ(q.count(), 2);
    EXPECT_EQ(q.table()[0], rgb(0, 0, 0)); // 1 / 3 rounds to 0
    EXPECT_EQ(q.table()[1], rgb(255, 255, 255));
    EXPECT_EQ(q.index(rgb(250, 251, 252)), 1);
    EXPECT_EQ(q.index(rgb(128, 128, 128)), 1);
    EXPECT_EQ(q.index(rgb(127, 127, 127)), 0);
    EXPECT_EQ(q.index(rgb(255, 255, 0)), 1);

    // Every colour of a picture of many colours, and every colour of a
    // coarse grid over the whole cube, maps to its nearest entry by squared
    // distance (the first of equals).
    Picture p = Picture::make(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) p.setPixel(x, y, rgb(x * 4 + y % 4, y * 4 + x % 3, (x * y) & 255));
    }
    const Quantizer many(p, 256);
    ASSERT_FALSE(many.exact());
    const auto nearest = [&many](Bgr c) {
        int best = 0, bestDistance = 1 << 30;
        for (int i = 0; i < many.count(); ++i) {
            const Bgr t = many.table()[static_cast<std::size_t>(i)];
            const int d = (t.r - c.r) * (t.r - c.r) + (t.g - c.g) * (t.g - c.g) + (t.b - c.b) * (t.b - c.b);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        return best;
    };
    int wrong = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) wrong += many.index(p.pixel(x, y)) != nearest(p.pixel(x, y));
    }
    for (int r = 0; r < 256; r += 15) {
        for (int g = 0; g < 256; g += 15) {
            for (int b = 0; b < 256; b += 15) wrong += many.index(rgb(r, g, b)) != nearest(rgb(r, g, b));
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(Quantizer, MeansRoundHalvesToEven)
{
    // Red 16 and 17 average 16.5, which rounds to 16; 17 and 18 to 18.
    const Quantizer q(pictureOf({rgb(16, 0, 0), rgb(17, 0, 0)}), 1);
    ASSERT_EQ(q.count(), 1);
    EXPECT_EQ(q.table()[0], rgb(16, 0, 0));
    EXPECT_EQ(Quantizer(pictureOf({rgb(17, 0, 0), rgb(18, 0, 0)}), 1).table()[0], rgb(18, 0, 0));
}

TEST(Quantizer, TheCutLeavesTheLeastSquaredError)
{
    // Red 16 (three pixels), 72 and 80: cut between 16 and 72 the halves'
    // errors add to 2 x 4^2 = 32; between 72 and 80 to 3 x 14^2 + 42^2 = 2352.
    const Quantizer q(pictureOf({rgb(80, 0, 0), rgb(72, 0, 0), rgb(16, 0, 0), rgb(16, 0, 0), rgb(16, 0, 0)}), 2);
    ASSERT_EQ(q.count(), 2);
    EXPECT_EQ(q.table()[0], rgb(16, 0, 0));
    EXPECT_EQ(q.table()[1], rgb(76, 0, 0)); // the mean of 80 and 72
    EXPECT_EQ(q.index(rgb(72, 0, 0)), 1);
}

TEST(Quantizer, RedWinsATieWithGreen)
{
    // Four corners of the red-green square: cutting red or green leaves the
    // same error; red is taken, so the halves differ in red.
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

// The PSNR (peak 255) of b against a, both 24-bit of one size.
double psnr(const Picture& a, const Picture& b)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        const double d = static_cast<double>(a.pixels[i]) - b.pixels[i];
        sum += d * d;
    }
    return sum == 0 ? 100 : 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.pixels.size()) / sum);
}

Picture throughGif(const Picture& p)
{
    ImageBuffer buffer;
    buffer.picture() = p;
    MemorySink sink;
    writeGif(buffer, sink);
    ImageBuffer back;
    EXPECT_TRUE(readGif(back, sink.bytes()).ok());
    return to24Bit(back.picture());
}

TEST(GifColours, PicturesOfAtMost256ColoursComeBackExactly)
{
    // 256 colours spread over the cube, and 200 colours a step apart.
    Picture spread = Picture::make(16, 16);
    Picture close = Picture::make(20, 10);
    for (int i = 0; i < 256; ++i) spread.setPixel(i % 16, i / 16, rgb((i * 37) & 255, (i * 101) & 255, (i * 7) & 255));
    for (int i = 0; i < 200; ++i) close.setPixel(i % 20, i / 20, rgb(100 + i % 7, 100 + i / 7 % 5, 100 + i / 35));
    for (const Picture* p : {&spread, &close}) {
        const Picture back = throughGif(*p);
        ASSERT_EQ(back.width, p->width);
        EXPECT_EQ(back.pixels, p->pixels);
    }
}

TEST(GifColours, AGradientKeepsItsDetail)
{
    // 16384 colours of a smooth gradient into 256: 34.2 dB when the colours
    // were cut by cells of 5 bits a channel and mapped by cell, 36.0 dB at
    // their own precision, mapped to the nearest entry.
    Picture p = Picture::make(128, 128);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) p.setPixel(x, y, rgb(2 * x, 2 * y, 255 - x - y / 2));
    }
    const Picture back = throughGif(p);
    ASSERT_EQ(back.width, 128);
    EXPECT_GT(psnr(p, back), 35.5);
}

} // namespace
} // namespace vextral::codecs
