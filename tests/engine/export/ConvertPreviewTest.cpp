#include "export/ConvertPreview.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

using namespace vextral;
using vextral::codecs::Bgr;
using vextral::codecs::Picture;
using vextral::exporting::boxRescale;
using vextral::exporting::makePreview;
using vextral::exporting::PreviewSize;
using vextral::exporting::previewSize;

namespace {

// A grey picture of one row per list, each value a pixel's blue, green and red.
Picture grey(std::initializer_list<std::initializer_list<int>> rows)
{
    Picture p = Picture::make(static_cast<int>(rows.begin()->size()), static_cast<int>(rows.size()));
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (int v : row) {
            const auto c = static_cast<std::uint8_t>(v);
            p.setPixel(x++, y, Bgr {c, c, c});
        }
        ++y;
    }
    return p;
}

std::vector<std::vector<int>> values(const Picture& p)
{
    std::vector<std::vector<int>> out;
    for (int y = 0; y < p.height; ++y) {
        out.emplace_back();
        for (int x = 0; x < p.width; ++x) {
            const Bgr c = p.pixel(x, y);
            EXPECT_TRUE(c.b == c.g && c.g == c.r) << x << "," << y;
            out.back().push_back(c.b);
        }
    }
    return out;
}

using Rows = std::vector<std::vector<int>>;

} // namespace

TEST(ConvertPreview, SizeFitsTheBoxByHeightFirstRoundingHalvesToEven)
{
    EXPECT_EQ(previewSize(100, 50), (PreviewSize {100, 50}));   // small pictures keep their size
    EXPECT_EQ(previewSize(233, 233), (PreviewSize {233, 233})); // the box itself is not too large
    EXPECT_EQ(previewSize(466, 233), (PreviewSize {233, 116})); // 116.5 goes down to the even 116
    EXPECT_EQ(previewSize(466, 300), (PreviewSize {362, 233})); // by height first: wider than the box
    EXPECT_EQ(previewSize(234, 100), (PreviewSize {233, 100})); // 99.57
    EXPECT_EQ(previewSize(3, 466), (PreviewSize {2, 233}));     // 1.5 goes up to the even 2
    EXPECT_EQ(previewSize(5, 466), (PreviewSize {2, 233}));     // 2.5 goes down
    EXPECT_EQ(previewSize(100, 234), (PreviewSize {100, 233})); // 99.57
    // A side that would round to nothing keeps one pixel.
    EXPECT_EQ(previewSize(1, 466), (PreviewSize {1, 233}));
    EXPECT_EQ(previewSize(16384, 1), (PreviewSize {233, 1}));
    EXPECT_EQ(previewSize(0, 10), (PreviewSize {}));
}

TEST(ConvertPreview, BoxRescaleAveragesWhatEachBoxCoversInTwoRoundedPasses)
{
    // Halving: each target is the mean of two, halves to the even neighbour.
    EXPECT_EQ(values(boxRescale(grey({{1, 2, 3, 4, 2, 3, 7, 7}}), 4, 1)), (Rows {{2, 4, 2, 7}}));
    // A third of a pixel's box on a seam: 3 -> 2 takes 2/3 + 1/3 of its neighbours.
    EXPECT_EQ(values(boxRescale(grey({{0, 30, 90}}), 2, 1)), (Rows {{10, 70}}));
    EXPECT_EQ(values(boxRescale(grey({{0}, {30}, {90}}), 1, 2)), (Rows {{10}, {70}}));
    // Along the rows first, rounded, then down the columns: 1.5 and 3.5 become
    // 2 and 4, whose mean is 3 (the exact mean of the four, 2.5, would give 2).
    EXPECT_EQ(values(boxRescale(grey({{1, 2}, {3, 4}}), 1, 1)), (Rows {{3}}));
    EXPECT_EQ(values(boxRescale(grey({{0, 1}, {2, 3}}), 1, 1)), (Rows {{1}}));
    // Enlarging repeats pixels, and blends them on a seam.
    EXPECT_EQ(values(boxRescale(grey({{10, 20}}), 4, 1)), (Rows {{10, 10, 20, 20}}));
    EXPECT_EQ(values(boxRescale(grey({{10, 21}}), 3, 1)), (Rows {{10, 16, 21}})); // 15.5 goes up to 16
    // Colours are averaged each on its own.
    Picture two = Picture::make(2, 1);
    two.setPixel(0, 0, {0, 100, 255});
    two.setPixel(1, 0, {255, 101, 0});
    const Picture one = boxRescale(two, 1, 1);
    EXPECT_EQ(one.pixel(0, 0), (Bgr {128, 100, 128})); // 127.5, 100.5 and 127.5
    // The same size is a copy; no size is no picture.
    EXPECT_EQ(boxRescale(two, 2, 1).pixels, two.pixels);
    EXPECT_TRUE(boxRescale(two, 0, 1).empty());
}

TEST(ConvertPreview, PreviewIsTheTwentyFourBitPictureAtItsPreviewSize)
{
    // 466 x 233: columns 2k and 2k + 1 average to 233 columns, rows likewise to 116.
    Picture big = Picture::make(466, 233);
    for (int y = 0; y < big.height; ++y) {
        for (int x = 0; x < big.width; ++x) big.setPixel(x, y, {static_cast<std::uint8_t>(x / 2), 0, 200});
    }
    const Picture preview = makePreview(big);
    EXPECT_EQ(preview.width, 233);
    EXPECT_EQ(preview.height, 116);
    EXPECT_EQ(preview.bits, 24);
    EXPECT_EQ(preview.pixel(0, 0), (Bgr {0, 0, 200}));
    EXPECT_EQ(preview.pixel(100, 57), (Bgr {100, 0, 200}));
    EXPECT_EQ(preview.pixel(232, 115), (Bgr {232, 0, 200}));

    // A small 1-bit picture keeps its size and becomes black and white in 24 bits.
    Picture bits = Picture::make(9, 2, 1);
    bits.setBit(3, 1, true);
    const Picture shown = makePreview(bits);
    EXPECT_EQ(shown.bits, 24);
    EXPECT_EQ(shown.width, 9);
    EXPECT_EQ(shown.height, 2);
    EXPECT_EQ(shown.pixel(3, 1), (Bgr {255, 255, 255}));
    EXPECT_EQ(shown.pixel(3, 0), (Bgr {0, 0, 0}));

    // 466 x 300 comes out 362 x 233, wider than the box.
    const Picture tall = makePreview(Picture::make(466, 300));
    EXPECT_EQ(tall.width, 362);
    EXPECT_EQ(tall.height, 233);
    EXPECT_TRUE(makePreview(Picture {}).empty());
}
