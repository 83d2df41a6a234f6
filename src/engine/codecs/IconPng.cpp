#include "codecs/IconPng.h"

#include "codecs/IconBuilder.h"

#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstring>
#include <vector>

// PNG-compressed ("Vista") images inside icon files and icon resources.

namespace vextral::codecs {

namespace {

// A PNG inside an icon is decoded whole; larger ones are refused.
constexpr std::uint32_t kMaxPngDimension = kMaxIconPngDimension;

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct PngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int depth = 0;
    int colourType = 0;
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

bool parsePngHeader(std::span<const std::uint8_t> data, PngHeader& h)
{
    if (!isPngSignature(data) || data.size() < 33) return false;
    const std::uint8_t* p = data.data() + 8;
    if (be32(p) != 13 || std::memcmp(p + 4, "IHDR", 4) != 0) return false;
    h.width = be32(p + 8);
    h.height = be32(p + 12);
    h.depth = p[16];
    h.colourType = p[17];
    if (h.width == 0 || h.height == 0 || h.width > kMaxPngDimension || h.height > kMaxPngDimension) return false;
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

struct PngMemory {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
};

void pngRead(png_structp png, png_bytep out, png_size_t n)
{
    auto* mem = static_cast<PngMemory*>(png_get_io_ptr(png));
    if (n > mem->size - mem->pos) png_error(png, "truncated");
    std::memcpy(out, mem->data + mem->pos, n);
    mem->pos += n;
}

[[noreturn]] void pngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarn(png_structp, png_const_charp) {}

// Decodes into pixels (width * height, 0xAARRGGBB). Everything that needs
// freeing is created before setjmp, so an error inside libpng unwinds nothing
// of ours.
bool decodePngPixels(std::span<const std::uint8_t> data, const PngHeader& header, std::uint32_t* pixels,
                     png_bytep* rows)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngWarn);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    PngMemory mem {data.data(), data.size(), 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &mem, pngRead);
    png_set_user_limits(png, kMaxPngDimension, kMaxPngDimension);
    png_set_chunk_malloc_max(png, 4u * 1024u * 1024u);
    png_read_info(png, info);
    if (png_get_image_width(png, info) != header.width || png_get_image_height(png, info) != header.height) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(header.width) * 4) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    for (std::uint32_t y = 0; y < header.height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(pixels + std::size_t {y} * header.width);
    png_read_image(png, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

namespace {

// Decodes the PNG and hands its rows to a builder made for its size.
template <class Builder>
std::optional<Builder> decodePngRows(std::span<const std::uint8_t> data, long long maxPixels)
{
    PngHeader h;
    if (!parsePngHeader(data, h)) return std::nullopt;
    if (static_cast<long long>(h.width) * h.height > maxPixels) return std::nullopt;
    std::vector<std::uint32_t> pixels(std::size_t {h.width} * h.height);
    std::vector<png_bytep> rows(h.height);
    if (!decodePngPixels(data, h, pixels.data(), rows.data())) return std::nullopt;
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

std::optional<Icon> decodeIconPng(std::span<const std::uint8_t> data)
{
    // Within the header's limits every size is read; only the builder's grid is kept.
    const auto builder = decodePngRows<IconBuilder>(data, static_cast<long long>(kMaxPngDimension) * kMaxPngDimension);
    if (!builder) return std::nullopt;
    return builder->finish();
}

std::optional<IconPicture> decodeIconPngFull(std::span<const std::uint8_t> data)
{
    const auto builder = decodePngRows<PictureBuilder>(data, kMaxFullImagePixels);
    if (!builder) return std::nullopt;
    return builder->finish();
}

bool isIconPng(std::span<const std::uint8_t> data) { return isPngSignature(data); }

std::optional<ImageInfo> probeIconPng(std::span<const std::uint8_t> data)
{
    PngHeader h;
    if (!parsePngHeader(data, h)) return std::nullopt;
    return ImageInfo {static_cast<int>(h.width), static_cast<int>(h.height), pngBits(h), true};
}

} // namespace vextral::codecs
