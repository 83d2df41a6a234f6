#include "codecs/Quantizer.h"
#include "codecs/Writers.h"

#include "TestSupport.h"
#include "core/Error.h"
#include "engine/codecs/WriterReadBack.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

using namespace vextral::codecs;
using vextral::test::Bytes;
using vextral::test::colourful;
using vextral::test::expected;
using vextral::test::readBack;
using vextral::test::readBytes;
using vextral::test::slice;
using vextral::test::TempDir;

TEST(BmpWriter, WritesTrueColourRowsBottomUpPaddedToFourBytes)
{
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = colourful(8, 8);
    writeBmp(buffer, (dir / "8x8.bmp").string());
    const Bytes f = readBytes(dir / "8x8.bmp");
    ASSERT_EQ(f.size(), 246u);
    EXPECT_EQ(slice(f, 0, 54),
              (Bytes {'B', 'M', 246, 0, 0, 0, 0, 0,   0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0, 1,
                      0,   24,  0,   0, 0, 0, 0, 192, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(slice(f, 54, 24), slice(buffer.picture().pixels, 7 * 24, 24));
    for (const char* reader : {"magick", "pil"})
        EXPECT_EQ(readBack(reader, dir / "8x8.bmp"), expected(buffer.picture())) << reader;

    buffer.picture() = colourful(3, 2);
    buffer.params().resolutionX = 96;
    buffer.params().resolutionY = 300;
    writeBmp(buffer, (dir / "3x2.bmp").string());
    const Bytes g = readBytes(dir / "3x2.bmp");
    ASSERT_EQ(g.size(), 54 + 2 * 12u);
    EXPECT_EQ(slice(g, 34, 12), (Bytes {24, 0, 0, 0, 0xC4, 0x0E, 0, 0, 0x23, 0x2E, 0, 0})); // 3780 and 11811 per metre
    Bytes bottom = slice(buffer.picture().pixels, 9, 9);
    bottom.insert(bottom.end(), 3, 0);
    EXPECT_EQ(slice(g, 54, 12), bottom);
    EXPECT_EQ(slice(g, 75, 3), Bytes(3, 0));
    for (const char* reader : {"magick", "pil"})
        EXPECT_EQ(readBack(reader, dir / "3x2.bmp"), expected(buffer.picture())) << reader;
}

TEST(BmpWriter, WritesPaletteDepthsWithTheirColourTables)
{
    TempDir dir;
    ImageBuffer buffer;
    // Red on white: red is the darker, so it comes first in the table.
    Picture two = Picture::make(11, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 11; ++x) two.setPixel(x, y, (x + y) % 4 ? Bgr {255, 255, 255} : Bgr {0, 0, 255});
    buffer.picture() = two;
    buffer.params().sampleBits = 1;
    writeBmp(buffer, (dir / "1.bmp").string());
    Bytes f = readBytes(dir / "1.bmp");
    ASSERT_EQ(f.size(), 62 + 3 * 4u);
    EXPECT_EQ(slice(f, 10, 1), Bytes {62});
    EXPECT_EQ(slice(f, 28, 1), Bytes {1});
    EXPECT_EQ(slice(f, 46, 8), (Bytes {2, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(slice(f, 54, 8), (Bytes {0, 0, 255, 0, 255, 255, 255, 0}));
    EXPECT_EQ(slice(f, 62, 4), (Bytes {0b1101'1101, 0b1100'0000, 0, 0})); // row 2 first: x = 2, 6, 10 red
    for (const char* reader : {"magick", "pil"}) EXPECT_EQ(readBack(reader, dir / "1.bmp"), expected(two)) << reader;

    // A 1-bit picture stays black and white; the 12-byte core header has 3-byte entries.
    buffer.picture() = Picture::make(9, 2, 1);
    buffer.picture().setBit(8, 0, true);
    buffer.params().bmpVersion = 2;
    writeBmp(buffer, (dir / "core.bmp").string());
    f = readBytes(dir / "core.bmp");
    ASSERT_EQ(f.size(), 14 + 12 + 6 + 2 * 4u);
    EXPECT_EQ(slice(f, 10, 22), (Bytes {32, 0, 0, 0, 12, 0, 0, 0, 9, 0, 2, 0, 1, 0, 1, 0, 0, 0, 0, 255, 255, 255}));
    EXPECT_EQ(slice(f, 32, 8), (Bytes {0, 0, 0, 0, 0, 0x80, 0, 0}));
    for (const char* reader : {"magick", "pil"})
        EXPECT_EQ(readBack(reader, dir / "core.bmp"), expected(buffer.picture())) << reader;

    // 256 and 16 colours from the quantiser, with the 64-byte header too.
    buffer.picture() = colourful(7, 5);
    buffer.params().sampleBits = 8;
    buffer.params().samples = 1;
    for (int version : {1, 3}) {
        for (int depth : {8, 4}) {
            buffer.params().bmpVersion = static_cast<std::uint8_t>(version);
            buffer.params().sampleBits = depth;
            const Quantizer q(buffer.picture(), 1 << depth);
            const std::string name = std::to_string(version) + "-" + std::to_string(depth) + ".bmp";
            writeBmp(buffer, (dir / name).string());
            f = readBytes(dir / name);
            const std::size_t info = version == 3 ? 64 : 40, offset = 14 + info + 4 * (1u << depth);
            const std::size_t row = depth == 8 ? 8 : 4;
            ASSERT_EQ(f.size(), offset + 5 * row) << name;
            EXPECT_EQ(f[10] | f[11] << 8, static_cast<int>(offset)) << name;
            EXPECT_EQ(slice(f, 14, 1), Bytes {static_cast<std::uint8_t>(info)}) << name;
            EXPECT_EQ(slice(f, 28, 1), Bytes {static_cast<std::uint8_t>(depth)}) << name;
            EXPECT_EQ(slice(f, 54, info - 40), Bytes(info - 40, 0)) << name;
            const std::vector<Bgr> table = q.paddedTable(1 << depth);
            EXPECT_EQ(slice(f, 14 + info + 4, 4), (Bytes {table[1].b, table[1].g, table[1].r, 0})) << name;
            const Bgr last = buffer.picture().pixel(6, 4);
            EXPECT_EQ(f[offset + (depth == 8 ? 6 : 3)], depth == 8 ? q.index(last) : q.index(last) << 4) << name;
            // ImageMagick 6 misplaces the colour table after a 64-byte header.
            for (const char* reader : {"magick", "pil"}) {
                if (version == 3 && reader[0] == 'm') continue;
                EXPECT_EQ(readBack(reader, dir / name),
                          expected(buffer.picture(), [&](Bgr c) { return q.table()[q.index(c)]; }))
                    << reader << " " << name;
            }
        }
    }
}

// What every writer shares: the empty picture, the file that cannot be made,
// and a progress callback that stops the rows.
TEST(Writers, KeepTheWriterContract)
{
    TempDir dir;
    const std::vector<std::pair<const char*, void (*)(ImageBuffer&, const std::string&)>> writers = {
        {"bmp", writeBmp}, {"pcx", writePcx}, {"tga", writeTga}, {"tif", writeTiff}};
    for (const auto& [ext, write] : writers) {
        ImageBuffer buffer;
        buffer.params().pcxCompressed = buffer.params().tgaCompressed = false;
        const std::string file = (dir / (std::string("a.") + ext)).string();
        try {
            write(buffer, file);
            ADD_FAILURE() << ext << ": empty picture written";
        } catch (const vextral::Error& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot write an empty picture to " + file);
        }
        EXPECT_FALSE(std::filesystem::exists(file));

        buffer.picture() = colourful(5, 4);
        const std::string lost = (dir / "no such folder" / "b").string() + ext;
        try {
            write(buffer, lost);
            ADD_FAILURE() << ext << ": wrote into a missing folder";
        } catch (const vextral::Error& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + lost + ": No such file or directory");
        }

        // Stopped before the third row: two rows are written, nothing after them.
        std::vector<int> seen;
        buffer.progress = [&](int percent) {
            seen.push_back(percent);
            return seen.size() < 3;
        };
        write(buffer, file);
        EXPECT_EQ(seen, (std::vector<int> {0, 25, 50})) << ext;
        const Bytes f = readBytes(file);
        const std::map<std::string, Bytes> start = {
            {"bmp", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 5, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0}},
            {"pcx", {10, 5, 0, 8}},
            {"tga", {1, 0, 2}},
            {"tif", {0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0}}};
        const Bytes& head = start.at(ext);
        EXPECT_EQ(slice(f, 0, head.size()), head) << ext;
        const std::map<std::string, std::size_t> size = {
            {"bmp", 54 + 2 * 16}, {"pcx", 128 + 2 * 3 * 6}, {"tga", 19 + 2 * 15}, {"tif", 8 + 12 + 2 * 15}};
        EXPECT_EQ(f.size(), size.at(ext)) << ext;

        buffer.progress = nullptr;
        write(buffer, file);
        EXPECT_EQ(readBack("magick", file), expected(buffer.picture())) << ext;
    }
}
