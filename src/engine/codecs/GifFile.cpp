#include "codecs/GifLzw.h"
#include "codecs/Quantizer.h"
#include "codecs/Writers.h"
#include "core/Bytes.h"

#include "core/Error.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

namespace vextral::codecs {

namespace {

constexpr char kDamaged[] = "unrecognized GIF";
const Bgr kBlack {0, 0, 0};
const Bgr kWhite {255, 255, 255};
// The display resolution the reader reports, in pixels per inch.
constexpr int kScreenResolution = 96;

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
        table = {kBlack, kWhite};
        backgroundIndex = nearestOfTwo(params.gifBackground, kBlack, kWhite);
        transparentIndex = nearestOfTwo(params.gifTransparentColor, kBlack, kWhite);
    } else {
        std::optional<Picture> converted;
        if (picture.bits != 24) converted = to24Bit(picture);
        const Picture& source = converted ? *converted : picture;
        const Quantizer quantizer(source, tableSize);
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* p = source.row(static_cast<int>(y));
            std::uint8_t* out = indices.data() + y * width;
            for (std::size_t x = 0; x < width; ++x, p += 3) out[x] = quantizer.index({p[0], p[1], p[2]});
        }
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
    // Without an encoder the file stops after the descriptor.
    if (params.gifEncoder) {
        params.gifEncoder(out, picture.height, picture.width, params.gifInterlaced, indices.data(), bits);
        out.push_back(0x3B);
    }
    sink.write(out);
}

// ---------------------------------------------------------------- reader

namespace {

std::uint8_t take8(ByteReader& r)
{
    if (r.left() < 1) throw Error(kDamaged);
    return r.data[r.pos++];
}

std::uint16_t take16(ByteReader& r)
{
    const std::uint16_t lo = take8(r);
    return static_cast<std::uint16_t>(lo | take8(r) << 8);
}

void skipBytes(ByteReader& r, std::size_t n)
{
    if (r.left() < n) throw Error(kDamaged);
    r.pos += n;
}

// Sub-blocks up to and including the zero-length one.
void skipSubBlocks(ByteReader& r)
{
    for (;;) {
        const std::size_t n = take8(r);
        if (n == 0) return;
        skipBytes(r, n);
    }
}

// A colour table of 2^(size + 1) entries, stored red, green, blue.
std::vector<Bgr> readTable(ByteReader& r, int sizeField)
{
    const std::size_t entries = std::size_t {1} << (sizeField + 1);
    if (r.left() < 3 * entries) throw Error(kDamaged);
    std::vector<Bgr> table(entries);
    for (Bgr& c : table) {
        c.r = r.data[r.pos];
        c.g = r.data[r.pos + 1];
        c.b = r.data[r.pos + 2];
        r.pos += 3;
    }
    return table;
}

Bgr entryOr(const std::vector<Bgr>& table, std::size_t index, Bgr otherwise)
{
    return index < table.size() ? table[index] : otherwise;
}

// The most pixels that n bytes of LZW data can yield. A code of width w
// expands to at most 2^w + 3 values (the table cannot hold more before the
// width grows), so no bit gives more than (4096 + 3) / 12 < 342 pixels.
std::uint64_t mostPixels(std::size_t bytes) { return (static_cast<std::uint64_t>(bytes) * 8 + 12) * 342; }

} // namespace

void readGif(ImageBuffer& buffer, const std::string& fileName)
{
    buffer.aborting = false;
    std::vector<std::uint8_t> data;
    {
        std::ifstream in(fileName, std::ios::binary);
        if (!in) throw Error("Cannot open file " + fileName);
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ByteReader r {data.data(), data.size(), 0};
    if (data.size() < 3 || data[0] != 'G' || data[1] != 'I' || data[2] != 'F') {
        buffer.aborting = true;
        return;
    }
    if (data.size() < 13) throw Error(kDamaged);
    IOParams& params = buffer.params();
    params.gifVersion.assign(reinterpret_cast<const char*>(data.data()), 6);
    r.pos = 6;
    params.gifScreenWidth = take16(r);
    params.gifScreenHeight = take16(r);
    const std::uint8_t screenFlags = take8(r);
    const std::uint8_t backgroundIndex = take8(r);
    params.gifAspect = take8(r);
    params.resolutionX = params.resolutionY = kScreenResolution;
    params.samples = 1;
    std::vector<Bgr> globalTable;
    if (screenFlags & 0x80) {
        globalTable = readTable(r, screenFlags & 7);
        params.gifBackground = entryOr(globalTable, backgroundIndex, kBlack);
    }

    const int wanted = params.gifImageIndex;
    int image = 0;
    // The control extension of the wanted image: packed byte, delay, transparent index.
    std::uint8_t controlFlags = 0, transparentIndex = 0;
    std::uint16_t delay = 0;
    for (;;) {
        if (r.left() == 0) break; // the end of the file counts as a trailer
        const std::uint8_t introducer = r.data[r.pos++];
        if (introducer == 0x3B) break;
        if (introducer == 0x21) {
            const std::uint8_t label = take8(r);
            if (label == 0xF9 && image == wanted) {
                const std::size_t size = take8(r);
                if (r.left() < size) throw Error(kDamaged);
                if (size >= 4) {
                    controlFlags = r.data[r.pos];
                    delay = static_cast<std::uint16_t>(r.data[r.pos + 1] | r.data[r.pos + 2] << 8);
                    transparentIndex = r.data[r.pos + 3];
                }
                r.pos += size;
            }
            skipSubBlocks(r);
            continue;
        }
        if (introducer != 0x2C) continue; // stray byte between blocks
        const std::uint16_t left = take16(r);
        const std::uint16_t top = take16(r);
        const std::uint16_t width = take16(r);
        const std::uint16_t height = take16(r);
        const std::uint8_t imageFlags = take8(r);
        std::vector<Bgr> localTable;
        if (imageFlags & 0x80) localTable = readTable(r, imageFlags & 7);
        if (image != wanted) {
            // Another image: its minimum code size byte and data sub-blocks.
            skipBytes(r, 1);
            skipSubBlocks(r);
            ++image;
            continue;
        }

        const bool hasLocal = (imageFlags & 0x80) != 0;
        const std::vector<Bgr>& table = hasLocal ? localTable : globalTable;
        const bool interlaced = (imageFlags & 0x40) != 0;
        params.gifTransparentColor = entryOr(table, transparentIndex, kBlack);
        params.gifLeft = left;
        params.gifTop = top;
        params.imageWidth = width;
        params.imageHeight = height;
        params.gifDelay = delay;
        params.gifTransparent = (controlFlags & 1) != 0;
        params.gifInterlaced = interlaced;
        if (!params.gifDecoder) {
            buffer.aborting = true;
            return;
        }

        const std::uint64_t total = static_cast<std::uint64_t>(width) * height;
        // Refuse sizes the data left in the file could never fill, before
        // allocating for them.
        if (total > mostPixels(r.left())) throw Error(kDamaged);
        // Pixels the data does not reach are black. They keep the value the
        // buffer was filled with, so fill it with an index that reads as
        // black: one past the table, a black entry, or else 255, whose
        // trailing run is then told apart from decoded values by a second
        // decode with another fill.
        std::uint8_t fill = 255;
        bool fillIsBlack = table.size() < 256;
        if (!fillIsBlack) {
            const auto black = std::find(table.begin(), table.end(), kBlack);
            if (black != table.end()) {
                fill = static_cast<std::uint8_t>(black - table.begin());
                fillIsBlack = true;
            }
        }
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(total), fill);
        const ByteReader start = r;
        params.gifDecoder(r, height, width, interlaced, indices.data());
        if (r.pos == start.pos) {
            buffer.aborting = true;
            return;
        }
        const std::vector<int> rows = gifRowOrder(height, interlaced);
        std::uint64_t filled = total;
        if (!fillIsBlack && total != 0) {
            // Length of the run of the fill value at the end, in fill order.
            std::uint64_t run = 0;
            for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
                const std::uint8_t* p = indices.data() + static_cast<std::size_t>(*row) * width;
                int x = width - 1;
                while (x >= 0 && p[x] == fill) --x;
                run += static_cast<std::uint64_t>(width - 1 - x);
                if (x >= 0) break;
            }
            if (run != 0) {
                std::vector<std::uint8_t> again(static_cast<std::size_t>(total), 254);
                ByteReader replay = start;
                params.gifDecoder(replay, height, width, interlaced, again.data());
                // Within the run, the second decode kept 254 exactly where nothing was decoded.
                std::uint64_t unfilled = 0;
                for (auto row = rows.rbegin(); row != rows.rend() && unfilled < run; ++row) {
                    const std::uint8_t* p = again.data() + static_cast<std::size_t>(*row) * width;
                    int x = width - 1;
                    while (x >= 0 && unfilled < run && p[x] == 254) {
                        --x;
                        ++unfilled;
                    }
                    if (x >= 0 && unfilled < run) break;
                }
                filled = total - unfilled;
            }
        }
        // Rank of each row in fill order, to tell filled pixels from the rest.
        std::vector<std::uint64_t> rank(height);
        for (std::size_t i = 0; i < rows.size(); ++i) rank[static_cast<std::size_t>(rows[i])] = i;

        params.palette = table;
        params.paletteCount = static_cast<std::int32_t>(table.size());
        params.sampleBits = ((hasLocal ? imageFlags : screenFlags) & 7) + 1;

        const bool blackAndWhite = table.size() == 2 && table[0] == kBlack && table[1] == kWhite;
        Picture picture = Picture::make(width, height, blackAndWhite ? 1 : 24);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* src = indices.data() + static_cast<std::size_t>(y) * width;
            const std::uint64_t rowStart = rank[static_cast<std::size_t>(y)] * width;
            const int reached =
                rowStart >= filled ? 0 : static_cast<int>(std::min<std::uint64_t>(width, filled - rowStart));
            if (blackAndWhite) {
                for (int x = 0; x < reached; ++x) {
                    if (src[x] == 1) picture.setBit(x, y, true);
                }
            } else {
                std::uint8_t* dst = picture.row(y);
                for (int x = 0; x < reached; ++x, dst += 3) {
                    const Bgr c = src[x] < table.size() ? table[src[x]] : kBlack;
                    dst[0] = c.b;
                    dst[1] = c.g;
                    dst[2] = c.r;
                }
            }
        }
        buffer.picture() = std::move(picture);
        return;
    }
    // The wanted image is not in the file.
    buffer.aborting = true;
}

} // namespace vextral::codecs
