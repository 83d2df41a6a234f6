// Damaged and hostile files: the reader must give what it can, never crash,
// loop or allocate beyond the file (make check runs these under ASan/UBSan).
#include "core/Bytes.h"
#include "platform/IconExtractor.h"

#include "TestSupport.h"
#include "fuzz/FuzzIconSource.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

using namespace vextral;
using namespace vextral::platform;
using vextral::test::fixture;
using vextral::test::readBytes;

namespace {

const char* const kFixtures[] = {"icons64.dll", "icons32.dll", "noicons.dll",   "library.icl",   "library.nil",
                                 "multi.ico",   "mask.ico",    "arrow.cur",     "spin.ani",      "picture.bmp",
                                 "small8.bmp",  "tie.ico",     "cursors32.dll", "resources.res", "cursors.icl"};

void putU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putU16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// File offset of the resource directory of a PE fixture (from its section table).
std::size_t resourceDirectory(const std::vector<std::uint8_t>& pe)
{
    const std::size_t header = le32(&pe[0x3C]);
    const std::size_t sections = le16(&pe[header + 6]);
    const std::size_t table = header + 24 + le16(&pe[header + 20]);
    for (std::size_t i = 0; i < sections; ++i) {
        const std::uint8_t* s = &pe[table + 40 * i];
        if (std::memcmp(s, ".rsrc", 5) == 0) return le32(s + 20);
    }
    throw std::runtime_error("no .rsrc section");
}

} // namespace

TEST(DamagedInput, TruncatedFilesGiveWhatTheyStillHold)
{
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        const auto whole = readBytes(fixture(name));
        const int fullCount = IconSource::fromBytes(whole).count();
        const std::size_t step = std::max<std::size_t>(1, whole.size() / 300);
        for (std::size_t cut = 0; cut < whole.size(); cut += step) {
            std::vector<std::uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
            const IconSource s = IconSource::fromBytes(part);
            EXPECT_LE(s.count(), fullCount) << "cut at " << cut;
            fuzz::exerciseIconSource(part.data(), part.size());
        }
    }
}

TEST(DamagedInput, CorruptedBytesNeverBreakTheReader)
{
    std::mt19937 random(20261209);
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        const auto whole = readBytes(fixture(name));
        for (int round = 0; round < 150; ++round) {
            auto bytes = whole;
            const int changes = 1 + static_cast<int>(random() % 8);
            for (int c = 0; c < changes; ++c) {
                const std::size_t at = random() % bytes.size();
                // Mostly the structures near the front, and extreme values.
                const std::size_t pos = (round % 2) ? at : at % std::min<std::size_t>(bytes.size(), 512);
                const std::uint8_t values[] = {0x00, 0xFF, 0x7F, 0x80, static_cast<std::uint8_t>(random())};
                bytes[pos] = values[random() % 5];
            }
            fuzz::exerciseIconSource(bytes.data(), bytes.size());
        }
    }
}

TEST(DamagedInput, ABrokenImageGivesWayToTheNextBest)
{
    auto ico = readBytes(fixture("multi.ico"));
    // The 32x32x32 image (entry 3) loses its header: the 32x32x8 blue one is next.
    const std::uint32_t yellowAt = le32(&ico[6 + 16 * 3 + 12]);
    putU32(ico, yellowAt, 77);
    auto icon = IconSource::fromBytes(ico).icon(0);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->drawnOver(16, 16, 0), 0x0000FFu);

    // Its data runs past the end of the file: the same.
    ico = readBytes(fixture("multi.ico"));
    putU32(ico, 6 + 16 * 3 + 12, 0xFFFFFFF0u);
    icon = IconSource::fromBytes(ico).icon(0);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->drawnOver(16, 16, 0), 0x0000FFu);
    EXPECT_FALSE(IconSource::fromBytes(ico).images(0)[3].info);

    // Its pixels are cut short (header intact, size shrunk): the same.
    ico = readBytes(fixture("multi.ico"));
    putU32(ico, 6 + 16 * 3 + 8, 100);
    icon = IconSource::fromBytes(ico).icon(0);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->drawnOver(16, 16, 0), 0x0000FFu);

    // A file cut inside the 48x48 image still has its complete 32x32x32 image.
    ico = readBytes(fixture("multi.ico"));
    ico.resize(le32(&ico[6 + 16 * 4 + 12]) + 500);
    icon = IconSource::fromBytes(ico).icon(0);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->drawnOver(16, 16, 0), 0xFFFF00u);

    // Every image broken: the icon is counted but missing, and nothing throws.
    ico = readBytes(fixture("only48.ico"));
    putU32(ico, le32(&ico[6 + 12]), 5);
    const IconSource broken = IconSource::fromBytes(ico);
    EXPECT_EQ(broken.count(), 1);
    EXPECT_FALSE(broken.icon(0));
    EXPECT_FALSE(broken.originalIco(0).empty()); // the file's own bytes are still its original form
}

TEST(DamagedInput, HostileStructuresStayBounded)
{
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();

    // A PE whose icon-group directory points back at the root directory: the
    // walk stays three levels deep, so it ends; the "groups" have no data.
    auto pe = readBytes(fixture("icons64.dll"));
    const std::size_t root = resourceDirectory(pe);
    const std::size_t entries = le16(&pe[root + 12]) + le16(&pe[root + 14]);
    for (std::size_t i = 0; i < entries; ++i) {
        if (le32(&pe[root + 16 + 8 * i]) == 14) putU32(pe, root + 16 + 8 * i + 4, 0x80000000u);
    }
    IconSource looped = IconSource::fromBytes(pe);
    EXPECT_EQ(looped.count(), static_cast<int>(entries));
    for (int i = 0; i < looped.count(); ++i) EXPECT_FALSE(looped.icon(i));

    // Directory entry counts of 65535 + 65535 in a small file.
    pe = readBytes(fixture("icons32.dll"));
    putU16(pe, root + 12, 0xFFFF);
    putU16(pe, root + 14, 0xFFFF);
    fuzz::exerciseIconSource(pe.data(), pe.size());

    // An icon file that claims 65535 images in a 22-byte file.
    std::vector<std::uint8_t> ico = {0, 0, 1, 0, 0xFF, 0xFF};
    ico.resize(22, 0xFF);
    EXPECT_EQ(IconSource::fromBytes(ico).count(), 1);
    EXPECT_FALSE(IconSource::fromBytes(ico).icon(0));

    // A bitmap header claiming 60000 x 60000 pixels with no pixel data, plain and run-length coded.
    std::vector<std::uint8_t> bmp(14 + 40 + 64, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    putU32(bmp, 10, 14 + 40);
    putU32(bmp, 14, 40);
    putU32(bmp, 18, 60000);
    putU32(bmp, 22, 60000);
    putU16(bmp, 26, 1);
    putU16(bmp, 28, 24);
    EXPECT_EQ(IconSource::fromBytes(bmp).count(), 1);
    EXPECT_FALSE(IconSource::fromBytes(bmp).icon(0));
    putU16(bmp, 28, 8);
    putU32(bmp, 30, 1); // RLE8
    EXPECT_FALSE(IconSource::fromBytes(bmp).icon(0));

    // A run-length bitmap within bounds whose codes stop at once: black, not a hang.
    putU32(bmp, 18, 300);
    putU32(bmp, 22, 200);
    putU32(bmp, 10, 14 + 40 + 1024);
    bmp.resize(14 + 40 + 1024 + 2);
    bmp[bmp.size() - 1] = 1; // end of bitmap
    const auto black = IconSource::fromBytes(bmp).icon(0);
    ASSERT_TRUE(black);
    EXPECT_EQ(black->drawnOver(5, 5, 0xFFFFFF), 0u);

    // An NE file with an alignment shift past every offset, and an ANI whose
    // chunk sizes are all 0xFFFFFFFF.
    auto ne = readBytes(fixture("library.icl"));
    putU16(ne, 0xC0, 30);
    EXPECT_EQ(IconSource::fromBytes(ne).count(), 0);
    auto ani = readBytes(fixture("spin.ani"));
    for (std::size_t at : {16u, 42u, 86u, 98u}) putU32(ani, at, 0xFFFFFFFFu);
    fuzz::exerciseIconSource(ani.data(), ani.size());

    EXPECT_LT(std::chrono::duration<double>(clock::now() - start).count(), 20.0);
}
