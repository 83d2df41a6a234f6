#include "codecs/Quantizer.h"
#include "codecs/Writers.h"

#include "TestSupport.h"
#include "engine/codecs/WriterReadBack.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

using namespace vextral::codecs;
using vextral::test::Bytes;
using vextral::test::colourful;
using vextral::test::expected;
using vextral::test::readBack;
using vextral::test::readBytes;
using vextral::test::slice;
using vextral::test::TempDir;

namespace {

Picture filled(int w, int h, Bgr c)
{
    Picture p = Picture::make(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.setPixel(x, y, c);
    return p;
}

} // namespace

TEST(PcxWriter, WritesTrueColourAsRunLengthPlaneLines)
{
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = filled(3, 2, {0, 0, 255});
    writePcx(buffer, (dir / "red.pcx").string());
    const Bytes f = readBytes(dir / "red.pcx");
    ASSERT_EQ(f.size(), 128u + 2 * 9);
    EXPECT_EQ(slice(f, 0, 16), (Bytes {10, 5, 1, 8, 0, 0, 0, 0, 2, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(slice(f, 64, 6), (Bytes {0, 3, 4, 0, 0, 0}));
    EXPECT_EQ(slice(f, 16, 48), Bytes(48, 0));
    EXPECT_EQ(slice(f, 70, 58), Bytes(58, 0));
    const Bytes row {0xC3, 0xFF, 0, 0xC3, 0, 0, 0xC3, 0, 0};
    EXPECT_EQ(slice(f, 128, 9), row);
    EXPECT_EQ(slice(f, 137, 9), row);
    for (const char* reader : {"magick", "pil"})
        EXPECT_EQ(readBack(reader, dir / "red.pcx"), expected(buffer.picture())) << reader;

    // Runs stop at 63; values from 0xC0 up are runs even alone.
    Picture p = filled(102, 1, {9, 9, 5});
    p.setPixel(100, 0, {1, 2, 0xC8});
    p.setPixel(101, 0, {1, 0xC8, 7});
    buffer.picture() = p;
    buffer.params().resolutionX = 0x12345;
    writePcx(buffer, (dir / "runs.pcx").string());
    const Bytes g = readBytes(dir / "runs.pcx");
    EXPECT_EQ(slice(g, 12, 2), (Bytes {0x45, 0x23}));
    const Bytes red {0xFF, 5, 0xE5, 5, 0xC1, 0xC8, 7};
    const Bytes green {0xFF, 9, 0xE5, 9, 2, 0xC1, 0xC8};
    const Bytes blue {0xFF, 9, 0xE5, 9, 0xC2, 1};
    ASSERT_EQ(g.size(), 128 + red.size() + green.size() + blue.size());
    EXPECT_EQ(slice(g, 128, 7), red);
    EXPECT_EQ(slice(g, 135, 7), green);
    EXPECT_EQ(slice(g, 142, 6), blue);

    // Raw lines are padded to the even line length.
    buffer.picture() = colourful(5, 3);
    buffer.params().pcxCompressed = false;
    writePcx(buffer, (dir / "raw.pcx").string());
    const Bytes r = readBytes(dir / "raw.pcx");
    ASSERT_EQ(r.size(), 128u + 3 * 3 * 6);
    EXPECT_EQ(r[2], 0);
    EXPECT_EQ(slice(r, 66, 2), (Bytes {6, 0}));
    const std::uint8_t* px = buffer.picture().row(2);
    EXPECT_EQ(slice(r, 128 + 2 * 18, 18), (Bytes {px[2], px[5], px[8], px[11], px[14], 0, px[1], px[4], px[7], px[10],
                                                  px[13], 0, px[0], px[3], px[6], px[9], px[12], 0}));
    EXPECT_EQ(readBack("magick", dir / "raw.pcx"), expected(buffer.picture())); // PIL reads encoded files only
    buffer.params().pcxCompressed = true;
    buffer.picture() = colourful(37, 9);
    writePcx(buffer, (dir / "big.pcx").string());
    for (const char* reader : {"magick", "pil"})
        EXPECT_EQ(readBack(reader, dir / "big.pcx"), expected(buffer.picture())) << reader;
}

TEST(PcxWriter, WritesPaletteDepthsAfterAGifRead)
{
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = colourful(7, 5);
    buffer.params().samples = 1; // what the GIF reader leaves
    const Quantizer q256(buffer.picture(), 256);
    const auto via = [](const Quantizer& q) { return [&q](Bgr c) { return q.table()[q.index(c)]; }; };

    writePcx(buffer, (dir / "p8.pcx").string());
    const Bytes f = readBytes(dir / "p8.pcx");
    EXPECT_EQ(f[3], 8);
    EXPECT_EQ(slice(f, 65, 5), (Bytes {1, 8, 0, 1, 0}));
    ASSERT_GE(f.size(), 128u + 769);
    EXPECT_EQ(f[f.size() - 769], 12);
    const std::vector<Bgr> table = q256.paddedTable(256);
    EXPECT_EQ(slice(f, f.size() - 768, 3), (Bytes {table[0].r, table[0].g, table[0].b}));
    EXPECT_EQ(slice(f, f.size() - 3, 3), (Bytes {table[255].r, table[255].g, table[255].b}));
    for (const char* reader : {"magick", "pil"})
        EXPECT_EQ(readBack(reader, dir / "p8.pcx"), expected(buffer.picture(), via(q256))) << reader;

    // 16 colours, two pixels a byte: 7 pixels take 4 bytes a line.
    buffer.params().sampleBits = 4;
    const Quantizer q16(buffer.picture(), 16);
    writePcx(buffer, (dir / "p4.pcx").string());
    const Bytes g = readBytes(dir / "p4.pcx");
    EXPECT_EQ(g[3], 4);
    EXPECT_EQ(slice(g, 65, 5), (Bytes {1, 4, 0, 1, 0}));
    EXPECT_EQ(slice(g, 16 + 3 * 15, 3),
              (Bytes {q16.paddedTable(16)[15].r, q16.paddedTable(16)[15].g, q16.paddedTable(16)[15].b}));
    EXPECT_EQ(readBack("magick", dir / "p4.pcx"), expected(buffer.picture(), via(q16)));

    // Two colours keep their own colours in the header, the darker first.
    Picture two = filled(10, 2, {255, 255, 255});
    two.setPixel(1, 0, {0, 0, 255});
    two.setPixel(9, 1, {0, 0, 255});
    buffer.picture() = two;
    buffer.params().sampleBits = 1;
    writePcx(buffer, (dir / "p1.pcx").string());
    const Bytes h = readBytes(dir / "p1.pcx");
    EXPECT_EQ(slice(h, 0, 4), (Bytes {10, 5, 1, 1}));
    EXPECT_EQ(slice(h, 16, 6), (Bytes {255, 0, 0, 255, 255, 255}));
    EXPECT_EQ(slice(h, 65, 5), (Bytes {1, 2, 0, 1, 0}));
    // Rows 10111111 11000000 and 11111111 10000000: 0xBF is below 0xC0 and goes alone.
    ASSERT_EQ(h.size(), 128u + 6);
    EXPECT_EQ(slice(h, 128, 6), (Bytes {0xBF, 0xC1, 0xC0, 0xC1, 0xFF, 0x80}));
    // Readers show 1-bit PCX files as black (0) and white (1), whatever the header says.
    EXPECT_EQ(readBack("pil", dir / "p1.pcx"), expected(two, [](Bgr c) { return c.b == 255 ? c : Bgr {}; }));
}
