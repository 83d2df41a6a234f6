#include "core/Icon.h"

#include <gtest/gtest.h>

using vextral::Icon;

TEST(Icon, MaskedPixelsShowTheBackgroundAndInvertIt)
{
    Icon icon;
    icon.colour[0] = 0x123456; // opaque
    icon.mask[1] = 1;          // transparent: AND 1, XOR black
    icon.colour[2] = 0xFFFFFF; // inverted: AND 1, XOR white
    icon.mask[2] = 1;
    EXPECT_EQ(icon.drawnOver(0, 0, 0x808080), 0x123456u);
    EXPECT_EQ(icon.drawnOver(1, 0, 0x808080), 0x808080u);
    EXPECT_EQ(icon.drawnOver(2, 0, 0x102030), 0xEFDFCFu);
    EXPECT_EQ(icon.drawnOver(2, 0, 0x000000), 0xFFFFFFu);
}

TEST(Icon, AlphaPixelsBlendWithTheBackground)
{
    Icon icon;
    icon.hasAlpha = true;
    icon.colour[0] = 0xFF0000FF;
    icon.colour[1] = 0x800000FF; // half-transparent blue
    icon.colour[2] = 0x00FFFFFF; // fully transparent
    const auto out = icon.drawOver(0xFFFFFF);
    EXPECT_EQ(out[0], 0x0000FFu);
    EXPECT_EQ(out[1], 0x7F7FFFu); // 255 * 127 / 255 rounds to 127
    EXPECT_EQ(out[2], 0xFFFFFFu);
    EXPECT_EQ(icon.drawOver(0)[1], 0x000080u);
}
