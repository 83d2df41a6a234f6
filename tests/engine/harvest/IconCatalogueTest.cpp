#include "harvest/IconCatalogue.h"
#include "harvest/IconQuery.h"

#include "platform/IconExtractor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace vextral;
using vextral::test::fixture;

namespace {

// An icon whose every pixel, mask bit and alpha byte differ from its
// neighbours', so a picture kept wrongly anywhere shows.
Icon noisyIcon(unsigned seed, bool hasAlpha)
{
    std::mt19937 random(seed);
    Icon icon;
    for (auto& c : icon.colour) c = static_cast<std::uint32_t>(random());
    for (auto& m : icon.mask) m = static_cast<std::uint8_t>(random() & 1u);
    icon.hasAlpha = hasAlpha;
    return icon;
}

// Adds every icon of a fixture the way a harvest does.
void addFile(IconCatalogue& catalogue, const std::string& name)
{
    const std::string path = fixture(name).string();
    const auto source = platform::IconSource::open(path);
    for (int k = 0; k < source.count(); ++k) catalogue.add(*source.icon(k), k, path, imageSummaries(source, k));
}

std::vector<int> shown(const IconCatalogue& c, const std::string& filter, IconOrder order = IconOrder::Harvest)
{
    return queryIcons(c, parseIconFilter(filter), order);
}

} // namespace

TEST(IconCatalogue, KeepsEveryPictureExactlyInLittleRoomAndGivesItBack)
{
    IconCatalogue catalogue;
    const int count = 3000;
    for (int i = 0; i < count; ++i) catalogue.add(noisyIcon(static_cast<unsigned>(i), i % 2 == 0), i, "/a/b.dll");
    for (int i = 0; i < count; i += 97) EXPECT_EQ(catalogue.image(i), noisyIcon(static_cast<unsigned>(i), i % 2 == 0));
    // Noise does not compress; real icons take about a fifth of their 5 KB.
    IconCatalogue real;
    for (int round = 0; round < 200; ++round) addFile(real, "icons32.dll");
    const auto perIcon = real.memoryBytes() / static_cast<std::size_t>(real.imageCount());
    EXPECT_LT(perIcon, 1500U) << real.imageCount() << " icons";
    EXPECT_EQ(real.image(1), *platform::IconSource::open(fixture("icons32.dll").string()).icon(1));

    real.release();
    EXPECT_EQ(real.itemCount(), 0);
    EXPECT_EQ(real.recordCount(), 0);
    EXPECT_LT(real.memoryBytes(), 4096U);
}

TEST(IconCatalogue, ReadsPicturesAgainWhenAskedNotToKeepThem)
{
    IconCatalogue catalogue(IconCatalogue::Pictures::ReadAgain);
    addFile(catalogue, "icons32.dll");
    addFile(catalogue, "multi.ico");
    const auto dll = platform::IconSource::open(fixture("icons32.dll").string());
    for (int k = 0; k < dll.count(); ++k) EXPECT_EQ(catalogue.image(k), *dll.icon(k)) << k;
    EXPECT_EQ(catalogue.image(dll.count()), *platform::IconSource::open(fixture("multi.ico").string()).icon(0));
    // Records and summaries only: a few hundred bytes an icon.
    for (int round = 0; round < 300; ++round) addFile(catalogue, "icons32.dll");
    EXPECT_LT(catalogue.memoryBytes() / static_cast<std::size_t>(catalogue.imageCount()), 300U);

    // A file that no longer holds the icon gives a transparent picture, not a failure.
    IconCatalogue gone(IconCatalogue::Pictures::ReadAgain);
    gone.add(noisyIcon(1, true), 0, "/nonexistent/file.ico");
    const Icon icon = gone.image(0);
    EXPECT_TRUE(std::all_of(icon.mask.begin(), icon.mask.end(), [](std::uint8_t m) { return m == 1; }));
    EXPECT_TRUE(std::all_of(icon.colour.begin(), icon.colour.end(), [](std::uint32_t c) { return c == 0; }));
}

TEST(IconCatalogue, SummarisesTheImagesOfEachIcon)
{
    IconCatalogue catalogue;
    addFile(catalogue, "multi.ico");
    const std::vector<IconImageSummary> want {{16, 16, 4, false, true},  {32, 32, 4, false, true},
                                              {32, 32, 8, false, true},  {32, 32, 32, false, true},
                                              {48, 48, 32, false, true}, {256, 256, 32, true, true}};
    EXPECT_EQ(catalogue.images(0), want);
    EXPECT_EQ(catalogue.imageListCount(0), 6);
    EXPECT_EQ(catalogue.largestSide(0), 256);

    // An icon that lists nothing readable counts as its 32 x 32 picture.
    catalogue.add(Icon {}, 0, "/x.ico", {{64, 64, 32, false, false}});
    EXPECT_EQ(catalogue.largestSide(1), 32);
    // A run that starts over replaces summaries with the new icon's.
    catalogue.clearItems();
    catalogue.clearImages();
    addFile(catalogue, "only48.ico");
    EXPECT_EQ(catalogue.images(0), (std::vector<IconImageSummary> {{48, 48, 8, false, true}}));
    EXPECT_EQ(catalogue.imageCount(), 1);
}

TEST(IconQuery, FiltersByPathSizeAndDepth)
{
    IconCatalogue c;
    addFile(c, "multi.ico");    // 0: 16..256, 4 to 32 bits
    addFile(c, "only48.ico");   // 1: 48 x 48 x 8
    addFile(c, "single24.ico"); // 2: 32 x 32 x 24
    addFile(c, "tie.ico");      // 3: 24 and 40, 32 bits
    EXPECT_EQ(shown(c, ""), (std::vector<int> {0, 1, 2, 3}));
    EXPECT_EQ(shown(c, "has 48"), (std::vector<int> {0, 1}));
    EXPECT_EQ(shown(c, "HAS 256"), (std::vector<int> {0}));
    EXPECT_EQ(shown(c, "32-bit"), (std::vector<int> {0, 3}));
    EXPECT_EQ(shown(c, "8bit has 48"), (std::vector<int> {0, 1}));
    // Words are looked for in the whole path, letter case ignored.
    EXPECT_EQ(shown(c, "ONLY"), (std::vector<int> {1}));
    EXPECT_EQ(shown(c, "fixtures .ico"), (std::vector<int> {0, 1, 2, 3}));
    EXPECT_EQ(shown(c, "single has 48"), (std::vector<int> {}));
    // "has" without a number, and numbers that are no depth, are words.
    EXPECT_EQ(parseIconFilter("has").words, (std::vector<std::string> {"has"}));
    EXPECT_EQ(parseIconFilter("has x 0-bit 99999-bit").words,
              (std::vector<std::string> {"has", "x", "0-bit", "99999-bit"}));
    EXPECT_EQ(parseIconFilter("has 99999999999").sides, (std::vector<int> {}));
    // A filter never reads past the catalogue.
    EXPECT_FALSE(iconMatches(c, 4, IconFilter {}));
    EXPECT_FALSE(iconMatches(c, -1, IconFilter {}));
}

TEST(IconQuery, SortsBySourceAndLargestImageKeepingHarvestOrderAmongEquals)
{
    IconCatalogue c;
    addFile(c, "tie.ico");     // 0: largest 40
    addFile(c, "Multi.ico");   // absent: no such file, adds nothing
    addFile(c, "multi.ico");   // 1: largest 256
    addFile(c, "only48.ico");  // 2: 48
    addFile(c, "icons32.dll"); // 3..: several icons of one file
    const int dllIcons = c.itemCount() - 3;
    ASSERT_GT(dllIcons, 1);

    const std::vector<int> bySource = shown(c, "", IconOrder::SourceFile);
    std::vector<int> want(static_cast<std::size_t>(dllIcons));
    for (int k = 0; k < dllIcons; ++k) want[static_cast<std::size_t>(k)] = 3 + k;
    want.insert(want.end(), {1, 2, 0});
    EXPECT_EQ(bySource, want);

    const std::vector<int> byLargest = shown(c, "", IconOrder::LargestImage);
    EXPECT_EQ(byLargest.front(), 1);
    for (std::size_t k = 1; k < byLargest.size(); ++k)
        EXPECT_GE(c.largestSide(byLargest[k - 1]), c.largestSide(byLargest[k]));

    // Growing in harvest order: only the new icons are looked at.
    std::vector<int> growing = shown(c, "has 48");
    const std::size_t before = growing.size();
    addFile(c, "only48.ico");
    appendMatchingIcons(c, parseIconFilter("has 48"), c.itemCount() - 1, growing);
    EXPECT_EQ(growing.size(), before + 1);
    EXPECT_EQ(growing.back(), c.itemCount() - 1);
}
