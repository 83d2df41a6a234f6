// Compiled resource files (.res): resources.res (windres, from the same
// tools/fixtures/cursors.rc as cursors32.dll) and damaged ones built here.
#include "core/Bytes.h"
#include "platform/IconExtractor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace vextral;
using namespace vextral::platform;
using vextral::test::fixture;
using vextral::test::readBytes;
using vextral::test::shellQuote;

namespace {

constexpr IconSourceOptions kCursors {.cursors = true};

std::vector<std::string> labels(const IconSource& s)
{
    std::vector<std::string> out;
    for (int i = 0; i < s.count(); ++i) out.push_back(s.label(i));
    return out;
}

void setU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A .res file written entry by entry, as windres lays it out.
class ResFile {
public:
    ResFile() { add(0, 0, {}); }

    // An entry of type and numeric name; returns where it starts.
    std::size_t add(std::uint16_t type, std::uint16_t name, const std::vector<std::uint8_t>& data)
    {
        std::vector<std::uint8_t> ids;
        putLe16(ids, 0xFFFF);
        putLe16(ids, type);
        putLe16(ids, 0xFFFF);
        putLe16(ids, name);
        return addRaw(ids, data);
    }
    std::size_t add(std::uint16_t type, const std::string& name, const std::vector<std::uint8_t>& data)
    {
        std::vector<std::uint8_t> ids;
        putLe16(ids, 0xFFFF);
        putLe16(ids, type);
        for (char c : name) putLe16(ids, static_cast<std::uint8_t>(c));
        putLe16(ids, 0);
        while (ids.size() % 4) ids.push_back(0);
        return addRaw(ids, data);
    }
    std::vector<std::uint8_t> bytes;

private:
    std::size_t addRaw(const std::vector<std::uint8_t>& ids, const std::vector<std::uint8_t>& data)
    {
        const std::size_t at = bytes.size();
        putLe32(bytes, static_cast<std::uint32_t>(data.size()));
        putLe32(bytes, static_cast<std::uint32_t>(8 + ids.size() + 16));
        bytes.insert(bytes.end(), ids.begin(), ids.end());
        putLe32(bytes, 0);      // data version
        putLe16(bytes, 0x1030); // memory flags
        putLe16(bytes, 0x0409); // language
        putLe32(bytes, 0);      // version
        putLe32(bytes, 0);      // characteristics
        bytes.insert(bytes.end(), data.begin(), data.end());
        while (bytes.size() % 4) bytes.push_back(0);
        return at;
    }
};

// arrow.cur's one image, its hotspot and its directory fields.
struct Arrow {
    std::vector<std::uint8_t> file = readBytes(fixture("arrow.cur"));
    std::vector<std::uint8_t> dib() const { return {file.begin() + 22, file.end()}; }
    std::vector<std::uint8_t> cursor() const
    {
        std::vector<std::uint8_t> out {2, 0, 3, 0};
        const auto d = dib();
        out.insert(out.end(), d.begin(), d.end());
        return out;
    }
};

std::vector<std::uint8_t> cursorGroup(const std::vector<std::uint16_t>& ids, std::uint32_t bytes)
{
    std::vector<std::uint8_t> out;
    putLe16(out, 0);
    putLe16(out, 2);
    putLe16(out, static_cast<std::uint16_t>(ids.size()));
    for (std::uint16_t id : ids) {
        putLe16(out, 32);
        putLe16(out, 64);
        putLe16(out, 1);
        putLe16(out, 4);
        putLe32(out, bytes);
        putLe16(out, id);
    }
    return out;
}

std::vector<std::uint8_t> iconGroup(std::uint16_t id, std::uint32_t bytes)
{
    std::vector<std::uint8_t> out;
    putLe16(out, 0);
    putLe16(out, 1);
    putLe16(out, 1);
    out.insert(out.end(), {32, 32, 16, 0});
    putLe16(out, 1);
    putLe16(out, 4);
    putLe32(out, bytes);
    putLe16(out, id);
    return out;
}

} // namespace

TEST(ResFile, HoldsWhatTheProgramBuiltFromItHolds)
{
    const IconSource res = IconSource::open(fixture("resources.res").string());
    EXPECT_TRUE(res.readable());
    EXPECT_EQ(res.kind(), IconFileKind::Res);
    EXPECT_STREQ(iconFileKindName(res.kind()), "RES");
    // The file's order is cursors.rc's; the program's directory sorts names first.
    EXPECT_EQ(labels(res), (std::vector<std::string> {"APPICON", "#1"}));
    const IconSource withCursors = IconSource::open(fixture("resources.res").string(), {}, kCursors);
    ASSERT_EQ(labels(withCursors), (std::vector<std::string> {"APPICON", "#1", "POINTER", "#5"}));
    EXPECT_FALSE(withCursors.isCursor(1));
    EXPECT_TRUE(withCursors.isCursor(2));

    // Every icon and cursor is the program's, byte for byte; the icons are
    // what wrestool extracts from the program.
    const auto dll = fixture("cursors32.dll");
    const IconSource program = IconSource::open(dll.string(), {}, kCursors);
    ASSERT_EQ(labels(program), labels(withCursors));
    test::TempDir dir;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(withCursors.label(i));
        ASSERT_FALSE(withCursors.originalIco(i).empty());
        EXPECT_EQ(withCursors.originalIco(i), program.originalIco(i));
        EXPECT_EQ(withCursors.icon(i), program.icon(i));
    }
    for (const char* name : {"APPICON", "1"}) {
        const auto out = dir / (std::string(name) + ".ico");
        ASSERT_EQ(test::runCommand("wrestool -x -t14 -n " + std::string(name) + " " + shellQuote(dll.string()) + " > " +
                                   shellQuote(out.string())),
                  0);
        // wrestool goes on after the last image with what follows it in the program.
        const auto theirs = readBytes(out);
        const auto ours = res.originalIco(name[0] == 'A' ? 0 : 1);
        ASSERT_GE(theirs.size(), ours.size());
        EXPECT_TRUE(std::equal(ours.begin(), ours.end(), theirs.begin())) << name;
    }
    EXPECT_EQ(res.originalIco(0), readBytes(fixture("tie.ico")));
}

TEST(ResFile, OnlyTheEmptyFirstEntryMakesOne)
{
    ResFile empty;
    const IconSource s = IconSource::fromBytes(empty.bytes);
    EXPECT_EQ(s.kind(), IconFileKind::Res);
    EXPECT_EQ(s.count(), 0);
    auto other = empty.bytes;
    other[4] = 0x24; // a header of 36 bytes: not windres' empty entry
    EXPECT_EQ(IconSource::fromBytes(other).kind(), IconFileKind::None);
    other = std::vector<std::uint8_t>(empty.bytes.begin(), empty.bytes.begin() + 31);
    EXPECT_EQ(IconSource::fromBytes(other).kind(), IconFileKind::None);
}

TEST(ResFile, DamagedFilesKeepWhatComesBeforeTheDamage)
{
    const Arrow arrow;
    ResFile res;
    res.add(1, 1, arrow.cursor());
    res.add(12, "FIRST", cursorGroup({1}, static_cast<std::uint32_t>(arrow.cursor().size())));
    const std::size_t broken = res.add(12, "SECOND", cursorGroup({1}, 0));
    res.add(12, 3, cursorGroup({1}, 0));
    const auto whole = res.bytes;
    ASSERT_EQ(IconSource::fromBytes(whole, {}, kCursors).count(), 3);

    struct Case {
        const char* what;
        std::size_t field;
        std::uint32_t value;
    } cases[] = {
        {"header size 0", broken + 4, 0},
        {"header size 31", broken + 4, 31},
        {"header size past the file", broken + 4, 0xFFFFFFF0u},
        {"data size past the file", broken, 0xFFFFFFF0u},
        {"names running into the data", broken + 4, 36}, // they need 44
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto bytes = whole;
        setU32(bytes, c.field, c.value);
        const IconSource s = IconSource::fromBytes(bytes, {}, kCursors);
        EXPECT_EQ(s.kind(), IconFileKind::Res);
        ASSERT_EQ(labels(s), (std::vector<std::string> {"FIRST"}));
        EXPECT_EQ(s.icon(0), IconSource::open(fixture("arrow.cur").string()).icon(0));
    }

    // Cut anywhere, the file gives the groups it still holds whole.
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        const IconSource s =
            IconSource::fromBytes({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)}, {}, kCursors);
        EXPECT_EQ(s.kind(), cut >= 32 ? IconFileKind::Res : IconFileKind::None) << cut;
        EXPECT_LE(s.count(), 3);
        for (int i = 0; i < s.count(); ++i) {
            (void)s.icon(i);
            (void)s.originalIco(i);
        }
    }

    // The walk stops after limits.resEntries entries (the empty first one
    // counted).
    ReaderLimits limits;
    limits.resEntries = 3;
    EXPECT_EQ(labels(IconSource::fromBytes(whole, limits, kCursors)), (std::vector<std::string> {"FIRST"}));
}

TEST(ResFile, CursorGroupsNamingMissingOrShortImagesHaveNone)
{
    const Arrow arrow;
    ResFile res;
    res.add(1, 1, arrow.cursor());
    res.add(1, 2, {7, 0, 7});          // shorter than a hotspot
    res.add(1, 3, {7, 0, 7, 0});       // a hotspot and no image
    res.add(3, 4, arrow.dib());        // an icon, not a cursor
    res.add(14, 9, iconGroup(1, 744)); // names the icon 1: there is none
    res.add(12, 1, cursorGroup({9}, 748));
    res.add(12, 2, cursorGroup({2}, 3));
    res.add(12, 3, cursorGroup({3}, 4));
    res.add(12, 4, cursorGroup({4}, 744)); // an icon's id
    res.add(12, 5, cursorGroup({2, 9, 1}, 748));
    const IconSource s = IconSource::fromBytes(res.bytes, {}, kCursors);
    ASSERT_EQ(labels(s), (std::vector<std::string> {"#9", "#1", "#2", "#3", "#4", "#5"}));
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(s.label(i));
        const auto entries = s.images(i);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].image, -1);
        EXPECT_FALSE(s.icon(i));
        EXPECT_FALSE(s.imagePicture(i, 0));
        EXPECT_TRUE(s.originalIco(i).empty());
    }
    // What a group can still read it keeps: only the arrow, with its hotspot.
    const auto entries = s.images(5);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].image, -1);
    EXPECT_EQ(entries[1].image, -1);
    EXPECT_EQ(entries[2].image, 0);
    EXPECT_TRUE(s.icon(5));
    auto expected = arrow.file;
    expected[6 + 2] = 0; // no colour count in a group
    EXPECT_EQ(s.originalIco(5), expected);
}
