// The GIF LZW coders. Encoded streams are checked by a plain decoder written
// here from the format description (it also reports each code's width) and by PIL.
#include "codecs/GifLzw.h"
#include "core/Error.h"
#include "engine/codecs/PilGif.h"

#include <gtest/gtest.h>

#include <random>

namespace vextral::codecs {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Code {
    int value, width;
};
struct Reference {
    std::vector<Code> codes;
    Bytes values;
    std::vector<std::size_t> blocks, tableAtClear; // sub-block lengths; table size at each clear
};

Reference referenceDecode(const Bytes& s)
{
    Reference r;
    Bytes data;
    std::size_t pos = 1;
    while (pos < s.size() && s[pos] != 0) {
        r.blocks.push_back(s[pos]);
        data.insert(data.end(), s.begin() + static_cast<std::ptrdiff_t>(pos + 1),
                    s.begin() + static_cast<std::ptrdiff_t>(pos + 1 + s[pos]));
        pos += 1 + s[pos];
    }
    EXPECT_EQ(pos + 1, s.size()) << "a zero-length block ends the data";
    const int clear = 1 << s[0];
    std::vector<Bytes> table;
    int width = s[0] + 1, previous = -1;
    for (std::size_t bit = 0; bit + static_cast<std::size_t>(width) <= data.size() * 8;) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
        r.codes.push_back({code, width});
        if (code == clear + 1) break;
        if (code == clear) {
            r.tableAtClear.push_back(table.size());
            table.clear();
            for (int i = 0; i < clear + 2; ++i) table.push_back(Bytes {static_cast<std::uint8_t>(i)});
            width = s[0] + 1;
            previous = -1;
            continue;
        }
        Bytes entry = code < static_cast<int>(table.size()) ? table[static_cast<std::size_t>(code)]
                                                            : table[static_cast<std::size_t>(previous)];
        if (code >= static_cast<int>(table.size())) entry.push_back(entry[0]);
        if (previous >= 0) {
            table.push_back(table[static_cast<std::size_t>(previous)]);
            table.back().push_back(entry[0]);
        }
        r.values.insert(r.values.end(), entry.begin(), entry.end());
        if (static_cast<int>(table.size()) == (1 << width) && width < 12) ++width;
        previous = code;
    }
    return r;
}

Bytes encode(const Bytes& pixels, int width, int height, int bits, bool interlaced = false)
{
    Bytes out;
    encodeGif(out, height, width, interlaced, pixels.data(), bits);
    return out;
}

// PIL reads the stream, inside a GIF with a 2^bits table, as these indices.
void expectPilDecodes(const Bytes& stream, const Bytes& pixels, int w, int h, int bits, bool interlaced = false)
{
    const auto lo = [](int v) { return static_cast<std::uint8_t>(v); };
    Bytes f = {
        'G', 'I', 'F', '8', '9', 'a', lo(w), lo(w >> 8), lo(h), lo(h >> 8), lo(0x80 | (bits - 1) << 4 | (bits - 1)),
        0,   0};
    for (int i = 0; i < (1 << bits); ++i) f.insert(f.end(), {lo(i), lo(255 - i), 7}); // not grey: PIL keeps indices
    f.insert(f.end(), {0x2C, 0, 0, 0, 0, lo(w), lo(w >> 8), lo(h), lo(h >> 8), lo(interlaced ? 0x40 : 0)});
    f.insert(f.end(), stream.begin(), stream.end());
    f.push_back(0x3B);
    test::TempDir dir;
    test::writeBytes(dir / "lzw.gif", f);
    const test::PilImage image = test::pilRead(dir / "lzw.gif");
    EXPECT_EQ(image.width, w);
    EXPECT_EQ(image.indices, pixels);
}

// 0, 0, 1, 1, 2, 2, ...: no pair repeats, so every pixel goes out as one code.
Bytes distinctPairs(int n)
{
    Bytes p;
    for (int i = 0; i < n; ++i) p.push_back(static_cast<std::uint8_t>(i / 2));
    return p;
}

Bytes randomPixels(std::size_t n, int bits, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes p(n);
    for (auto& v : p) v = static_cast<std::uint8_t>(rng() & ((1u << bits) - 1));
    return p;
}

TEST(GifLzwEncoder, OneBitAndSinglePixelStreams)
{
    // Minimum code size 2: clear 4, pixels 0 and 1, end 5, three bits each.
    EXPECT_EQ(encode({0, 1}, 2, 1, 1), (Bytes {2, 2, 0x44, 0x0A, 0}));
    expectPilDecodes(encode({0, 1}, 2, 1, 1), {0, 1}, 2, 1, 1);
    // One pixel at 8 bits: 256, 7, 257 in nine bits each.
    EXPECT_EQ(encode({7}, 1, 1, 8), (Bytes {8, 4, 0x00, 0x0F, 0x04, 0x04, 0}));
}

TEST(GifLzwEncoder, CodeSizeGrowsOneCodeLate)
{
    const Bytes pixels = distinctPairs(512);
    const Reference r = referenceDecode(encode(pixels, 512, 1, 8));
    ASSERT_EQ(r.codes.size(), 514u); // clear, 512 pixels, end
    // The 255th pixel code goes out as next code passes 511, still at 9 bits.
    EXPECT_EQ(r.codes[255].width, 9);
    EXPECT_EQ(r.codes[256].width, 10);
    EXPECT_EQ(r.codes[513].value, 257);
    EXPECT_EQ(r.values, pixels);
    expectPilDecodes(encode(pixels, 512, 1, 8), pixels, 512, 1, 8);
}

TEST(GifLzwEncoder, ClearsWhenNextCodeWouldReach4095)
{
    const Bytes pixels = randomPixels(40000, 8, 1);
    const Bytes stream = encode(pixels, 200, 200, 8);
    const Reference r = referenceDecode(stream);
    EXPECT_EQ(r.values, pixels);
    int clears = 0, highest = 0;
    for (std::size_t i = 1; i + 1 < r.codes.size(); ++i) {
        if (r.codes[i].value != 256) {
            highest = std::max(highest, r.codes[i].value);
            continue;
        }
        ++clears;
        EXPECT_EQ(r.codes[i].width, 12) << "a clear goes out at the current size";
        EXPECT_EQ(r.codes[i + 1].width, 9) << "and the size starts over";
        EXPECT_EQ(r.tableAtClear[static_cast<std::size_t>(clears)], 4095u) << "when codes 0 to 4094 are taken";
    }
    EXPECT_GE(clears, 2);
    EXPECT_LE(highest, 4094);
    expectPilDecodes(stream, pixels, 200, 200, 8);
}

TEST(GifLzwEncoder, SubBlocksHold254Bytes)
{
    // 223 pixel codes plus clear and end, 9 bits each: 254 bytes; one more: 255.
    EXPECT_EQ(referenceDecode(encode(distinctPairs(223), 223, 1, 8)).blocks, (std::vector<std::size_t> {254}));
    EXPECT_EQ(referenceDecode(encode(distinctPairs(224), 224, 1, 8)).blocks, (std::vector<std::size_t> {254, 1}));
    expectPilDecodes(encode(distinctPairs(224), 224, 1, 8), distinctPairs(224), 224, 1, 8);
}

TEST(GifLzwEncoder, InterlacedImageGoesOutInPassOrder)
{
    const Bytes pixels = randomPixels(40, 4, 7);
    Bytes walked;
    for (int y : {0, 8, 4, 2, 6, 1, 3, 5, 7, 9})
        walked.insert(walked.end(), pixels.begin() + y * 4, pixels.begin() + y * 4 + 4);
    EXPECT_EQ(encode(pixels, 4, 10, 4, true), encode(walked, 4, 10, 4));
    expectPilDecodes(encode(pixels, 4, 10, 4, true), pixels, 4, 10, 4, true);
}

TEST(GifLzwRoundTrip, EveryDepthAndShape)
{
    for (int bits = 1; bits <= 8; ++bits) {
        for (const auto& [w, h] : {std::pair {1, 1}, {17, 13}, {300, 250}}) {
            const bool interlaced = w == 17;
            const Bytes pixels = randomPixels(static_cast<std::size_t>(w * h), bits, static_cast<unsigned>(bits + w));
            const Bytes stream = encode(pixels, w, h, bits, interlaced);
            Bytes back(pixels.size() + 1, 0xEE);
            ByteReader in {stream.data(), stream.size(), 0};
            EXPECT_EQ(decodeGif(in, h, w, interlaced, back.data()), pixels.size());
            EXPECT_EQ(in.pos, stream.size());
            back.pop_back();
            EXPECT_EQ(back, pixels) << bits << " bits, " << w << " x " << h;
        }
    }
    // One value throughout makes the longest strings the table can hold.
    const Bytes flat(1 << 20, 3);
    const Bytes stream = encode(flat, 1024, 1024, 8);
    Bytes back(flat.size());
    ByteReader in {stream.data(), stream.size(), 0};
    decodeGif(in, 1024, 1024, false, back.data());
    EXPECT_EQ(back, flat);
}

// Codes packed least significant bit first as the data of one sub-block.
Bytes pack(int minSize, const std::vector<Code>& codes)
{
    Bytes data;
    std::uint32_t acc = 0;
    int n = 0;
    for (const Code& c : codes) {
        acc |= static_cast<std::uint32_t>(c.value) << n;
        for (n += c.width; n >= 8; n -= 8, acc >>= 8) data.push_back(static_cast<std::uint8_t>(acc));
    }
    if (n > 0) data.push_back(static_cast<std::uint8_t>(acc));
    Bytes out = {static_cast<std::uint8_t>(minSize), static_cast<std::uint8_t>(data.size())};
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(0);
    return out;
}

TEST(GifLzwDecoder, DataThatEndsEarlyFillsWhatItHas)
{
    // Clear, 1, 2, 3, 1 and no end code: four values, the rest untouched.
    const Bytes stream = pack(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 3}});
    Bytes pixels(10, 9);
    ByteReader in {stream.data(), stream.size(), 0};
    EXPECT_EQ(decodeGif(in, 2, 5, false, pixels.data()), 4u);
    EXPECT_EQ(pixels, (Bytes {1, 2, 3, 1, 9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(in.pos, stream.size());
    // No data at all: nothing read.
    ByteReader none {nullptr, 0, 0};
    EXPECT_EQ(decodeGif(none, 2, 2, false, pixels.data()), 0u);
}

TEST(GifLzwDecoder, InterlacedFillStaysInsideTheImage)
{
    // Four rows of two fill rows 0, 2, 1, 3; three values only row 0 and half of row 2.
    Bytes pixels(12, 0);
    Bytes stream = encode({10, 11, 20, 21, 30, 31, 40, 41}, 8, 1, 8);
    ByteReader in {stream.data(), stream.size(), 0};
    decodeGif(in, 4, 2, true, pixels.data());
    EXPECT_EQ(pixels, (Bytes {10, 11, 30, 31, 20, 21, 40, 41, 0, 0, 0, 0}));
    pixels.assign(12, 0);
    stream = encode({10, 11, 20}, 3, 1, 8);
    in = {stream.data(), stream.size(), 0};
    EXPECT_EQ(decodeGif(in, 4, 2, true, pixels.data()), 3u);
    EXPECT_EQ(pixels, (Bytes {10, 11, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0}));
    // One row high: row 0 only, and the rest of the data is skipped.
    pixels.assign(6, 0);
    stream = encode({1, 2, 3, 4, 5, 6}, 6, 1, 8);
    in = {stream.data(), stream.size(), 0};
    EXPECT_EQ(decodeGif(in, 1, 3, true, pixels.data()), 3u);
    EXPECT_EQ(pixels, (Bytes {1, 2, 3, 0, 0, 0}));
    EXPECT_EQ(in.pos, stream.size());
}

TEST(GifLzwDecoder, DamagedDataRaisesUnrecognizedGif)
{
    const auto expectDamaged = [](const Bytes& stream) {
        Bytes pixels(64);
        ByteReader in {stream.data(), stream.size(), 0};
        try {
            decodeGif(in, 1, 64, false, pixels.data());
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "unrecognized GIF");
        }
    };
    Bytes cut = encode(randomPixels(64, 8, 5), 64, 1, 8);
    cut.resize(cut.size() - 3);
    expectDamaged(cut); // a sub-block longer than what is left
    // Clear, 0, then the undefined 7 twice makes entry 7 = (7, 0): reading it loops.
    expectDamaged(pack(2, {{4, 3}, {0, 3}, {7, 3}, {7, 3}, {7, 4}}));
    // Entries 11 and 12 naming each other.
    expectDamaged(pack(3, {{8, 4}, {0, 4}, {12, 4}, {11, 4}, {11, 4}, {11, 4}}));
    expectDamaged({12, 1, 0, 0});             // indices wider than a byte
    expectDamaged(pack(2, {{4, 3}, {6, 3}})); // a string starting with a table code
}

} // namespace
} // namespace vextral::codecs
