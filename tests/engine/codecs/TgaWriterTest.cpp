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

TEST(TgaWriter, EncodesEachRowInRunAndRawPackets)
{
    TempDir dir;
    ImageBuffer buffer;
    const Bgr a {1, 2, 3}, b {4, 5, 6}, c {7, 8, 9}, d {10, 11, 12};
    // The pixel packets of a one-row picture, between the ID byte and the extension area.
    const auto packets = [&](const std::vector<Bgr>& row) {
        Picture p = Picture::make(static_cast<int>(row.size()), 1);
        for (std::size_t x = 0; x < row.size(); ++x) p.setPixel(static_cast<int>(x), 0, row[x]);
        buffer.picture() = p;
        writeTga(buffer, (dir / "row.tga").string());
        const Bytes f = readBytes(dir / "row.tga");
        EXPECT_EQ(slice(f, 0, 19), (Bytes {1, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(row.size()),
                                           static_cast<std::uint8_t>(row.size() >> 8), 1, 0, 24, 0x20, 0}));
        EXPECT_EQ(readBack("magick", dir / "row.tga"), expected(p));
        return slice(f, 19, f.size() - 19 - 495 - 26);
    };
    EXPECT_EQ(packets({a, a}), (Bytes {0x81, 1, 2, 3}));
    EXPECT_EQ(packets({a, b}), (Bytes {0x01, 1, 2, 3, 4, 5, 6}));
    // A raw packet stops before a pixel equal to its last one; the row's last
    // pixel always joins the packet that reaches it.
    EXPECT_EQ(packets({a, b, b}), (Bytes {0x02, 1, 2, 3, 4, 5, 6, 4, 5, 6}));
    EXPECT_EQ(packets({a, b, c, c, c, d}), (Bytes {0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x81, 7, 8, 9, 0x00, 10, 11, 12}));

    std::vector<Bgr> row;
    for (int i = 0; i < 130; ++i) row.push_back({static_cast<std::uint8_t>(i), 0, 0});
    Bytes many = packets(row);
    ASSERT_EQ(many.size(), 1 + 128 * 3 + 1 + 2 * 3u);
    EXPECT_EQ(many[0], 0x7F);
    EXPECT_EQ(many[1 + 128 * 3], 0x01);
    EXPECT_EQ(many[2 + 128 * 3], 128);
    row.assign(300, a);
    EXPECT_EQ(packets(row), (Bytes {0xFF, 1, 2, 3, 0xFF, 1, 2, 3, 0xAB, 1, 2, 3}));

    // Rows are packed separately; PIL and ImageMagick agree on the pixels, encoded or raw.
    buffer.picture() = colourful(41, 7);
    for (int y = 0; y < 7; ++y) buffer.picture().setPixel(40, y, buffer.picture().pixel(39, y));
    writeTga(buffer, (dir / "rle.tga").string());
    buffer.params().tgaCompressed = false;
    writeTga(buffer, (dir / "raw.tga").string());
    const Bytes raw = readBytes(dir / "raw.tga");
    ASSERT_EQ(raw.size(), 19 + 41 * 7 * 3 + 495 + 26u);
    EXPECT_EQ(raw[2], 2);
    EXPECT_EQ(slice(raw, 19, 3), slice(buffer.picture().pixels, 0, 3));
    for (const char* file : {"rle.tga", "raw.tga"})
        for (const char* reader : {"magick", "pil"})
            EXPECT_EQ(readBack(reader, dir / file), expected(buffer.picture())) << reader << " " << file;
}

TEST(TgaWriter, EndsWithTheExtensionAreaAndFooter)
{
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = colourful(4, 3);
    const std::tm made = buffer.params().tgaDate;
    writeTga(buffer, (dir / "plain.tga").string());
    Bytes f = readBytes(dir / "plain.tga");
    ASSERT_EQ(f.size(), 18 + 1 + 3 * (1 + 4 * 3) + 495 + 26u);
    std::size_t area = f.size() - 26 - 495;
    const auto u16 = [&](std::size_t at) { return f[area + at] | f[area + at + 1] << 8; };
    EXPECT_EQ(u16(0), 495);
    EXPECT_EQ(u16(367), made.tm_mon + 1);
    EXPECT_EQ(u16(369), made.tm_mday);
    EXPECT_EQ(u16(371), made.tm_year + 1900);
    EXPECT_EQ(slice(f, area + 373, 6), Bytes(6, 0)); // made at midnight
    EXPECT_EQ(slice(f, area + 470, 12), (Bytes {0, 0, 0, 0, 0x10, 0x27, 0x10, 0x27, 0xF0, 0x55, 0x10, 0x27}));
    Bytes rest = slice(f, area, 495);
    for (std::size_t at : {0, 1, 367, 368, 369, 370, 371, 372, 474, 475, 476, 477, 478, 479, 480, 481}) rest[at] = 0;
    EXPECT_EQ(rest, Bytes(495, 0));
    Bytes footer {static_cast<std::uint8_t>(area), static_cast<std::uint8_t>(area >> 8), 0, 0, 0, 0, 0, 0};
    for (char ch : std::string("TRUEVISION-XFILE.")) footer.push_back(static_cast<std::uint8_t>(ch));
    footer.push_back(0);
    EXPECT_EQ(slice(f, f.size() - 26, 26), footer);

    IOParams& p = buffer.params();
    p.tgaName = "Icon";
    p.tgaAuthor = std::string(50, 'A');
    p.tgaJob = "Job";
    p.tgaDate = std::tm {};
    p.tgaDate.tm_year = 2024 - 1900;
    p.tgaDate.tm_mon = 11;
    p.tgaDate.tm_mday = 31;
    p.tgaDate.tm_hour = 23;
    p.tgaDate.tm_min = 59;
    p.tgaDate.tm_sec = 58;
    p.tgaKeyColor = {0x33, 0x22, 0x11};
    p.tgaAspect = 0.75;
    p.tgaGamma = 1.00009;
    p.tgaLeft = 300;
    p.tgaTop = 2;
    writeTga(buffer, (dir / "named.tga").string());
    f = readBytes(dir / "named.tga");
    EXPECT_EQ(slice(f, 0, 1), Bytes {5});
    EXPECT_EQ(slice(f, 8, 4), (Bytes {0x2C, 1, 2, 0}));
    EXPECT_EQ(slice(f, 18, 5), (Bytes {'I', 'c', 'o', 'n', 0}));
    area = f.size() - 26 - 495;
    EXPECT_EQ(slice(f, area + 2, 41), [] {
        Bytes b(40, 'A');
        b.push_back(0);
        return b;
    }());
    EXPECT_EQ(slice(f, area + 367, 12), (Bytes {12, 0, 31, 0, 0xE8, 7, 23, 0, 59, 0, 58, 0}));
    EXPECT_EQ(slice(f, area + 379, 4), (Bytes {'J', 'o', 'b', 0}));
    EXPECT_EQ(slice(f, area + 470, 12), (Bytes {0, 0x11, 0x22, 0x33, 0x4C, 0x1D, 0x10, 0x27, 0x10, 0x27, 0x10, 0x27}));
    EXPECT_EQ(slice(f, f.size() - 26, 4),
              (Bytes {static_cast<std::uint8_t>(area), static_cast<std::uint8_t>(area >> 8), 0, 0}));
    for (const char* reader : {"magick", "pil"})
        EXPECT_EQ(readBack(reader, dir / "named.tga"), expected(buffer.picture())) << reader;
}
