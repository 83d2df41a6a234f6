#include "codecs/LibPng.h"
#include "codecs/Readers.h"

#include <cstdint>
#include <string>
#include <vector>

// PNG files through libpng, decoded straight into the picture's rows as
// blue, green, red; pictures with alpha (or a transparent colour) are read a
// row at a time and drawn over white.

namespace vextral::codecs {

namespace {

// Deflate turns one byte into at most 1032 (RFC 1951's longest match per
// shortest code); with room for the chunks around the data.
constexpr std::uint64_t kMaxInflation = 1032;
constexpr std::uint64_t kSlackBytes = 4096;

// What the header says, once libpng is set to give 8-bit blue, green, red
// (and alpha when the file has any transparency).
struct PngLayout {
    png_uint_32 width = 0, height = 0;
    std::uint64_t fileRowBytes = 0; // a row as the file stores it, before expansion
    int channels = 0;
    bool interlaced = false;
};

void readHeader(png_structp png, png_infop info, std::size_t chunkBytes, PngLayout& layout)
{
    png_set_chunk_malloc_max(png, chunkBytes);
    png_read_info(png, info);
    layout.width = png_get_image_width(png, info);
    layout.height = png_get_image_height(png, info);
    layout.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    layout.fileRowBytes = png_get_rowbytes(png, info);
    png_set_expand(png); // palettes, low-depth grey, a transparent colour as alpha
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout.channels = png_get_channels(png, info);
}

} // namespace

Picture readPngPicture(std::span<const std::uint8_t> bytes, const ReaderLimits& limits)
{
    PngSession session(PngSession::Kind::Read);
    if (!session) throw std::bad_alloc();
    session.readFrom(bytes);
    png_structp png = session.png();
    PngLayout r;
    if (!session.run([&] { readHeader(png, session.info(), limits.pngChunkBytes, r); })) {
        throw DamagedPicture(session.message());
    }
    checkPictureSize(r.width, r.height, limits.pictureSide);
    // The compressed rows (a filter byte each) cannot hold more than the
    // file's size allows, so a small file claiming a huge picture is damaged:
    // refused before hundreds of megabytes are set aside for it.
    const std::uint64_t rawBytes = std::uint64_t {r.height} * (r.fileRowBytes + 1);
    if (rawBytes / kMaxInflation > bytes.size() + kSlackBytes) {
        throw DamagedPicture(std::to_string(r.width) + " x " + std::to_string(r.height) + " pixels cannot come from " +
                             std::to_string(bytes.size()) + " bytes");
    }
    if (r.channels != 3 && r.channels != 4) throw DamagedPicture("unexpected channel count");
    Picture picture = Picture::make(static_cast<int>(r.width), static_cast<int>(r.height));
    const std::size_t width = r.width;

    if (r.channels == 3) {
        // Opaque: libpng writes the rows in place (interlaced ones too).
        std::vector<png_bytep> rows(r.height);
        for (png_uint_32 y = 0; y < r.height; ++y) rows[y] = picture.row(static_cast<int>(y));
        if (!session.run([&] { png_read_image(png, rows.data()); })) throw DamagedPicture(session.message());
    } else if (!r.interlaced) {
        std::vector<std::uint8_t> line(width * 4);
        for (png_uint_32 y = 0; y < r.height; ++y) {
            if (!session.run([&] { png_read_row(png, line.data(), nullptr); })) throw DamagedPicture(session.message());
            drawRowOverWhite(line.data(), width, picture.row(static_cast<int>(y)));
        }
    } else {
        // The passes of an interlaced picture build on each other: the whole
        // picture with its alpha is read first.
        std::vector<std::uint8_t> all(width * 4 * r.height);
        std::vector<png_bytep> rows(r.height);
        for (png_uint_32 y = 0; y < r.height; ++y) rows[y] = all.data() + width * 4 * y;
        if (!session.run([&] { png_read_image(png, rows.data()); })) throw DamagedPicture(session.message());
        for (png_uint_32 y = 0; y < r.height; ++y) drawRowOverWhite(rows[y], width, picture.row(static_cast<int>(y)));
    }
    return picture;
}

} // namespace vextral::codecs
