// Cursor groups of programs, read as further icons when asked for: against
// cursors32.dll (windres, from tools/fixtures/cursors.rc), wrestool's
// extraction of each group, and crafted programs of gen_hostile_pe.py.
#include "core/Bytes.h"
#include "platform/IconExtractor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using namespace vextral;
using namespace vextral::platform;
using vextral::test::fixture;
using vextral::test::readBytes;
using vextral::test::shellQuote;
namespace fs = std::filesystem;

namespace {

constexpr IconSourceOptions kCursors {.cursors = true};

std::vector<std::string> labels(const IconSource& s)
{
    std::vector<std::string> out;
    for (int i = 0; i < s.count(); ++i) out.push_back(s.label(i));
    return out;
}

std::vector<std::uint8_t> wrestoolCursor(const fs::path& file, const std::string& name)
{
    test::TempDir dir;
    const fs::path out = dir / "group.cur";
    std::string log;
    // Its warnings (an NE library's lengths are rounded up) go to the log.
    const int status = test::runCommand("wrestool -x -t12 -n " + shellQuote(name) + " " + shellQuote(file.string()) +
                                            " 2>&1 > " + shellQuote(out.string()),
                                        &log);
    EXPECT_EQ(status, 0) << log;
    return readBytes(out);
}

// wrestool writes each entry's size as the group states it, 4 more than the
// image (the hotspot counted), and reads each image that much too long, so
// that after the last one the file goes on with whatever followed it (as
// many bytes as the group has); up to there it must be ours.
void expectWrestoolsForm(const std::vector<std::uint8_t>& ours, const std::vector<std::uint8_t>& theirs)
{
    ASSERT_GE(ours.size(), 6u);
    ASSERT_GE(theirs.size(), ours.size());
    std::vector<std::uint8_t> stated = ours;
    for (std::size_t i = 0; i < le16(ours.data() + 4); ++i) {
        std::uint8_t* size = stated.data() + 6 + 16 * i + 8;
        const std::uint32_t withHotspot = le32(size) + 4;
        for (int b = 0; b < 4; ++b) size[b] = static_cast<std::uint8_t>(withHotspot >> (8 * b));
    }
    EXPECT_TRUE(std::equal(stated.begin(), stated.end(), theirs.begin()));
}

fs::path hostilePe(const test::TempDir& dir, const std::string& name, const std::string& options)
{
    const fs::path script = fs::path(VEXTRAL_FIXTURES).parent_path().parent_path() / "tools/fixtures/gen_hostile_pe.py";
    const fs::path out = dir / name;
    std::string log;
    const int status = test::runCommand("/usr/bin/python3 " + shellQuote(script.string()) + " " +
                                            shellQuote(out.string()) + " " + options + " 2>&1",
                                        &log);
    if (status != 0) throw std::runtime_error("gen_hostile_pe.py failed: " + log);
    return out;
}

} // namespace

TEST(CursorGroups, AreLeftOutUnlessAskedFor)
{
    const IconSource plain = IconSource::open(fixture("cursors32.dll").string());
    EXPECT_EQ(labels(plain), (std::vector<std::string> {"APPICON", "#1"}));
    EXPECT_FALSE(plain.isCursor(0));
    EXPECT_FALSE(plain.isCursor(1));
    // Programs without cursors count the same either way.
    EXPECT_EQ(IconSource::open(fixture("icons64.dll").string(), {}, kCursors).count(), 4);
    EXPECT_EQ(IconSource::open(fixture("library.icl").string(), {}, kCursors).count(), 3);
    // Cursor files are cursors whatever the options; icon files are not.
    EXPECT_TRUE(IconSource::open(fixture("arrow.cur").string()).isCursor(0));
    EXPECT_TRUE(IconSource::open(fixture("spin.ani").string()).isCursor(0));
    EXPECT_FALSE(IconSource::open(fixture("multi.ico").string()).isCursor(0));
    EXPECT_FALSE(IconSource::open(fixture("arrow.cur").string()).isCursor(1));
}

TEST(CursorGroups, FollowTheIconGroupsAndDrawLikeCursorFiles)
{
    const IconSource s = IconSource::open(fixture("cursors32.dll").string(), {}, kCursors);
    ASSERT_EQ(labels(s), (std::vector<std::string> {"APPICON", "#1", "POINTER", "#5"}));
    EXPECT_FALSE(s.isCursor(1));
    EXPECT_TRUE(s.isCursor(2));
    EXPECT_TRUE(s.isCursor(3));
    EXPECT_FALSE(s.isCursor(4));

    // POINTER is arrow.cur: the same pixels as the cursor file's own.
    const auto pointer = s.icon(2);
    const auto arrow = IconSource::open(fixture("arrow.cur").string()).icon(0);
    ASSERT_TRUE(pointer && arrow);
    EXPECT_EQ(*pointer, *arrow);
    EXPECT_EQ(pointer->drawnOver(2, 3, 0xFFFFFF), 0x000000u); // the tip
    EXPECT_EQ(pointer->drawnOver(5, 15, 0x000000), 0xFFFFFFu);
    EXPECT_EQ(pointer->drawnOver(20, 5, 0x123456), 0x123456u); // transparent

    // Group 5: three images; the entries give the picture's height, windres'
    // bit count of 1 for every image, and the DIB's own header the rest.
    const auto entries = s.images(3);
    ASSERT_EQ(entries.size(), 3u);
    const int sides[] = {32, 48, 16}, bits[] = {32, 8, 4};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].entryWidth, sides[i]);
        EXPECT_EQ(entries[i].entryHeight, sides[i]);
        EXPECT_EQ(entries[i].entryBits, 1);
        ASSERT_TRUE(entries[i].info);
        EXPECT_EQ(entries[i].info->width, sides[i]);
        EXPECT_EQ(entries[i].info->height, sides[i]);
        EXPECT_EQ(entries[i].info->bits, bits[i]);
    }
    const auto drawn = s.icon(3); // the 32 x 32 x 32 image, dark red
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->drawnOver(16, 16, 0x000000), 0xC00000u);
    const auto orange = s.imagePicture(3, 1);
    ASSERT_TRUE(orange);
    EXPECT_EQ(orange->width, 48);
    EXPECT_EQ(orange->height, 48);
    EXPECT_EQ(orange->colour[orange->at(24, 24)] & 0xFFFFFF, 0xFF8000u);
}

TEST(CursorGroups, OriginalFormIsTheCursorFileWrestoolExtracts)
{
    const fs::path dll = fixture("cursors32.dll");
    const IconSource s = IconSource::open(dll.string(), {}, kCursors);
    const auto pointer = s.originalIco(2);
    expectWrestoolsForm(pointer, wrestoolCursor(dll, "POINTER"));
    expectWrestoolsForm(s.originalIco(3), wrestoolCursor(dll, "5"));

    // And it is arrow.cur, but for the colour count, which the group does
    // not keep (wrestool writes 0 too).
    auto arrow = readBytes(fixture("arrow.cur"));
    arrow[6 + 2] = 0;
    EXPECT_EQ(pointer, arrow);

    // Other readers take it: icotool (which refuses wrestool's sizes) lists
    // every image with its hotspot.
    test::TempDir dir;
    test::writeBytes(dir / "five.cur", s.originalIco(3));
    std::string listing;
    ASSERT_EQ(test::runCommand("icotool -l " + shellQuote((dir / "five.cur").string()) + " 2>&1", &listing), 0);
    EXPECT_EQ(listing, "--cursor --index=1 --width=32 --height=32 --bit-depth=32 --palette-size=0 --hotspot-x=16 "
                       "--hotspot-y=16\n"
                       "--cursor --index=2 --width=48 --height=48 --bit-depth=8 --palette-size=256 --hotspot-x=40 "
                       "--hotspot-y=7\n"
                       "--cursor --index=3 --width=16 --height=16 --bit-depth=4 --palette-size=16 --hotspot-x=1 "
                       "--hotspot-y=2\n");
    // Read back, it is a cursor file holding the same cursor.
    const IconSource back = IconSource::open((dir / "five.cur").string());
    EXPECT_EQ(back.kind(), IconFileKind::Cur);
    EXPECT_EQ(back.icon(0), s.icon(3));
}

TEST(CursorGroups, NeLibrariesHoldThemToo)
{
    // cursors.icl (gen_ne.py) holds the DLL's cursors, their lengths rounded
    // up to 16 bytes: the groups' sizes give the real ones.
    const fs::path icl = fixture("cursors.icl");
    const IconSource ne = IconSource::open(icl.string(), {}, kCursors);
    EXPECT_EQ(ne.kind(), IconFileKind::Ne);
    ASSERT_EQ(labels(ne), (std::vector<std::string> {"#1", "POINTER", "#5"}));
    EXPECT_EQ(IconSource::open(icl.string()).count(), 1);
    const IconSource dll = IconSource::open(fixture("cursors32.dll").string(), {}, kCursors);
    for (int i = 1; i < 3; ++i) {
        SCOPED_TRACE(ne.label(i));
        EXPECT_TRUE(ne.isCursor(i));
        EXPECT_EQ(ne.originalIco(i), dll.originalIco(i + 1));
        EXPECT_EQ(ne.icon(i), dll.icon(i + 1));
    }
    expectWrestoolsForm(ne.originalIco(1), wrestoolCursor(icl, "POINTER"));
    expectWrestoolsForm(ne.originalIco(2), wrestoolCursor(icl, "5"));
    // gen_ne.py writes the DIBs' bit counts into the group.
    const auto entries = ne.images(2);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].entryBits, 32);
    EXPECT_EQ(entries[1].entryBits, 8);
    EXPECT_EQ(entries[2].entryBits, 4);
}

TEST(CursorGroups, ManyGroupsNamingOneHugeDirectoryStayWithinTheFile)
{
    // 1,000 cursor groups all naming one directory of 65,535 entries, each
    // naming one 512 x 512 cursor: the groups are charged their directory's
    // bytes like icon groups, so only the first few (as many directories as
    // the file could hold) list their entries, each group's .cur holds the
    // image once, and it is decoded once.
    test::TempDir dir;
    const fs::path dll = hostilePe(dir, "cursors.dll", "--cursor --groups 1000 --entries 65535 --size 512");
    const auto start = std::chrono::steady_clock::now();
    const IconSource s = IconSource::open(dll.string(), {}, kCursors);
    ASSERT_EQ(s.count(), 1000);
    std::uint64_t entries = 0, rebuilt = 0;
    int withImages = 0;
    for (int i = 0; i < s.count(); ++i) {
        entries += s.images(i).size();
        if (const auto icon = s.icon(i)) {
            EXPECT_EQ(icon->drawnOver(16, 16, 0), 0x2080C0u);
            ++withImages;
        }
        rebuilt += s.originalIco(i).size();
    }
    EXPECT_GE(withImages, 1);
    EXPECT_LE(entries * 14, fs::file_size(dll));
    EXPECT_TRUE(s.images(999).empty());
    // Each group that has its directory rebuilds the one image once.
    EXPECT_EQ(rebuilt, withImages * (6 + 16 + 40 + 512 * 512 * 4 + 512 * 64u));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20.0);
    const auto cur = s.originalIco(0);
    ASSERT_GE(cur.size(), 22u);
    EXPECT_EQ(le16(cur.data() + 2), 2);
    EXPECT_EQ(le16(cur.data() + 6 + 4), 3); // the hotspot
    EXPECT_EQ(le16(cur.data() + 6 + 6), 5);
    EXPECT_EQ(cur[6], 0); // 512 wide: the byte holds what fits
}
