#include "codecs/GifLzw.h"
#include "codecs/Quantizer.h"
#include "codecs/Writers.h"
#include "core/Bytes.h"

#include "core/Error.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace vextral::codecs {

namespace {

// ---------------------------------------------------------------- writer

// The table entry nearest to c by the sum of the channel differences; the
// first of equals wins.
std::uint8_t nearestOfTwo(Bgr c, Bgr first, Bgr second)
{
    const auto distance = [c](Bgr t) { return std::abs(c.r - t.r) + std::abs(c.g - t.g) + std::abs(c.b - t.b); };
    return distance(second) < distance(first) ? 1 : 0;
}

} // namespace

void writeGif(ImageBuffer& buffer, Sink& sink)
{
    beginWrite(buffer, sink);
    const Picture& picture = buffer.picture();
    const IOParams& params = buffer.params();
    if (picture.width > 0xFFFF || picture.height > 0xFFFF) {
        throw Error("Cannot write a picture larger than 65535 x 65535 pixels to " + sink.name());
    }
    // Output depth: the reader may have left 1 to 8 bits; anything else is 8.
    int bits = params.sampleBits;
    if (bits < 1 || bits > 8) bits = 8;
    const int tableSize = 1 << bits;

    const auto width = static_cast<std::size_t>(picture.width);
    const auto height = static_cast<std::size_t>(picture.height);
    std::vector<std::uint8_t> indices(width * height);
    std::vector<Bgr> table;
    std::uint8_t backgroundIndex = 0, transparentIndex = 0;
    if (bits == 1) {
        const TwoColourPicture two = reduceToTwoColours(picture);
        for (std::size_t y = 0; y < height; ++y) {
            for (std::size_t x = 0; x < width; ++x) {
                indices[y * width + x] = two.picture.bit(static_cast<int>(x), static_cast<int>(y)) ? 1 : 0;
            }
        }
        // A picture of two colours keeps them (the darker first); any other
        // is dithered to black and white.
        table = {two.colour0, two.colour1};
        backgroundIndex = nearestOfTwo(params.gifBackground, two.colour0, two.colour1);
        transparentIndex = nearestOfTwo(params.gifTransparentColor, two.colour0, two.colour1);
    } else {
        std::optional<Picture> converted;
        if (picture.bits != 24) converted = to24Bit(picture);
        const Picture& source = converted ? *converted : picture;
        const Quantizer quantizer(source, tableSize);
        for (std::size_t y = 0; y < height; ++y)
            quantizer.indexRow(source.row(static_cast<int>(y)), width, 8, indices.data() + y * width);
        table = quantizer.paddedTable(tableSize);
        backgroundIndex = quantizer.index(params.gifBackground);
        transparentIndex = quantizer.index(params.gifTransparentColor);
    }

    std::vector<std::uint8_t> out;
    out.reserve(13 + 3 * static_cast<std::size_t>(tableSize) + 18 + indices.size() / 2);
    const auto le16 = [&out](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    std::string version = params.gifVersion.substr(0, 6);
    version.resize(6, '\0');
    out.insert(out.end(), version.begin(), version.end());
    le16(static_cast<std::uint32_t>(picture.width));
    le16(static_cast<std::uint32_t>(picture.height));
    out.push_back(static_cast<std::uint8_t>(0x80 | (bits - 1) << 4 | (bits - 1)));
    out.push_back(backgroundIndex);
    out.push_back(0); // pixel aspect
    for (int i = 0; i < tableSize; ++i) {
        const Bgr c = table[static_cast<std::size_t>(i)];
        out.insert(out.end(), {c.r, c.g, c.b});
    }
    // Graphic control extension: disposal 2 (restore to background).
    out.insert(out.end(), {0x21, 0xF9, 4, static_cast<std::uint8_t>(8 | (params.gifTransparent ? 1 : 0))});
    le16(static_cast<std::uint32_t>(params.gifDelay));
    out.push_back(transparentIndex);
    out.push_back(0);
    // Image descriptor, no local table.
    out.push_back(0x2C);
    le16(static_cast<std::uint32_t>(params.gifLeft));
    le16(static_cast<std::uint32_t>(params.gifTop));
    le16(static_cast<std::uint32_t>(picture.width));
    le16(static_cast<std::uint32_t>(picture.height));
    out.push_back(params.gifInterlaced ? 0x40 : 0);
    encodeGif(out, picture.height, picture.width, params.gifInterlaced, indices.data(), bits);
    out.push_back(0x3B);
    sink.write(out);
}

} // namespace vextral::codecs
