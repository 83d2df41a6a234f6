#include "codecs/Writers.h"

#include "TestSupport.h"
#include "engine/codecs/WriterReadBack.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <sstream>

using namespace vextral::codecs;
using vextral::test::Bytes;
using vextral::test::colourful;
using vextral::test::expected;
using vextral::test::readBack;
using vextral::test::readBytes;
using vextral::test::slice;
using vextral::test::TempDir;

namespace {

// The same description from libtiff's tiffinfo, which must also read the
// file without a warning.
std::string readBackWithLibtiff(const std::filesystem::path& file)
{
    std::string out;
    if (vextral::test::runCommand("tiffinfo -d " + vextral::test::shellQuote(file.string()) + " 2>&1", &out) != 0)
        return out;
    if (out.find("arning") != std::string::npos || out.find("rror") != std::string::npos) return out;
    std::istringstream in(out);
    std::string word, w, h, text;
    while (in >> word && word != "Width:") {}
    in >> w >> word >> word >> h;
    while (in >> word && word != "0:") {}
    text = w + " x " + h + ":";
    for (int i = 0; in >> word; ++i) text += (i % 3 ? "" : " ") + word;
    return text;
}

} // namespace

namespace {

Bytes le(std::uint32_t v, int n)
{
    Bytes b;
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return b;
}

// A directory: entry count, 12-byte entries (a value of 4 bytes or less in
// place, left-justified), next offset 0.
Bytes directory(const std::vector<std::array<std::uint32_t, 4>>& entries)
{
    Bytes d = le(static_cast<std::uint32_t>(entries.size()), 2);
    for (const auto& [tag, type, count, value] : entries) {
        for (const Bytes& part : {le(tag, 2), le(type, 2), le(count, 4), le(value, 4)})
            d.insert(d.end(), part.begin(), part.end());
    }
    d.insert(d.end(), 4, 0);
    return d;
}

} // namespace

TEST(TiffWriter, WritesOneRgbStripWithTheDirectoryLast)
{
    TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = colourful(3, 2);
    writeTiff(buffer, (dir / "plain.tif").string());
    Bytes want {'I', 'I', 42, 0, 70, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            want.insert(want.end(), {buffer.picture().pixel(x, y).r, buffer.picture().pixel(x, y).g,
                                     buffer.picture().pixel(x, y).b});
    for (const auto& [n, d] : {std::pair {0u, 1u}, {0u, 1u}, {0u, 10000u}, {0u, 10000u}}) {
        for (const Bytes& part : {le(n, 4), le(d, 4)}) want.insert(want.end(), part.begin(), part.end());
    }
    const Bytes dir0 = directory({{256, 4, 1, 3},
                                  {257, 4, 1, 2},
                                  {258, 4, 3, 8},
                                  {259, 3, 1, 1},
                                  {262, 3, 1, 2},
                                  {273, 4, 1, 20},
                                  {277, 3, 1, 3},
                                  {278, 4, 1, 2},
                                  {279, 4, 1, 18},
                                  {282, 5, 1, 38},
                                  {283, 5, 1, 46},
                                  {286, 5, 1, 54},
                                  {287, 5, 1, 62},
                                  {296, 3, 1, 2}});
    want.insert(want.end(), dir0.begin(), dir0.end());
    EXPECT_EQ(readBytes(dir / "plain.tif"), want);

    // Short texts sit in their entries, longer ones before the pixels or after
    // them; an odd end gets a pad byte before the directory.
    buffer.picture() = colourful(1, 1);
    IOParams& p = buffer.params();
    p.tiffDocumentName = "Doc";
    p.tiffDescription = "A longer text";
    p.tiffPageName = "P1";
    p.resolutionX = 72;
    p.resolutionY = 96;
    p.tiffLeft = 2;
    p.tiffTop = 1;
    writeTiff(buffer, (dir / "texts.tif").string());
    const Bytes f = readBytes(dir / "texts.tif");
    ASSERT_EQ(f.size(), 70 + 2 + 17 * 12 + 4u);
    EXPECT_EQ(slice(f, 4, 4), le(70, 4));
    EXPECT_EQ(slice(f, 20, 14), Bytes(p.tiffDescription.c_str(), p.tiffDescription.c_str() + 14));
    EXPECT_EQ(slice(f, 34, 3), (Bytes {0xC8, 0, 0}));
    EXPECT_EQ(slice(f, 37, 33), (Bytes {72,   0, 0, 0,    1,    0, 0, 0,    96,   0, 0, 0,    1,    0, 0, 0, 0x20,
                                        0x4E, 0, 0, 0x10, 0x27, 0, 0, 0x10, 0x27, 0, 0, 0x10, 0x27, 0, 0, 0}));
    const Bytes dir1 = directory({{256, 4, 1, 1},
                                  {257, 4, 1, 1},
                                  {258, 4, 3, 8},
                                  {259, 3, 1, 1},
                                  {262, 3, 1, 2},
                                  {269, 2, 4, 0x00636F44},
                                  {270, 2, 14, 20},
                                  {273, 4, 1, 34},
                                  {277, 3, 1, 3},
                                  {278, 4, 1, 1},
                                  {279, 4, 1, 3},
                                  {282, 5, 1, 37},
                                  {283, 5, 1, 45},
                                  {285, 2, 3, 0x3150},
                                  {286, 5, 1, 53},
                                  {287, 5, 1, 61},
                                  {296, 3, 1, 2}});
    EXPECT_EQ(slice(f, 70, dir1.size()), dir1);

    std::string info;
    vextral::test::runCommand("tiffinfo " + vextral::test::shellQuote((dir / "texts.tif").string()), &info);
    for (const char* line : {"DocumentName: Doc", "ImageDescription: A longer text", "PageName: P1", "Position: 2, 1",
                             "Resolution: 72, 96 pixels/inch"})
        EXPECT_NE(info.find(line), std::string::npos) << line << " in\n" << info;

    buffer.picture() = colourful(29, 13);
    writeTiff(buffer, (dir / "big.tif").string());
    const std::pair<const char*, Picture> files[] = {
        {"plain.tif", colourful(3, 2)}, {"texts.tif", colourful(1, 1)}, {"big.tif", buffer.picture()}};
    for (const auto& [file, picture] : files) {
        EXPECT_EQ(readBackWithLibtiff(dir / file), expected(picture)) << file;
        for (const char* reader : {"magick", "pil"})
            EXPECT_EQ(readBack(reader, dir / file), expected(picture)) << reader << " " << file;
    }
}
