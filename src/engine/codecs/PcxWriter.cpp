#include "codecs/Quantizer.h"
#include "codecs/Writers.h"

#include "core/Error.h"

#include <array>
#include <cstring>
#include <optional>

// PCX (ZSoft Paintbrush): a 128-byte header, then every row as plane lines
// (three for true colour: red, green, blue; one otherwise), each run-length
// encoded on its own or written raw; 256-colour files end with byte 12 and
// the colour table.

namespace vextral::codecs {

namespace {

constexpr std::size_t kHeaderSize = 128;

// The depth a buffer's parameters ask for. Depths 2 and 3 (a GIF with a 4- or
// 8-colour table) go to 16 colours, 5 to 7 to 256; anything else is true colour.
int pcxDepth(const IOParams& params)
{
    if (params.sampleBits == 1) return 1;
    const long long depth = static_cast<long long>(params.sampleBits) * params.samples;
    if (depth >= 2 && depth <= 4) return 4;
    if (depth >= 5 && depth <= 8) return 8;
    return 24;
}

void put16(std::uint8_t* at, unsigned value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

// Run-length encodes count values taken every step bytes from values: runs of
// up to 63 equal values as (0xC0 | length, value); a single value below 0xC0
// as itself. An odd count gets a 0 byte, so the decoded line is even.
void encodeLine(const std::uint8_t* values, std::size_t count, std::size_t step, std::vector<std::uint8_t>& out)
{
    std::size_t i = 0;
    while (i < count) {
        const std::uint8_t value = values[i * step];
        std::size_t run = 1;
        while (run < 63 && i + run < count && values[(i + run) * step] == value) ++run;
        if (run > 1 || value >= 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | run));
        out.push_back(value);
        i += run;
    }
    if (count & 1) out.push_back(0);
}

// A line written without encoding, padded with 0 to bytesPerLine.
void rawLine(const std::uint8_t* values, std::size_t count, std::size_t step, std::size_t bytesPerLine,
             std::vector<std::uint8_t>& out)
{
    for (std::size_t i = 0; i < count; ++i) out.push_back(values[i * step]);
    out.insert(out.end(), bytesPerLine - count, 0);
}

} // namespace

void writePcx(ImageBuffer& buffer, Sink& sink)
{
    beginWrite(buffer, sink);
    const IOParams& params = buffer.params();
    const Picture& source = buffer.picture();
    const int depth = pcxDepth(params);
    const auto width = static_cast<std::size_t>(source.width);

    std::size_t values = width; // a line's values before padding
    if (depth == 4) values = (width + 1) / 2;
    if (depth == 1) values = (width + 7) / 8;
    const std::size_t bytesPerLine = (values + 1) & ~static_cast<std::size_t>(1);
    // The header holds the last column and row and the line length in 16 bits.
    if (width > 65536 || source.height > 65536 || bytesPerLine > 0xFFFF) {
        throw Error("The picture is too large for a PCX file: " + sink.name());
    }

    // The rows come from the 24-bit picture (depths 8 and 4 through the
    // quantiser) or, for depth 1, from its two-colour reduction.
    std::optional<Picture> converted;
    std::optional<TwoColourPicture> twoColour;
    std::optional<Quantizer> quantizer;
    const Picture* colour = &source;
    if (depth == 1) {
        twoColour = reduceToTwoColours(source);
    } else if (source.bits != 24) {
        converted = to24Bit(source);
        colour = &*converted;
    }
    if (depth == 8 || depth == 4) quantizer.emplace(*colour, depth == 8 ? 256 : 16);

    std::array<std::uint8_t, kHeaderSize> header {};
    header[0] = 10;
    header[1] = static_cast<std::uint8_t>(params.pcxVersion);
    header[2] = params.pcxCompressed ? 1 : 0;
    header[3] = static_cast<std::uint8_t>(depth == 24 ? 8 : depth);
    put16(&header[8], static_cast<unsigned>(source.width - 1));
    put16(&header[10], static_cast<unsigned>(source.height - 1));
    put16(&header[12], static_cast<unsigned>(params.resolutionX));
    put16(&header[14], static_cast<unsigned>(params.resolutionY));
    if (depth == 1) {
        const Bgr two[2] = {twoColour->colour0, twoColour->colour1};
        for (int i = 0; i < 2; ++i) {
            header[16 + 3 * i] = two[i].r;
            header[17 + 3 * i] = two[i].g;
            header[18 + 3 * i] = two[i].b;
        }
    } else if (depth == 4) {
        const std::vector<Bgr> table = quantizer->paddedTable(16);
        for (int i = 0; i < 16; ++i) {
            header[16 + 3 * i] = table[static_cast<std::size_t>(i)].r;
            header[17 + 3 * i] = table[static_cast<std::size_t>(i)].g;
            header[18 + 3 * i] = table[static_cast<std::size_t>(i)].b;
        }
    }
    header[65] = depth == 24 ? 3 : 1;
    put16(&header[66], static_cast<unsigned>(bytesPerLine));
    put16(&header[68], depth == 24 ? 0 : 1);

    sink.write(header.data(), header.size());

    std::vector<std::uint8_t> line(values);
    std::vector<std::uint8_t> out;
    out.reserve(3 * (bytesPerLine + bytesPerLine / 2 + 2));
    auto emit = [&](const std::uint8_t* data, std::size_t step) {
        if (params.pcxCompressed)
            encodeLine(data, values, step, out);
        else
            rawLine(data, values, step, bytesPerLine, out);
    };
    for (int y = 0; y < source.height; ++y) {
        // A stopped writer ends the file after the rows written, without the colour table.
        if (buffer.progress && !buffer.progress(static_cast<int>(100LL * y / source.height))) return;
        out.clear();
        if (depth == 24) {
            const std::uint8_t* row = colour->row(y);
            emit(row + 2, 3); // red
            emit(row + 1, 3); // green
            emit(row, 3);     // blue
        } else if (depth == 1) {
            std::memcpy(line.data(), twoColour->picture.row(y), values);
            if (width % 8) line[values - 1] &= static_cast<std::uint8_t>(0xFF00 >> (width % 8));
            emit(line.data(), 1);
        } else {
            quantizer->indexRow(colour->row(y), width, depth, line.data());
            emit(line.data(), 1);
        }
        sink.write(out);
    }

    if (depth == 8) {
        out.assign(1, 12);
        for (const Bgr& c : quantizer->paddedTable(256)) {
            out.push_back(c.r);
            out.push_back(c.g);
            out.push_back(c.b);
        }
        sink.write(out);
    }
}

} // namespace vextral::codecs
