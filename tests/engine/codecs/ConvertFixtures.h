#pragma once

// What the pictures of tests/fixtures/convert hold (see its README), and
// ways to compare a decoded picture with them.
#include "codecs/Picture.h"

#include "TestSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <zlib.h>

namespace vextral::test {

// A picture as its rows of 0xRRGGBB, top to bottom.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
};

// colour.*: red, green, blue, white / black, yellow, cyan, magenta / #808080, #FF8000, #0080FF, #402010.
inline const Pixels kColour {4,
                             3,
                             {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0x808080,
                              0xFF8000, 0x0080FF, 0x402010}};
// grey.*: the grey levels of grey.pgm.
inline const Pixels kGrey {4,
                           3,
                           {0x000000, 0x404040, 0x808080, 0xFFFFFF, 0x202020, 0x606060, 0xA0A0A0, 0xE0E0E0, 0x101010,
                            0x303030, 0xC8C8C8, 0xF0F0F0}};
// bw.*: the 1-bit pattern of bw.pbm.
inline const Pixels kBlackWhite {4,
                                 3,
                                 {0x000000, 0xFFFFFF, 0x000000, 0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0xFFFFFF,
                                  0x000000, 0x000000, 0xFFFFFF, 0x000000}};
// alpha.*: opaque red, red at alpha 128, blue at alpha 0, #008000 at alpha 64, over white.
inline const Pixels kAlphaOverWhite {4, 1, {0xFF0000, 0xFF7F7F, 0xFFFFFF, 0xBFDFBF}};

inline std::string describe(const Pixels& p)
{
    std::string text = std::to_string(p.width) + " x " + std::to_string(p.height) + ":";
    char hex[8];
    for (const std::uint32_t c : p.rgb) {
        std::snprintf(hex, sizeof hex, " %06x", static_cast<unsigned>(c));
        text += hex;
    }
    return text;
}

inline Pixels pixelsOf(const codecs::Picture& picture)
{
    Pixels p {picture.width, picture.height, {}};
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) p.rgb.push_back(picture.pixel(x, y).rgb());
    }
    return p;
}

inline std::string describe(const codecs::Picture& picture) { return describe(pixelsOf(picture)); }

// The largest difference of one channel between the two; -1 when the sizes differ.
inline int largestDifference(const codecs::Picture& picture, const Pixels& want)
{
    const Pixels got = pixelsOf(picture);
    if (got.width != want.width || got.height != want.height) return -1;
    int most = 0;
    for (std::size_t i = 0; i < got.rgb.size(); ++i) {
        for (int shift : {0, 8, 16}) {
            const int a = static_cast<int>(got.rgb[i] >> shift & 0xFF),
                      b = static_cast<int>(want.rgb[i] >> shift & 0xFF);
            most = std::max(most, std::abs(a - b));
        }
    }
    return most;
}

inline std::filesystem::path convertFixture(const std::string& name) { return fixture("convert/" + name); }

// A copy of a fixture under another name (another extension of its format).
inline std::string copyAs(const TempDir& dir, const std::string& fixtureName, const std::string& name)
{
    const std::filesystem::path target = dir / name;
    writeBytes(target, readBytes(convertFixture(fixtureName)));
    return target.string();
}

// A PNG with a compressed text chunk (zTXt) after its header chunk, whose
// text is textBytes long once inflated: what libpng's chunk limit bounds.
inline std::vector<std::uint8_t> pngWithTextChunk(std::vector<std::uint8_t> png, std::size_t textBytes)
{
    const std::vector<std::uint8_t> text(textBytes, 'x');
    uLongf packedSize = compressBound(static_cast<uLong>(text.size()));
    std::vector<std::uint8_t> packed(packedSize);
    compress(packed.data(), &packedSize, text.data(), static_cast<uLong>(text.size()));
    packed.resize(packedSize);
    std::vector<std::uint8_t> chunk = {0, 0, 0, 0, 'z', 'T', 'X', 't', 'k', 'e', 'y', 0, 0};
    chunk.insert(chunk.end(), packed.begin(), packed.end());
    const auto put32 = [&chunk](std::size_t at, std::uint32_t v) {
        for (std::size_t i = 0; i < 4; ++i) chunk[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    put32(0, static_cast<std::uint32_t>(chunk.size() - 8));
    const auto crc = static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4)));
    chunk.resize(chunk.size() + 4);
    put32(chunk.size() - 4, crc);
    png.insert(png.begin() + 33, chunk.begin(), chunk.end()); // after the signature and the header chunk
    return png;
}

} // namespace vextral::test
