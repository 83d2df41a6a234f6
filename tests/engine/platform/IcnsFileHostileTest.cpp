// Apple icon files built byte by byte: every kind of image the reader takes,
// and damaged, truncated and crafted files that must give what can be read
// and nothing more, without reading past their end or working without bound.
#include "platform/IcnsFile.h"
#include "platform/IconExtractor.h"

#include "codecs/Writers.h"
#include "core/Sink.h"
#include "fuzz/FuzzIconSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

using namespace vextral;
using namespace vextral::platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

void putBe32(Bytes& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A chunk whose length field says what it holds, or what it is told.
Bytes chunk(const char* type, const Bytes& data, std::optional<std::uint32_t> length = std::nullopt)
{
    Bytes out(type, type + 4);
    putBe32(out, length.value_or(static_cast<std::uint32_t>(data.size() + 8)));
    return out + data;
}

Bytes icns(const Bytes& chunks, std::optional<std::uint32_t> length = std::nullopt)
{
    Bytes out {'i', 'c', 'n', 's'};
    putBe32(out, length.value_or(static_cast<std::uint32_t>(chunks.size() + 8)));
    return out + chunks;
}

// PackBits: count copies of value as runs of 3 to 130 (a shorter rest as it is).
Bytes repeated(std::uint8_t value, std::size_t count)
{
    Bytes out;
    while (count >= 3) {
        const std::size_t run = std::min<std::size_t>(count, 130);
        out.push_back(static_cast<std::uint8_t>(run + 125));
        out.push_back(value);
        count -= run;
    }
    if (count > 0) {
        out.push_back(static_cast<std::uint8_t>(count - 1));
        out.insert(out.end(), count, value);
    }
    return out;
}

// PackBits: the bytes as they are, 128 at most a control byte.
Bytes literal(const Bytes& bytes)
{
    Bytes out;
    for (std::size_t i = 0; i < bytes.size(); i += 128) {
        const std::size_t n = std::min<std::size_t>(128, bytes.size() - i);
        out.push_back(static_cast<std::uint8_t>(n - 1));
        out.insert(out.end(), bytes.begin() + static_cast<long>(i), bytes.begin() + static_cast<long>(i + n));
    }
    return out;
}

// A classic image of one colour.
Bytes flat(int side, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    const auto n = static_cast<std::size_t>(side * side);
    return repeated(r, n) + repeated(g, n) + repeated(b, n);
}

Bytes pngOf(int side, std::uint32_t argb)
{
    MemorySink sink;
    codecs::writePngArgb(side, side, std::vector<std::uint32_t>(static_cast<std::size_t>(side * side), argb), sink);
    return sink.bytes();
}

IcoOfFile read(const Bytes& file, const ReaderLimits& limits = {})
{
    return icoOfPngOrIcns(std::make_shared<MemoryByteSource>(file), limits);
}

std::vector<int> sides(const IconSource& source)
{
    std::vector<int> out;
    for (const IconImageEntry& e : source.images(0)) out.push_back(e.info ? e.info->width : -1);
    return out;
}

bool hasReason(const IcoOfFile& read, const std::string& reason)
{
    return std::find(read.skipped.begin(), read.skipped.end(), reason) != read.skipped.end();
}

} // namespace

TEST(IcnsFileHostile, ReadsEveryKindOfImageWithItsMask)
{
    // il32 with a mask: transparent on the left, half on a strip, opaque on the right.
    Bytes mask;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) mask.push_back(x < 16 ? 0 : x < 24 ? 0x80 : 0xFF);
    }
    // is32 with no mask (opaque), its planes stored as they are.
    Bytes planes;
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 256; ++i) planes.push_back(static_cast<std::uint8_t>(c * 80 + i % 16));
    }
    // ICN#: a black and white checkerboard (1 is black), its left half opaque.
    Bytes mono;
    for (int i = 0; i < 128; ++i) mono.push_back((i / 4) % 2 ? 0x55 : 0xAA);
    for (int i = 0; i < 128; ++i) mono.push_back(i % 4 < 2 ? 0xFF : 0x00);
    // ic04 as "ARGB": alpha first.
    const Bytes argb =
        Bytes {'A', 'R', 'G', 'B'} + repeated(0x80, 256) + repeated(1, 256) + repeated(2, 256) + repeated(3, 256);
    const Bytes file =
        icns(chunk("TOC ", Bytes(16, 0)) + chunk("il32", flat(32, 0x20, 0x40, 0x80)) + chunk("l8mk", mask) +
             chunk("is32", literal(planes)) + chunk("it32", Bytes(4, 0) + flat(128, 9, 8, 7)) +
             chunk("il32", flat(32, 1, 1, 1)) + chunk("ICN#", mono) + chunk("ic04", argb) +
             chunk("ic11", pngOf(32, 0xFF112233)) + chunk("name", {'x'}));

    const IconSource source = IconSource::fromBytes(file);
    EXPECT_EQ(source.kind(), IconFileKind::Icns);
    ASSERT_EQ(source.count(), 1);
    EXPECT_EQ(sides(source), (std::vector<int> {32, 16, 128, 32, 16, 32}));
    const auto images = source.images(0);
    EXPECT_EQ(images[3].entryBits, 1);
    EXPECT_TRUE(images[5].info->png);
    EXPECT_EQ(read(file).skipped, (std::vector<std::string> {"il32: only the first of its kind is read"}));

    const auto masked = source.imagePicture(0, 0);
    ASSERT_TRUE(masked);
    ASSERT_TRUE(masked->hasAlpha);
    const auto pixels = masked->argb();
    EXPECT_EQ(pixels[masked->at(0, 3)] >> 24, 0u);
    EXPECT_EQ(masked->mask[masked->at(0, 3)], 1);
    EXPECT_EQ(pixels[masked->at(20, 3)], 0x80204080u);
    EXPECT_EQ(masked->mask[masked->at(20, 3)], 0);
    EXPECT_EQ(pixels[masked->at(31, 31)], 0xFF204080u);

    const auto opaque = source.imagePicture(0, 1);
    ASSERT_TRUE(opaque);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const std::uint32_t v = static_cast<std::uint32_t>(x);
            ASSERT_EQ(opaque->argb()[opaque->at(x, y)], 0xFF000000u | v << 16 | (80 + v) << 8 | (160 + v));
        }
    }
    const auto large = source.imagePicture(0, 2);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->argb()[large->at(127, 127)], 0xFF090807u);

    const auto bw = source.imagePicture(0, 3);
    ASSERT_TRUE(bw);
    for (const std::uint32_t background : {0x000000u, 0xFFFFFFu, 0x123456u}) {
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const std::uint32_t expected = x >= 16 ? background : (x + y) % 2 ? 0xFFFFFF : 0x000000;
                ASSERT_EQ(bw->drawnOver(x, y, background), expected) << x << "," << y;
            }
        }
    }
    const auto alphaFirst = source.imagePicture(0, 4);
    ASSERT_TRUE(alphaFirst);
    EXPECT_EQ(alphaFirst->argb()[alphaFirst->at(5, 5)], 0x80010203u);

    // The 32 x 32 icon: the first 32-bit 32 x 32 image.
    const auto icon = source.icon(0);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->drawnOver(31, 0, 0), 0x204080u);
    EXPECT_EQ(icon->drawnOver(0, 0, 0xABCDEF), 0xABCDEFu);
}

TEST(IcnsFileHostile, AChunkOfABadLengthEndsTheWalkKeepingWhatCameBefore)
{
    const Bytes before = chunk("is32", flat(16, 1, 2, 3));
    const Bytes after = chunk("il32", flat(32, 4, 5, 6));
    struct Case {
        std::uint32_t length;
        const char* reason;
    } cases[] = {
        {0, "junk: damaged chunk length 0"},
        {7, "junk: damaged chunk length 7"},
        {0xFFFFFFF0u, "junk: damaged chunk length 4294967280"},
        {static_cast<std::uint32_t>(8 + after.size() + 1), nullptr}, // one byte past the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const Bytes file = icns(before + chunk("junk", {}, c.length) + after);
        const IconSource source = IconSource::fromBytes(file);
        EXPECT_EQ(sides(source), (std::vector<int> {16}));
        if (c.reason) {
            EXPECT_TRUE(hasReason(read(file), c.reason)) << read(file).skipped.front();
        }
        EXPECT_TRUE(source.icon(0));
    }
    // The family's own length bounds the walk: chunks past it are not read,
    // and a length past the file's end reads what the file has.
    const Bytes both = before + after;
    EXPECT_EQ(sides(IconSource::fromBytes(icns(both, static_cast<std::uint32_t>(8 + before.size())))),
              (std::vector<int> {16}));
    EXPECT_EQ(sides(IconSource::fromBytes(icns(both, 0xFFFFFFFFu))), (std::vector<int> {16, 32}));
    EXPECT_EQ(sides(IconSource::fromBytes(icns(both, 3))), (std::vector<int> {}));
}

TEST(IcnsFileHostile, PackBitsThatRunShortOrOverrunGiveNoImage)
{
    const Bytes good = chunk("il32", flat(32, 4, 5, 6));
    const Bytes planes = repeated(7, 256) + repeated(8, 256);
    struct Case {
        const char* what;
        Bytes chunk;
    } cases[] = {
        {"a run past the image's end", chunk("is32", planes + repeated(9, 255) + repeated(9, 3))},
        {"a literal past the image's end", chunk("is32", planes + repeated(9, 254) + literal({1, 2, 3}))},
        {"the stream ends a plane early", chunk("is32", planes)},
        {"a literal past the data's end", chunk("is32", planes + repeated(9, 250) + Bytes {2, 1, 2})},
        {"a run without its byte", chunk("is32", planes + repeated(9, 250) + Bytes {128})},
        {"it32 shorter than its lead-in", chunk("it32", {0, 0})},
        {"it32 lead-in only", chunk("it32", {0, 0, 0, 0})},
        {"ICN# without its mask", chunk("ICN#", Bytes(128, 0xFF))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes file = icns(c.chunk + good);
        EXPECT_EQ(sides(IconSource::fromBytes(file)), (std::vector<int> {32}));
        const std::string type(c.chunk.begin(), c.chunk.begin() + 4);
        EXPECT_TRUE(hasReason(read(file), type + ": damaged image"));
    }
    // A mask cut short is no mask: the image is opaque.
    const Bytes file = icns(good + chunk("l8mk", Bytes(1023, 0)));
    const auto picture = IconSource::fromBytes(file).imagePicture(0, 0);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->argb()[0], 0xFF040506u);
    EXPECT_TRUE(hasReason(read(file), "l8mk: damaged mask"));
}

TEST(IcnsFileHostile, ChunksThatAreNotReadableImagesAreSkippedWithAReason)
{
    const Bytes jp2 {0x00, 0x00, 0x00, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A, 1, 2, 3};
    const Bytes codestream {0xFF, 0x4F, 0xFF, 0x51, 0, 0x2F, 0, 0};
    Bytes brokenPng = pngOf(8, 0xFF000000);
    brokenPng.resize(20); // the signature, the header cut
    const Bytes others = chunk("ic08", jp2) + chunk("ic09", codestream) + chunk("ic10", Bytes(40, 'z')) +
                         chunk("ic07", brokenPng) + chunk("ic04", Bytes {'A', 'R', 'G', 'B', 0});
    const Bytes file = icns(others + chunk("ic12", pngOf(64, 0x80FF0000)));
    const IcoOfFile converted = read(file);
    EXPECT_EQ(converted.skipped,
              (std::vector<std::string> {"ic08: JPEG 2000 images are not read", "ic09: JPEG 2000 images are not read",
                                         "ic10: not a PNG image", "ic07: damaged PNG image", "ic04: damaged image"}));
    const IconSource source = IconSource::fromBytes(file);
    EXPECT_EQ(sides(source), (std::vector<int> {64}));
    const auto picture = source.imagePicture(0, 0);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->argb()[0], 0x80FF0000u);
    EXPECT_TRUE(source.icon(0));

    // Nothing readable: one icon without images, nothing drawn or saved.
    const IconSource none = IconSource::fromBytes(icns(others));
    EXPECT_EQ(none.kind(), IconFileKind::Icns);
    EXPECT_EQ(none.count(), 1);
    EXPECT_TRUE(none.images(0).empty());
    EXPECT_FALSE(none.icon(0));
    EXPECT_FALSE(none.imagePicture(0, 0));
    EXPECT_TRUE(none.originalIco(0).empty());
}

TEST(IcnsFileHostile, AHundredThousandTinyChunksAreWalkedOnlyUpToTheLimit)
{
    Bytes chunks;
    chunks.reserve(800'100 + 4000);
    for (int i = 0; i < 100'000; ++i) chunks = std::move(chunks) + chunk("pad ", {});
    const Bytes file = icns(chunks + chunk("il32", flat(32, 4, 5, 6)));

    const auto start = std::chrono::steady_clock::now();
    const IconSource source = IconSource::fromBytes(file);
    EXPECT_TRUE(source.images(0).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(hasReason(read(file), "icns: chunks past the first 1024 are not read"));

    // It is the limit that stops the walk.
    ReaderLimits limits;
    limits.icnsChunks = 100'001;
    EXPECT_EQ(sides(IconSource::fromBytes(file, limits)), (std::vector<int> {32}));
}

TEST(IcnsFileHostile, TruncatedFilesGiveTheImagesTheyStillHold)
{
    const Bytes full = icns(chunk("is32", flat(16, 1, 2, 3)) + chunk("s8mk", Bytes(256, 0x40)) +
                            chunk("ic11", pngOf(32, 0xFF445566)) + chunk("ICN#", Bytes(256, 0x0F)));
    std::size_t listedBefore = 0;
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE(cut);
        const Bytes file(full.begin(), full.begin() + static_cast<long>(cut));
        fuzz::exerciseIconSource(file.data(), file.size());
        const IconSource source = IconSource::fromBytes(file);
        const std::size_t listed = source.images(0).size();
        EXPECT_GE(listed, listedBefore);
        listedBefore = listed;
        for (std::size_t i = 0; i < listed; ++i) EXPECT_TRUE(source.imagePicture(0, static_cast<int>(i)));
    }
    EXPECT_EQ(listedBefore, 3u);
}

TEST(IcnsFileHostile, APngFileCutShortIsListedButNeverDrawn)
{
    const Bytes png = pngOf(24, 0xFF336699);
    // Cut anywhere before its last 12 bytes (IEND; without it the pixels are
    // all there and are drawn).
    for (std::size_t cut = 8; cut < png.size() - 12; ++cut) {
        SCOPED_TRACE(cut);
        const Bytes file(png.begin(), png.begin() + static_cast<long>(cut));
        const IconSource source = IconSource::fromBytes(file);
        EXPECT_EQ(source.kind(), IconFileKind::Png);
        ASSERT_EQ(source.count(), 1);
        // Up to its header there is nothing to list; after it the image is
        // listed, and it is not drawn while its data is incomplete.
        EXPECT_EQ(source.images(0).size(), cut >= 33 ? 1u : 0u);
        EXPECT_FALSE(source.icon(0));
        EXPECT_FALSE(source.imagePicture(0, 0));
        fuzz::exerciseIconSource(file.data(), file.size());
    }
    const IconSource whole = IconSource::fromBytes(png);
    ASSERT_TRUE(whole.icon(0));
    EXPECT_EQ(whole.icon(0)->drawnOver(5, 5, 0), 0x336699u);
}
