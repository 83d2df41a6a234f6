#include "codecs/IconPng.h"

#include "codecs/IconBuilder.h"
#include "codecs/LibPng.h"

#include <bit>
#include <cstring>
#include <vector>

// PNG-compressed ("Vista") images inside icon files and icon resources.

namespace vextral::codecs {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct PngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int depth = 0;
    int colourType = 0;
    bool interlaced = false;
};

std::uint32_t be32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

bool isPngSignature(std::span<const std::uint8_t> data)
{
    return data.size() >= 8 && std::memcmp(data.data(), kPngSignature, 8) == 0;
}

// A PNG inside an icon is decoded whole: a side above maxSide is refused.
bool parsePngHeader(std::span<const std::uint8_t> data, std::uint32_t maxSide, PngHeader& h)
{
    if (!isPngSignature(data) || data.size() < 33) return false;
    const std::uint8_t* p = data.data() + 8;
    if (be32(p) != 13 || std::memcmp(p + 4, "IHDR", 4) != 0) return false;
    h.width = be32(p + 8);
    h.height = be32(p + 12);
    h.depth = p[16];
    h.colourType = p[17];
    h.interlaced = p[20] != 0;
    if (h.width == 0 || h.height == 0 || h.width > maxSide || h.height > maxSide) return false;
    switch (h.colourType) {
    case 0: return h.depth == 1 || h.depth == 2 || h.depth == 4 || h.depth == 8 || h.depth == 16;
    case 3: return h.depth == 1 || h.depth == 2 || h.depth == 4 || h.depth == 8;
    case 2:
    case 4:
    case 6: return h.depth == 8 || h.depth == 16;
    default: return false;
    }
}

int pngBits(const PngHeader& h)
{
    switch (h.colourType) {
    case 2: return h.depth * 3;
    case 4: return h.depth * 2;
    case 6: return h.depth * 4;
    default: return h.depth;
    }
}

// libpng's part of decoding into pixels (width * height, 0xAARRGGBB); run
// inside the session's jump point, so it holds nothing that needs freeing.
bool readPixels(png_structp png, png_infop info, const PngHeader& header, const ReaderLimits& limits,
                std::uint32_t* pixels, png_bytep* rows)
{
    const auto side = static_cast<png_uint_32>(limits.iconPngSide);
    png_set_user_limits(png, side, side);
    png_set_chunk_malloc_max(png, limits.iconPngChunkBytes);
    png_read_info(png, info);
    if (png_get_image_width(png, info) != header.width || png_get_image_height(png, info) != header.height) {
        return false;
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(header.width) * 4) return false;
    for (std::uint32_t y = 0; y < header.height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(pixels + std::size_t {y} * header.width);
    png_read_image(png, rows);
    return true;
}

bool decodePngPixels(std::span<const std::uint8_t> data, const PngHeader& header, const ReaderLimits& limits,
                     std::uint32_t* pixels, png_bytep* rows)
{
    PngSession session(PngSession::Kind::Read);
    if (!session) return false;
    session.readFrom(data);
    bool read = false;
    if (!session.run([&] { read = readPixels(session.png(), session.info(), header, limits, pixels, rows); })) {
        return false;
    }
    return read;
}

} // namespace

namespace {

// Decodes the PNG and hands its rows to a builder made for its size.
template <class Builder>
std::optional<Builder> decodePngRows(std::span<const std::uint8_t> data, long long maxPixels,
                                     const ReaderLimits& limits)
{
    PngHeader h;
    if (!parsePngHeader(data, static_cast<std::uint32_t>(limits.iconPngSide), h)) return std::nullopt;
    if (static_cast<long long>(h.width) * h.height > maxPixels) return std::nullopt;
    // A few bytes claiming thousands of rows are damaged: nothing is set
    // aside for them.
    if (!pngDataCanHold(pngRawBytes(h.width, h.height, pngBits(h), h.interlaced), data.size())) return std::nullopt;
    std::vector<std::uint32_t> pixels(std::size_t {h.width} * h.height);
    std::vector<png_bytep> rows(h.height);
    if (!decodePngPixels(data, h, limits, pixels.data(), rows.data())) return std::nullopt;
    // Bytes in memory are B, G, R, A: as little-endian words, 0xAARRGGBB.
    if constexpr (std::endian::native == std::endian::big) {
        for (auto& p : pixels) p = __builtin_bswap32(p);
    }
    Builder builder(static_cast<int>(h.width), static_cast<int>(h.height), IconBuilder::Mode::Alpha);
    for (std::uint32_t y = 0; y < h.height; ++y)
        builder.addRow(static_cast<int>(y), pixels.data() + std::size_t {y} * h.width, nullptr);
    return builder;
}

} // namespace

std::optional<Icon> decodeIconPng(std::span<const std::uint8_t> data, const ReaderLimits& limits)
{
    // Within the header's limits every size is read; only the builder's grid is kept.
    const long long side = limits.iconPngSide;
    const auto builder = decodePngRows<IconBuilder>(data, side * side, limits);
    if (!builder) return std::nullopt;
    return builder->finish();
}

std::optional<IconPicture> decodeIconPngFull(std::span<const std::uint8_t> data, const ReaderLimits& limits)
{
    const auto builder = decodePngRows<PictureBuilder>(data, limits.fullImagePixels, limits);
    if (!builder) return std::nullopt;
    return builder->finish();
}

bool isIconPng(std::span<const std::uint8_t> data) { return isPngSignature(data); }

std::optional<ImageInfo> probeIconPng(std::span<const std::uint8_t> data, const ReaderLimits& limits)
{
    PngHeader h;
    if (!parsePngHeader(data, static_cast<std::uint32_t>(limits.iconPngSide), h)) return std::nullopt;
    return ImageInfo {static_cast<int>(h.width), static_cast<int>(h.height), pngBits(h), true};
}

} // namespace vextral::codecs
