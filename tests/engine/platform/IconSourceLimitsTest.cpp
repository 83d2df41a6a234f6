// The bounds an icon source keeps (ReaderLimits): its resource tables and its
// decoding budget. A lowered field refuses what the defaults read.
#include "platform/IconExtractor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace vextral::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes fixtureBytes(const char* name) { return test::readBytes(test::fixture(name)); }

TEST(IconSourceLimits, PeDirectoryEntries)
{
    const Bytes dll = fixtureBytes("icons32.dll");
    EXPECT_EQ(IconSource::fromBytes(dll).count(), 4);
    ReaderLimits low;
    low.peDirectoryEntries = 2;
    const IconSource limited = IconSource::fromBytes(dll, low);
    ASSERT_EQ(limited.count(), 2);
    EXPECT_EQ(limited.label(0), "APPICON");
    EXPECT_EQ(limited.label(1), "#1");
}

TEST(IconSourceLimits, NeResources)
{
    const Bytes icl = fixtureBytes("library.icl");
    const IconSource whole = IconSource::fromBytes(icl);
    ASSERT_EQ(whole.count(), 3);
    ASSERT_TRUE(whole.icon(0).has_value());
    ReaderLimits low;
    low.neResources = 1; // the images' table comes first: no group is reached
    EXPECT_EQ(IconSource::fromBytes(icl, low).count(), 0);
}

TEST(IconSourceLimits, DecodeBudget)
{
    const Bytes ico = fixtureBytes("multi.ico");
    ASSERT_TRUE(IconSource::fromBytes(ico).icon(0).has_value());
    ReaderLimits none;
    none.decodeBytesPerFileByte = 0;
    none.decodeAllowanceBytes = 0;
    EXPECT_FALSE(IconSource::fromBytes(ico, none).icon(0).has_value());
    // Either part of the budget alone is enough for one decode.
    ReaderLimits perByte = none;
    perByte.decodeBytesPerFileByte = 1;
    EXPECT_TRUE(IconSource::fromBytes(ico, perByte).icon(0).has_value());
    ReaderLimits allowance = none;
    allowance.decodeAllowanceBytes = ico.size();
    EXPECT_TRUE(IconSource::fromBytes(ico, allowance).icon(0).has_value());
}

TEST(IconSourceLimits, DecodePixels)
{
    // multi.ico: 16, three 32, 48 and 256 (PNG) pixels a side.
    const Bytes ico = fixtureBytes("multi.ico");
    const auto whole = IconSource::fromBytes(ico);
    ASSERT_TRUE(whole.icon(0).has_value());
    ASSERT_TRUE(whole.imagePicture(0, 5).has_value());
    ReaderLimits none;
    none.decodePixelsPerFileByte = 0;
    none.decodePixelsAllowance = 0;
    const IconSource starved = IconSource::fromBytes(ico, none);
    EXPECT_FALSE(starved.icon(0).has_value());
    EXPECT_FALSE(starved.imagePicture(0, 0).has_value());
    // Enough for the 32 x 32 image only: the icon keeps it, and the 256 x 256
    // image is skipped however often it is asked for.
    ReaderLimits one = none;
    one.decodePixelsAllowance = 32 * 32 + 48 * 48;
    const IconSource s = IconSource::fromBytes(ico, one);
    EXPECT_EQ(s.icon(0), whole.icon(0));
    EXPECT_FALSE(s.imagePicture(0, 5).has_value());
    EXPECT_TRUE(s.imagePicture(0, 4).has_value()) << "48 x 48 still fits";
    EXPECT_FALSE(s.imagePicture(0, 0).has_value()) << "spent";
    EXPECT_EQ(s.icon(0), whole.icon(0)) << "kept";
    // The share of the file's bytes alone.
    ReaderLimits perByte = none;
    perByte.decodePixelsPerFileByte = (256 * 256 + ico.size() - 1) / ico.size();
    EXPECT_TRUE(IconSource::fromBytes(ico, perByte).imagePicture(0, 5).has_value());
}

TEST(IconSourceLimits, RiffChunks)
{
    const Bytes ani = fixtureBytes("spin.ani");
    ASSERT_EQ(IconSource::fromBytes(ani).count(), 1);
    ReaderLimits low;
    low.riffChunks = 1; // the header chunk before the frames
    EXPECT_EQ(IconSource::fromBytes(ani, low).count(), 0);
}

// An icon file holding one image, multi.ico's 256 x 256 PNG.
Bytes pngOnlyIco()
{
    const Bytes multi = fixtureBytes("multi.ico");
    const std::uint8_t* entry = multi.data() + 6 + 16 * 5;
    Bytes ico = {0, 0, 1, 0, 1, 0};
    ico.insert(ico.end(), entry, entry + 12);
    ico.insert(ico.end(), {22, 0, 0, 0});
    const std::size_t size = entry[8] | entry[9] << 8 | entry[10] << 16;
    const std::size_t at = entry[12] | entry[13] << 8 | entry[14] << 16;
    ico.insert(ico.end(), multi.begin() + static_cast<std::ptrdiff_t>(at),
               multi.begin() + static_cast<std::ptrdiff_t>(at + size));
    return ico;
}

TEST(IconSourceLimits, PngPixelsPerIcon)
{
    const Bytes ico = pngOnlyIco();
    ASSERT_TRUE(IconSource::fromBytes(ico).icon(0).has_value());
    ReaderLimits low;
    low.iconPngPixelsPerIcon = 256 * 256 - 1;
    EXPECT_FALSE(IconSource::fromBytes(ico, low).icon(0).has_value());
    EXPECT_TRUE(IconSource::fromBytes(ico, low).imagePicture(0, 0).has_value()) << "one image at its own size";
}

TEST(IconSourceLimits, DecodedImagesKept)
{
    // The smallest allowance with which the first two icons of the library
    // decode as they do without a budget.
    const Bytes dll = fixtureBytes("icons32.dll");
    const IconSource free = IconSource::fromBytes(dll);
    const auto first = free.icon(0), second = free.icon(1);
    ASSERT_TRUE(first && second);
    ReaderLimits budget;
    budget.decodeBytesPerFileByte = 0;
    const auto both = [&](std::uint64_t allowance) {
        budget.decodeAllowanceBytes = allowance;
        const IconSource s = IconSource::fromBytes(dll, budget);
        return s.icon(0) == first && s.icon(1) == second;
    };
    std::uint64_t low = 0, high = dll.size();
    ASSERT_TRUE(both(high));
    while (low + 1 < high) {
        const std::uint64_t middle = (low + high) / 2;
        (both(middle) ? high : low) = middle;
    }
    budget.decodeAllowanceBytes = high;
    // Kept, the first icon's image is not decoded again: the budget holds.
    const IconSource kept = IconSource::fromBytes(dll, budget);
    EXPECT_EQ(kept.icon(0), first);
    EXPECT_EQ(kept.icon(1), second);
    EXPECT_EQ(kept.icon(0), first);
    // Keeping one image only, it is decoded again, and the budget has run out.
    budget.decodedImagesKept = 1;
    const IconSource forgetful = IconSource::fromBytes(dll, budget);
    EXPECT_EQ(forgetful.icon(0), first);
    EXPECT_EQ(forgetful.icon(1), second);
    EXPECT_NE(forgetful.icon(0), first);
}

} // namespace
} // namespace vextral::platform
