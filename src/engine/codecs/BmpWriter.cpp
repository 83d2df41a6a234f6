#include "codecs/Quantizer.h"
#include "codecs/Writers.h"

#include "core/Error.h"

#include <cmath>
#include <cstring>
#include <optional>

// Windows bitmap, uncompressed, rows from the bottom up, each padded to a
// multiple of 4 bytes. Info header by version: 12-byte core header (2),
// 64-byte header (3), otherwise the 40-byte header. The headers are written
// as placeholders first and completed once the rows are out.

namespace vextral::codecs {

namespace {

int bmpDepth(const IOParams& params)
{
    if (params.sampleBits == 1) return 1;
    if (params.sampleBits == 4) return 4;
    return params.samples == 1 ? 8 : 24;
}

// Pixels per metre from dots per inch.
std::uint32_t perMetre(std::int32_t dpi)
{
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::nearbyint(dpi / 2.54 * 100)));
}

struct Layout {
    int depth;
    std::uint32_t infoSize;  // 12, 40 or 64
    std::uint32_t entrySize; // 3 after the core header, else 4
    std::uint32_t colours;   // colour-table entries; 0 for 24 bits
    std::size_t rowBytes;
    std::uint32_t imageSize, dataOffset, fileSize;
};

// The file header and the info header. A placeholder leaves the file size,
// data offset, bit count and image size at 0.
void writeHeaders(Sink& sink, const Layout& l, const Picture& picture, const IOParams& params, bool final)
{
    std::vector<std::uint8_t> h(14 + l.infoSize, 0);
    auto put16 = [&](std::size_t at, std::uint32_t v) {
        h[at] = static_cast<std::uint8_t>(v);
        h[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, v);
        put16(at + 2, v >> 16);
    };
    h[0] = 'B';
    h[1] = 'M';
    if (final) put32(2, l.fileSize);
    if (final) put32(10, l.dataOffset);
    put32(14, l.infoSize);
    const auto bitCount = final ? static_cast<std::uint32_t>(l.depth) : 0;
    if (l.infoSize == 12) {
        put16(18, static_cast<std::uint32_t>(picture.width));
        put16(20, static_cast<std::uint32_t>(picture.height));
        put16(22, 1);
        put16(24, bitCount);
    } else {
        put32(18, static_cast<std::uint32_t>(picture.width));
        put32(22, static_cast<std::uint32_t>(picture.height));
        put16(26, 1);
        put16(28, bitCount);
        // 30: compression 0
        if (final) put32(34, l.imageSize);
        put32(38, perMetre(params.resolutionX));
        put32(42, perMetre(params.resolutionY));
        put32(46, l.colours);
        put32(50, l.depth <= 8 ? l.colours : 16777216);
    }
    sink.write(h);
}

} // namespace

void writeBmp(ImageBuffer& buffer, Sink& sink)
{
    beginWrite(buffer, sink);
    const IOParams& params = buffer.params();
    const Picture& source = buffer.picture();

    Layout l {};
    l.depth = bmpDepth(params);
    l.infoSize = params.bmpVersion == 2 ? 12 : params.bmpVersion == 3 ? 64 : 40;
    l.entrySize = l.infoSize == 12 ? 3 : 4;
    l.colours = l.depth <= 8 ? 1u << l.depth : 0;
    l.rowBytes = (static_cast<std::size_t>(source.width) * static_cast<std::size_t>(l.depth) + 31) / 32 * 4;
    const std::uint64_t imageSize = static_cast<std::uint64_t>(l.rowBytes) * static_cast<std::uint64_t>(source.height);
    const std::uint64_t dataOffset = 14 + l.infoSize + l.colours * l.entrySize;
    if (dataOffset + imageSize > 0xFFFFFFFFu ||
        (l.infoSize == 12 && (source.width > 0xFFFF || source.height > 0xFFFF))) {
        throw Error("The picture is too large for a BMP file: " + sink.name());
    }
    l.imageSize = static_cast<std::uint32_t>(imageSize);
    l.dataOffset = static_cast<std::uint32_t>(dataOffset);
    l.fileSize = static_cast<std::uint32_t>(dataOffset + imageSize);

    std::optional<Picture> converted;
    std::optional<TwoColourPicture> twoColour;
    std::optional<Quantizer> quantizer;
    const Picture* colour = &source;
    std::vector<Bgr> table;
    if (l.depth == 1) {
        twoColour = reduceToTwoColours(source);
        table = {twoColour->colour0, twoColour->colour1};
    } else if (source.bits != 24) {
        converted = to24Bit(source);
        colour = &*converted;
    }
    if (l.depth == 8 || l.depth == 4) {
        quantizer.emplace(*colour, l.depth == 8 ? 256 : 16);
        table = quantizer->paddedTable(static_cast<int>(l.colours));
    }

    writeHeaders(sink, l, source, params, false);
    std::vector<std::uint8_t> row;
    for (const Bgr& c : table) {
        row.insert(row.end(), {c.b, c.g, c.r});
        if (l.entrySize == 4) row.push_back(0);
    }
    sink.write(row);

    const auto width = static_cast<std::size_t>(source.width);
    row.assign(l.rowBytes, 0);
    bool stopped = false;
    for (int done = 0; done < source.height; ++done) {
        if (buffer.progress && !buffer.progress(static_cast<int>(100LL * done / source.height))) {
            stopped = true;
            break;
        }
        const int y = source.height - 1 - done;
        if (l.depth == 24) {
            std::memcpy(row.data(), colour->row(y), width * 3);
        } else if (l.depth == 1) {
            const std::size_t bytes = (width + 7) / 8;
            std::memcpy(row.data(), twoColour->picture.row(y), bytes);
            if (width % 8) row[bytes - 1] &= static_cast<std::uint8_t>(0xFF00 >> (width % 8));
        } else {
            quantizer->indexRow(colour->row(y), width, l.depth, row.data());
        }
        sink.write(row);
    }

    // A stopped writer leaves the placeholder headers.
    if (!stopped) {
        const std::uint64_t end = sink.position();
        sink.seek(0);
        writeHeaders(sink, l, source, params, true);
        sink.seek(end);
    }
}

} // namespace vextral::codecs
