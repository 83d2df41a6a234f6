#include "codecs/IconImage.h"

#include "codecs/IconBuilder.h"
#include "codecs/IconPng.h"
#include "core/Bytes.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace vextral::codecs {

namespace {

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

// The parts of a BITMAPCOREHEADER / BITMAPINFOHEADER (and its later versions)
// that decoding needs.
struct DibHeader {
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // as stored: doubled for icons, negative for top-down bitmaps
    int bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
    std::size_t paletteOffset = 0;         // from the start of the header
    std::size_t paletteEntries = 0;
    std::size_t paletteEntrySize = 4;
    std::size_t dataOffset = 0; // end of header, masks and palette
};

bool validBits(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Parses the header at the start of data (which must hold at least the header
// and the colour table); forIcon rejects what icon images may not use, and
// a side above maxSide is refused.
bool parseDibHeader(std::span<const std::uint8_t> data, bool forIcon, int maxSide, DibHeader& h)
{
    if (data.size() < 4) return false;
    const std::uint8_t* p = data.data();
    h.headerSize = le32(p);
    if (h.headerSize == 12) {
        if (data.size() < 12) return false;
        h.width = le16(p + 4);
        h.height = static_cast<std::int16_t>(le16(p + 6));
        h.bits = le16(p + 10);
        h.paletteEntrySize = 3;
    } else if (h.headerSize == 40 || h.headerSize == 52 || h.headerSize == 56 || h.headerSize == 64 ||
               h.headerSize == 108 || h.headerSize == 124) {
        // BITMAPINFOHEADER, its V2/V3 extensions, OS/2 2.x, V4 and V5.
        if (data.size() < h.headerSize) return false;
        h.width = static_cast<std::int32_t>(le32(p + 4));
        h.height = static_cast<std::int32_t>(le32(p + 8));
        h.bits = le16(p + 14);
        h.compression = le32(p + 16);
        const std::uint32_t used = le32(p + 32);
        if (h.bits <= 8 && used != 0 && used < (1u << h.bits)) h.paletteEntries = used;
        // Version 2+ headers carry the masks; the 40-byte header stores them after itself.
        if (h.headerSize >= 52) {
            for (int i = 0; i < 3; ++i) h.masks[i] = le32(p + 40 + 4 * i);
            if (h.headerSize >= 56) h.masks[3] = le32(p + 52);
        }
    } else {
        return false;
    }
    if (!validBits(h.bits) || h.width <= 0 || h.width > maxSide) return false;
    if (h.height == 0 || h.height > 2 * std::int64_t {maxSide} || h.height < -std::int64_t {maxSide}) return false;
    if (h.bits <= 8 && h.paletteEntries == 0) h.paletteEntries = std::size_t {1} << h.bits;
    if (h.bits > 8) h.paletteEntries = 0;

    std::size_t offset = h.headerSize;
    if (h.compression == kBitfields || h.compression == kAlphaBitfields) {
        // OS/2 2.x headers use these numbers for Huffman and RLE24 coding.
        if ((h.bits != 16 && h.bits != 32) || h.headerSize == 64) return false;
        if (h.headerSize == 40) {
            const std::size_t n = h.compression == kAlphaBitfields ? 4 : 3;
            if (data.size() < offset + 4 * n) return false;
            for (std::size_t i = 0; i < n; ++i) h.masks[i] = le32(p + offset + 4 * i);
            offset += 4 * n;
        }
    } else if (h.compression == kRle8 || h.compression == kRle4) {
        if (forIcon || h.bits != (h.compression == kRle8 ? 8 : 4) || h.height < 0) return false;
    } else if (h.compression != kRgb) {
        return false;
    }
    if (h.compression == kRgb) {
        if (h.bits == 16) {
            h.masks[0] = 0x7C00;
            h.masks[1] = 0x03E0;
            h.masks[2] = 0x001F;
            h.masks[3] = 0;
        } else if (h.bits == 32) {
            h.masks[0] = 0x00FF0000;
            h.masks[1] = 0x0000FF00;
            h.masks[2] = 0x000000FF;
            h.masks[3] = 0xFF000000;
        }
    }
    h.paletteOffset = offset;
    h.dataOffset = offset + h.paletteEntries * h.paletteEntrySize;
    if (forIcon && h.height < 0) return false;
    return true;
}

std::uint64_t rowStride(std::int64_t width, int bits)
{
    return ((static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bits) + 31) / 32) * 4;
}

// Reads one channel through a bit mask and widens it to 8 bits.
struct MaskChannel {
    std::uint32_t mask = 0;
    int shift = 0;
    int width = 0;

    explicit MaskChannel(std::uint32_t m) : mask(m)
    {
        if (m != 0) {
            shift = std::countr_zero(m);
            width = std::countr_one(m >> shift);
        }
    }
    std::uint32_t get(std::uint32_t px) const
    {
        if (width == 0) return 0;
        const std::uint32_t v = (px & mask) >> shift;
        if (width >= 8) return (v >> (width - 8)) & 0xFF;
        const std::uint32_t max = (1u << width) - 1;
        return (v * 255 + max / 2) / max;
    }
};

// Turns the rows of a DIB into 0xAARRGGBB pixels.
class DibRowDecoder {
public:
    DibRowDecoder(const DibHeader& h, const std::uint8_t* palette)
        : h_(h), r_(h.masks[0]), g_(h.masks[1]), b_(h.masks[2]), a_(h.masks[3])
    {
        for (std::size_t i = 0; i < h.paletteEntries; ++i) {
            const std::uint8_t* e = palette + i * h.paletteEntrySize;
            palette_[i] =
                0xFF000000u | (static_cast<std::uint32_t>(e[2]) << 16) | (static_cast<std::uint32_t>(e[1]) << 8) | e[0];
        }
    }

    std::uint32_t paletteColour(std::uint32_t index) const
    {
        return index < h_.paletteEntries ? palette_[index] : 0xFF000000u;
    }

    void decode(const std::uint8_t* row, std::uint32_t* out) const
    {
        const auto w = static_cast<std::size_t>(h_.width);
        switch (h_.bits) {
        case 1:
            for (std::size_t x = 0; x < w; ++x) out[x] = paletteColour((row[x >> 3] >> (7 - (x & 7))) & 1);
            break;
        case 4:
            for (std::size_t x = 0; x < w; ++x) out[x] = paletteColour((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF);
            break;
        case 8:
            for (std::size_t x = 0; x < w; ++x) out[x] = paletteColour(row[x]);
            break;
        case 16:
            for (std::size_t x = 0; x < w; ++x) out[x] = fromMasks(le16(row + 2 * x));
            break;
        case 24:
            for (std::size_t x = 0; x < w; ++x) {
                const std::uint8_t* px = row + 3 * x;
                out[x] = 0xFF000000u | (static_cast<std::uint32_t>(px[2]) << 16) |
                         (static_cast<std::uint32_t>(px[1]) << 8) | px[0];
            }
            break;
        case 32:
            for (std::size_t x = 0; x < w; ++x) out[x] = fromMasks(le32(row + 4 * x));
            break;
        default: break;
        }
    }

private:
    std::uint32_t fromMasks(std::uint32_t px) const
    {
        return (a_.get(px) << 24) | (r_.get(px) << 16) | (g_.get(px) << 8) | b_.get(px);
    }

    const DibHeader& h_;
    MaskChannel r_, g_, b_, a_;
    std::uint32_t palette_[256] = {};
};

// Decodes an icon's DIB image into a builder made for its size; pictures of
// more than maxPixels pixels, or a side above maxSide, are refused.
template <class Builder>
std::optional<Builder> decodeDibRows(std::span<const std::uint8_t> data, long long maxPixels, int maxSide)
{
    DibHeader h;
    if (!parseDibHeader(data, true, maxSide, h)) return std::nullopt;
    const std::int64_t height = h.height / 2;
    if (height <= 0 || data.size() < h.dataOffset) return std::nullopt;
    if (h.width * height > maxPixels) return std::nullopt;
    const int w = static_cast<int>(h.width);
    const int ht = static_cast<int>(height);
    const std::uint64_t xorStride = rowStride(h.width, h.bits);
    const std::uint64_t andStride = rowStride(h.width, 1);
    const std::uint64_t xorBytes = xorStride * static_cast<std::uint64_t>(height);
    const std::uint64_t andBytes = andStride * static_cast<std::uint64_t>(height);
    const std::uint64_t available = data.size() - h.dataOffset;
    if (available < xorBytes) return std::nullopt;
    const std::uint8_t* xorData = data.data() + h.dataOffset;
    const bool haveMask = available - xorBytes >= andBytes;
    const std::uint8_t* andData = haveMask ? xorData + xorBytes : nullptr;

    DibRowDecoder rows(h, data.data() + h.paletteOffset);
    std::vector<std::uint32_t> colours(static_cast<std::size_t>(w));
    std::vector<std::uint8_t> maskBits(static_cast<std::size_t>(w));

    // A 32-bit image whose alpha bytes are all zero predates alpha icons: its
    // AND mask says what is transparent.
    bool alpha = false;
    if (h.bits == 32 && h.masks[3] != 0) {
        for (int y = 0; y < ht && !alpha; ++y) {
            rows.decode(xorData + xorStride * static_cast<std::uint64_t>(y), colours.data());
            alpha = std::any_of(colours.begin(), colours.end(), [](std::uint32_t c) { return (c >> 24) != 0; });
        }
    }
    // Some writers leave out the mask of alpha images, which do not need it.
    if (!haveMask && !alpha) return std::nullopt;

    Builder builder(w, ht, alpha ? IconBuilder::Mode::Alpha : IconBuilder::Mode::Masked);
    for (int y = 0; y < ht; ++y) {
        if (!builder.wantsRow(y)) continue;
        const std::uint64_t stored = static_cast<std::uint64_t>(ht - 1 - y); // bottom-up
        rows.decode(xorData + xorStride * stored, colours.data());
        if (andData) {
            const std::uint8_t* m = andData + andStride * stored;
            for (int x = 0; x < w; ++x) maskBits[static_cast<std::size_t>(x)] = (m[x >> 3] >> (7 - (x & 7))) & 1;
        }
        if (!alpha) {
            for (auto& c : colours) c &= 0xFFFFFFu;
        }
        builder.addRow(y, colours.data(), maskBits.data());
    }
    return builder;
}

std::optional<Icon> decodeDibIcon(std::span<const std::uint8_t> data, const ReaderLimits& limits)
{
    // Within the side limit every size is read; only the builder's grid is kept.
    const long long side = limits.dibSide;
    const auto builder = decodeDibRows<IconBuilder>(data, side * side, limits.dibSide);
    if (!builder) return std::nullopt;
    return builder->finish();
}

// ---- BMP files ----

struct BitmapFile {
    DibHeader header;
    std::vector<std::uint8_t> headerBytes; // header, masks and colour table
    std::uint64_t pixelOffset = 0;
};

bool readBitmapFile(const ByteSource& file, int maxSide, BitmapFile& bmp)
{
    std::uint8_t fileHeader[14];
    if (!file.read(0, fileHeader, sizeof fileHeader) || fileHeader[0] != 'B' || fileHeader[1] != 'M') return false;
    const auto headerSize = file.u32(14);
    if (!headerSize || *headerSize > 124) return false;
    // Header plus the largest mask block and colour table it can have.
    const std::uint64_t want = std::min<std::uint64_t>(*headerSize + 16 + 256 * 4, file.size() - 14);
    auto bytes = file.bytes(14, want);
    if (!bytes || !parseDibHeader(*bytes, false, maxSide, bmp.header)) return false;
    if (bmp.header.dataOffset > bytes->size()) return false;
    bytes->resize(bmp.header.dataOffset);
    bmp.headerBytes = std::move(*bytes);
    const std::uint32_t offBits = le32(fileHeader + 10);
    bmp.pixelOffset =
        offBits >= 14 + bmp.header.dataOffset && offBits < file.size() ? offBits : 14 + bmp.header.dataOffset;
    return true;
}

// Run-length decoding, row by row from the bottom; pixels that the codes skip stay black.
bool decodeRle(const BitmapFile& bmp, std::span<const std::uint8_t> codes, const DibRowDecoder& palette,
               IconBuilder& builder)
{
    const DibHeader& h = bmp.header;
    const auto w = static_cast<std::size_t>(h.width);
    const auto height = static_cast<int>(h.height);
    const bool four = h.compression == kRle4;
    std::vector<std::uint8_t> index(w, 0);
    std::vector<std::uint8_t> written(w, 0);
    std::vector<std::uint32_t> colours(w);
    int row = 0; // counted from the bottom
    std::size_t x = 0;
    auto emit = [&]() {
        if (row >= height) return;
        if (builder.wantsRow(height - 1 - row)) {
            for (std::size_t i = 0; i < w; ++i) colours[i] = written[i] ? palette.paletteColour(index[i]) : 0xFF000000u;
            builder.addRow(height - 1 - row, colours.data(), nullptr);
        }
        std::fill(written.begin(), written.end(), 0);
        ++row;
    };
    auto put = [&](std::uint8_t value) {
        if (x < w) {
            index[x] = value;
            written[x] = 1;
        }
        ++x;
    };
    std::size_t pos = 0;
    while (row < height) {
        if (pos + 2 > codes.size()) break; // truncated: the rest stays black
        const std::uint8_t count = codes[pos];
        const std::uint8_t value = codes[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(four ? ((i & 1) ? value & 0xF : value >> 4) : value);
        } else if (value == 0) { // end of line
            emit();
            x = 0;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            if (pos + 2 > codes.size()) break;
            const std::uint8_t dx = codes[pos];
            const std::uint8_t dy = codes[pos + 1];
            pos += 2;
            for (int i = 0; i < dy && row < height; ++i) emit();
            x += dx;
        } else { // literal run
            const std::size_t n = value;
            const std::size_t bytes = four ? (n + 1) / 2 : n;
            if (pos + bytes > codes.size()) break;
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint8_t b = codes[pos + (four ? i / 2 : i)];
                put(four ? ((i & 1) ? b & 0xF : b >> 4) : b);
            }
            pos += (bytes + 1) & ~std::size_t {1}; // runs are padded to 16 bits
        }
    }
    while (row < height) emit();
    return true;
}

} // namespace

std::optional<ImageInfo> probeIconImage(std::span<const std::uint8_t> data, const ReaderLimits& limits)
{
    if (isIconPng(data)) return probeIconPng(data, limits);
    DibHeader h;
    if (!parseDibHeader(data, true, limits.dibSide, h) || h.height / 2 <= 0) return std::nullopt;
    return ImageInfo {static_cast<int>(h.width), static_cast<int>(h.height / 2), h.bits, false};
}

std::optional<Icon> decodeIconImage(std::span<const std::uint8_t> data, const ReaderLimits& limits)
{
    if (isIconPng(data)) return decodeIconPng(data, limits);
    return decodeDibIcon(data, limits);
}

std::optional<IconPicture> decodeIconImageFull(std::span<const std::uint8_t> data, const ReaderLimits& limits)
{
    if (isIconPng(data)) return decodeIconPngFull(data, limits);
    const auto builder = decodeDibRows<PictureBuilder>(data, limits.fullImagePixels, limits.dibSide);
    if (!builder) return std::nullopt;
    return builder->finish();
}

std::optional<ImageInfo> probeBitmapFile(const ByteSource& file, const ReaderLimits& limits)
{
    BitmapFile bmp;
    if (!readBitmapFile(file, limits.dibSide, bmp)) return std::nullopt;
    const std::int64_t height = bmp.header.height < 0 ? -bmp.header.height : bmp.header.height;
    return ImageInfo {static_cast<int>(bmp.header.width), static_cast<int>(height), bmp.header.bits, false};
}

std::optional<Icon> decodeBitmapFile(const ByteSource& file, const ReaderLimits& limits)
{
    BitmapFile bmp;
    if (!readBitmapFile(file, limits.dibSide, bmp)) return std::nullopt;
    const DibHeader& h = bmp.header;
    const bool topDown = h.height < 0;
    const std::int64_t height = topDown ? -h.height : h.height;
    const int w = static_cast<int>(h.width);
    const int ht = static_cast<int>(height);
    DibRowDecoder rows(h, bmp.headerBytes.data() + h.paletteOffset);
    IconBuilder builder(w, ht, IconBuilder::Mode::Opaque);

    if (h.compression == kRle8 || h.compression == kRle4) {
        // Run-length bitmaps can claim a huge picture in a few bytes; this bounds the work.
        if (static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(ht) > limits.rlePixels) return std::nullopt;
        const auto codes = file.bytes(bmp.pixelOffset, file.size() - bmp.pixelOffset);
        if (!codes) return std::nullopt;
        decodeRle(bmp, *codes, rows, builder);
        return builder.finish();
    }

    // Uncompressed rows are read one at a time: every row must be in the file.
    const std::uint64_t stride = rowStride(h.width, h.bits);
    if (stride * static_cast<std::uint64_t>(height) > file.size() - bmp.pixelOffset) return std::nullopt;
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(stride));
    std::vector<std::uint32_t> colours(static_cast<std::size_t>(w));
    for (int y = 0; y < ht; ++y) {
        if (!builder.wantsRow(y)) continue;
        const std::uint64_t stored = topDown ? static_cast<std::uint64_t>(y) : static_cast<std::uint64_t>(ht - 1 - y);
        if (!file.read(bmp.pixelOffset + stored * stride, raw.data(), raw.size())) return std::nullopt;
        rows.decode(raw.data(), colours.data());
        builder.addRow(y, colours.data(), nullptr);
    }
    return builder.finish();
}

} // namespace vextral::codecs
