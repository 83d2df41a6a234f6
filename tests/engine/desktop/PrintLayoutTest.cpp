#include "desktop/PrintLayout.h"

#include "core/Error.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace vextral;
using namespace vextral::desktop;

namespace {

SheetValues page(std::int64_t width, std::int64_t height)
{
    SheetValues v;
    v.pageWidth = width;
    v.pageHeight = height;
    return v;
}

std::string refusal(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(accepted)";
}

} // namespace

TEST(PrintLayout, FortyIconsWithTheStartValuesOnAWidePage)
{
    const auto placed = layOutSheet(allIcons(40), page(4800, 6000));
    ASSERT_EQ(placed.size(), 40u);
    // Row one: 17 icons (columns value 16 plus one), 115 apart.
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(placed[i].index, i);
        EXPECT_EQ(placed[i].page, 0);
        EXPECT_EQ(placed[i].rect, (SheetRect {16 + 115 * i, 16, 116 + 115 * i, 116})) << i;
    }
    EXPECT_EQ(placed[1].rect.left, 131);
    EXPECT_EQ(placed[2].rect.left, 246);
    // Row two right below, row three ends the forty with six icons.
    for (int i = 17; i < 34; ++i)
        EXPECT_EQ(placed[i].rect, (SheetRect {16 + 115 * (i - 17), 116, 116 + 115 * (i - 17), 216})) << i;
    for (int i = 34; i < 40; ++i)
        EXPECT_EQ(placed[i].rect, (SheetRect {16 + 115 * (i - 34), 216, 116 + 115 * (i - 34), 316})) << i;
}

TEST(PrintLayout, ARangeCountsFromOne)
{
    const auto placed = layOutSheet(iconRange(3, 5, 10), page(4800, 6000));
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0].index, 2);
    EXPECT_EQ(placed[1].index, 3);
    EXPECT_EQ(placed[2].index, 4);
    EXPECT_EQ(placed[0].rect, (SheetRect {16, 16, 116, 116}));
    EXPECT_EQ(placed[2].rect, (SheetRect {246, 16, 346, 116}));
}

TEST(PrintLayout, ColumnsValueZeroPrintsOneIconARow)
{
    SheetValues v = page(4800, 6000);
    v.columns = 0;
    const auto placed = layOutSheet(allIcons(4), v);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(placed[i].rect, (SheetRect {16, 16 + 100 * i, 116, 116 + 100 * i})) << i;
}

TEST(PrintLayout, TheRightEdgeEndsARow)
{
    const auto placed = layOutSheet(allIcons(20), page(1000, 6000));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(placed[i].rect.top, 16) << i;
    EXPECT_EQ(placed[7].rect.right, 921);
    EXPECT_EQ(placed[8].rect, (SheetRect {16, 116, 116, 216}));
    EXPECT_EQ(placed[16].rect.top, 216);
}

TEST(PrintLayout, EveryPageStartsAtTopPadding)
{
    // 450 high: rows at 16, 116, 216 (216 + 100 + 15 + 100 = 431 fits), 316
    // (316 + 100 + 15 + 100 > 450): four rows a page.
    SheetValues v = page(1000, 450);
    v.topPadding = 30;
    const auto placed = layOutSheet(allIcons(8 * 9), v);
    const std::int64_t tops[] = {30, 130, 230, 330};
    for (const PlacedIcon& p : placed) {
        const int row = (p.index / 8) % 4;
        EXPECT_EQ(p.page, p.index / 32) << p.index;
        EXPECT_EQ(p.rect.top, tops[row]) << p.index;
    }
    EXPECT_EQ(placed.back().page, 2);
    EXPECT_EQ(placed[32].rect, (SheetRect {16, 30, 116, 130}));
}

TEST(PrintLayout, EmptyBackwardsOrOverlongRangesAreRefused)
{
    EXPECT_EQ(refusal([] { allIcons(0); }), "No icon.");
    EXPECT_EQ(refusal([] { iconRange(5, 4, 10); }), "No icon.");
    EXPECT_EQ(refusal([] { iconRange(0, 4, 10); }), "No icon.");
    EXPECT_EQ(refusal([] { iconRange(-3, 4, 10); }), "No icon.");
    EXPECT_EQ(refusal([] { iconRange(9, 11, 10); }), "No icon.");
    EXPECT_EQ(refusal([] { SheetLayout({3, 3, {}}, SheetValues {}); }), "No icon.");
    EXPECT_EQ(refusal([] { iconRange(10, 10, 10); }), "(accepted)");
}

TEST(PrintLayout, OddValuesNeverHang)
{
    SheetValues v = page(0, 0);
    v.iconWidth = -50;
    v.iconHeight = 2147483647;
    v.columns = -1;
    const auto placed = layOutSheet(allIcons(1000), v);
    ASSERT_EQ(placed.size(), 1000u);
    EXPECT_EQ(placed.back().page, 999);
}

TEST(PrintLayout, ChosenIconsArePlacedInTheirOrderAndOnlyThoseOfTheCatalogue)
{
    const PrintRange range = chosenIcons({7, 2, 10, -1, 5}, 10);
    SheetLayout layout(range, page(4800, 6000));
    EXPECT_EQ(layout.total(), 3);
    const auto placed = layOutSheet(range, page(4800, 6000));
    ASSERT_EQ(placed.size(), 3u);
    const int indexes[] = {7, 2, 5};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(placed[i].index, indexes[i]) << i;
        EXPECT_EQ(placed[i].rect, (SheetRect {16 + 115 * i, 16, 116 + 115 * i, 116})) << i;
    }
    // A row still ends at the right edge, and pages follow, with a list.
    const auto narrow = layOutSheet(chosenIcons({9, 8, 7, 6, 5, 4, 3, 2, 1}, 10), page(1000, 6000));
    EXPECT_EQ(narrow[8].index, 1);
    EXPECT_EQ(narrow[8].rect, (SheetRect {16, 116, 116, 216}));

    // Nothing chosen, or nothing of the catalogue: refused as an empty range is.
    EXPECT_EQ(refusal([] { chosenIcons({}, 10); }), "No icon.");
    EXPECT_EQ(refusal([] { chosenIcons({10, -1, 2147483647}, 10); }), "No icon.");
    EXPECT_EQ(refusal([] { chosenIcons({0}, 0); }), "No icon.");
    EXPECT_EQ(refusal([] { chosenIcons({9}, 10); }), "(accepted)");
}
