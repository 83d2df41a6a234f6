#include "codecs/AreaScaler.h"

#include <gtest/gtest.h>

using vextral::codecs::AreaScaler;

namespace {

std::vector<double> scale(int sw, int sh, int dw, int dh, const std::vector<double>& src)
{
    AreaScaler s(sw, sh, dw, dh, 1);
    for (int y = 0; y < sh; ++y) s.addRow(y, src.data() + y * sw);
    return s.result();
}

} // namespace

TEST(AreaScaler, SameSizeKeepsEveryValueExactly)
{
    std::vector<double> src(9);
    for (int i = 0; i < 9; ++i) src[i] = i * 31;
    EXPECT_EQ(scale(3, 3, 3, 3, src), src);
}

TEST(AreaScaler, ShrinkingAveragesBlocksAndEnlargingRepeats)
{
    // 4 x 2 to 2 x 1: each output is the mean of a 2 x 2 block.
    EXPECT_EQ(scale(4, 2, 2, 1, {0, 4, 8, 8, 2, 6, 8, 8}), (std::vector<double> {3, 8}));
    // 2 x 1 to 4 x 2: every source pixel covers a 2 x 2 block.
    EXPECT_EQ(scale(2, 1, 4, 2, {5, 9}), (std::vector<double> {5, 5, 9, 9, 5, 5, 9, 9}));
}

TEST(AreaScaler, OddRatiosWeighTheOverlap)
{
    // 3 to 2: output 0 covers source 0 and half of source 1.
    const auto r = scale(3, 1, 2, 1, {0, 30, 90});
    EXPECT_DOUBLE_EQ(r[0], (0 * 1.0 + 30 * 0.5) / 1.5);
    EXPECT_DOUBLE_EQ(r[1], (30 * 0.5 + 90 * 1.0) / 1.5);
    // A constant picture stays constant whatever the sizes.
    const auto c = scale(7, 5, 32, 32, std::vector<double>(35, 200));
    for (double v : c) EXPECT_NEAR(v, 200, 1e-9);
    const auto d = scale(256, 3, 32, 2, std::vector<double>(768, 17));
    for (double v : d) EXPECT_NEAR(v, 17, 1e-9);
}
