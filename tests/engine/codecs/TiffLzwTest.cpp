// The TIFF LZW decoder on strips written by libtiff (through PIL) and on
// hand-packed code streams.
#include "codecs/TiffLzw.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vextral::codecs {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Code {
    int value, width;
};

// Codes packed most significant bit first.
Bytes packMsb(const std::vector<Code>& codes)
{
    Bytes out;
    std::uint32_t acc = 0;
    int n = 0;
    for (const Code& c : codes) {
        acc = acc << c.width | static_cast<std::uint32_t>(c.value);
        n += c.width;
        while (n >= 8) {
            out.push_back(static_cast<std::uint8_t>(acc >> (n - 8)));
            n -= 8;
        }
    }
    if (n > 0) out.push_back(static_cast<std::uint8_t>(acc << (8 - n)));
    return out;
}

// Decodes rows of rowLength bytes until count rows, then releases the state.
Bytes decodeRows(const Bytes& strip, std::size_t rowLength, std::size_t rows)
{
    std::unique_ptr<TiffLzwState> state;
    Bytes out;
    for (std::size_t i = 0; i < rows; ++i) {
        const std::uint8_t* row = decodeTiffLzw(strip.data(), strip.size(), rowLength, state);
        EXPECT_NE(row, nullptr);
        if (!row) break;
        out.insert(out.end(), row, row + rowLength);
    }
    EXPECT_EQ(decodeTiffLzw(nullptr, 0, rowLength, state), nullptr);
    EXPECT_EQ(state, nullptr);
    return out;
}

TEST(TiffLzwDecoder, DecodesStripsThatLibtiffWrote)
{
    test::TempDir dir;
    const int w = 100, h = 300;
    Bytes pixels;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            pixels.push_back(static_cast<std::uint8_t>(y < 150 ? (x * 7 + y * 3 + (x * y) % 11) : (x / 10 + y / 50)));
    }
    test::writeBytes(dir / "raw", pixels);
    // PIL hands the compression to libtiff; it prints each strip's offset and length.
    const std::string script = "import sys\nfrom PIL import Image\n"
                               "d = sys.argv[1]\n"
                               "im = Image.frombytes('L', (100, 300), open(d + '/raw', 'rb').read())\n"
                               "im.save(d + '/s.tif', compression='tiff_lzw', strip_size=3700)\n"
                               "t = Image.open(d + '/s.tif')\n"
                               "assert t.tag_v2.get(317) in (None, 1)\n"
                               "print(t.tag_v2[278])\n"
                               "for o, n in zip(t.tag_v2[273], t.tag_v2[279]): print(o, n)\n";
    std::string out;
    ASSERT_EQ(test::runCommand("/usr/bin/python3 -c " + test::shellQuote(script) + " " +
                                   test::shellQuote(dir.path().string()),
                               &out),
              0);
    const Bytes file = test::readBytes(dir / "s.tif");
    std::istringstream strips(out);
    std::size_t rowsPerStrip = 0, offset, length, row = 0, count = 0;
    strips >> rowsPerStrip;
    EXPECT_EQ(rowsPerStrip, 37u);
    while (strips >> offset >> length) {
        ASSERT_LE(offset + length, file.size());
        const Bytes strip(file.begin() + static_cast<std::ptrdiff_t>(offset),
                          file.begin() + static_cast<std::ptrdiff_t>(offset + length));
        const std::size_t rows = std::min<std::size_t>(rowsPerStrip, h - row);
        const Bytes decoded = decodeRows(strip, w, rows);
        EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), pixels.begin() + static_cast<std::ptrdiff_t>(row * w)))
            << "strip at row " << row;
        row += rows;
        ++count;
    }
    EXPECT_EQ(row, static_cast<std::size_t>(h));
    EXPECT_EQ(count, 9u);
}

TEST(TiffLzwDecoder, CodeWidthGrowsRightAfterEntry510)
{
    // Clear, then 254 single bytes at 9 bits: the 253 entries they make bring
    // next code to 511, so the 255th byte comes at 10 bits, then the end.
    std::vector<Code> codes = {{256, 9}};
    Bytes want;
    for (int i = 0; i < 254; ++i) {
        codes.push_back({i, 9});
        want.push_back(static_cast<std::uint8_t>(i));
    }
    codes.push_back({77, 10});
    want.push_back(77);
    codes.push_back({257, 10});
    EXPECT_EQ(decodeRows(packMsb(codes), want.size(), 1), want);
    // One byte more at 9 bits is read wrongly.
    codes[255].width = 9;
    codes[256].width = 9;
    EXPECT_NE(decodeRows(packMsb(codes), want.size(), 1), want);
}

TEST(TiffLzwDecoder, RowsContinueAcrossCallsAndStringsAcrossRows)
{
    // "ABABABA": codes A, B, 258 (AB), 260 (ABA) as the code being made.
    const Bytes strip = packMsb({{256, 9}, {'A', 9}, {'B', 9}, {258, 9}, {260, 9}, {257, 9}});
    EXPECT_EQ(decodeRows(strip, 7, 1), (Bytes {'A', 'B', 'A', 'B', 'A', 'B', 'A'}));
    // Three bytes a row: the string ABA of code 260 spans two rows.
    EXPECT_EQ(decodeRows(strip, 3, 3), (Bytes {'A', 'B', 'A', 'B', 'A', 'B', 'A', 0, 0}));
    // Later calls read the first input, whatever they pass.
    std::unique_ptr<TiffLzwState> state;
    const Bytes other = {1, 2, 3};
    EXPECT_EQ(decodeTiffLzw(strip.data(), strip.size(), 2, state)[0], 'A');
    EXPECT_EQ(decodeTiffLzw(other.data(), other.size(), 2, state)[1], 'B');
    decodeTiffLzw(nullptr, 0, 2, state);
    EXPECT_EQ(state, nullptr);
}

TEST(TiffLzwDecoder, ClearResetsTheTableAndTheWidth)
{
    std::vector<Code> codes = {{256, 9}};
    Bytes want;
    // Fill the table up to width 12 and then some.
    for (int i = 0; i < 2100; ++i) {
        const int width = i < 254 ? 9 : i < 766 ? 10 : i < 1790 ? 11 : 12;
        codes.push_back({i % 256, width});
        want.push_back(static_cast<std::uint8_t>(i));
    }
    codes.push_back({256, 12});
    codes.push_back({'x', 9});
    codes.push_back({'y', 9});
    codes.push_back({258, 9}); // xy after the reset
    codes.push_back({257, 9});
    want.insert(want.end(), {'x', 'y', 'x', 'y'});
    EXPECT_EQ(decodeRows(packMsb(codes), want.size(), 1), want);
}

TEST(TiffLzwDecoder, DamagedStripsGiveZerosNotCrashes)
{
    // Codes past the end read as zeros; undefined codes and double clears do no harm.
    EXPECT_EQ(decodeRows(packMsb({{256, 9}, {'A', 9}}), 4, 2), (Bytes {'A', 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(decodeRows(packMsb({{256, 9}, {256, 9}, {400, 9}, {300, 9}, {'Q', 9}}), 3, 1).size(), 3u);
    Bytes noise(5000);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 131 + (i >> 3));
    for (const std::size_t rowLength : {1u, 4096u}) EXPECT_EQ(decodeRows(noise, rowLength, 50).size(), 50 * rowLength);
    // A strip of one code between a clear and an end.
    std::unique_ptr<TiffLzwState> state;
    const Bytes strip = packMsb({{256, 9}, {'Z', 9}, {257, 9}});
    EXPECT_EQ(decodeTiffLzw(strip.data(), strip.size(), 1, state)[0], 'Z');
    EXPECT_EQ(decodeTiffLzw(nullptr, 0, 1, state), nullptr);
}

} // namespace
} // namespace vextral::codecs
