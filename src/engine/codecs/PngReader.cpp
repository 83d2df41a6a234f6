#include "codecs/LibPng.h"
#include "codecs/Readers.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

// PNG files through libpng, decoded straight into the picture's rows as
// blue, green, red; pictures with alpha (or a transparent colour) are read a
// row at a time and drawn over white.

namespace vextral::codecs {

namespace {

// What the header says, once libpng is set to give 8-bit blue, green, red
// (and alpha when the file has any transparency).
struct PngLayout {
    png_uint_32 width = 0, height = 0;
    int fileBitsPerPixel = 0; // as the file stores a pixel, before expansion
    int channels = 0;
    bool interlaced = false;
    // An interlaced picture with alpha is read pass by pass (libpng's
    // interlace handling is off): each pass brings pixels of its own.
    bool byPass = false;
};

void readHeader(png_structp png, png_infop info, std::size_t chunkBytes, PngLayout& layout)
{
    png_set_chunk_malloc_max(png, chunkBytes);
    png_read_info(png, info);
    layout.width = png_get_image_width(png, info);
    layout.height = png_get_image_height(png, info);
    layout.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    layout.fileBitsPerPixel = png_get_bit_depth(png, info) * png_get_channels(png, info);
    const bool alpha =
        (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    layout.byPass = layout.interlaced && alpha;
    png_set_expand(png); // palettes, low-depth grey, a transparent colour as alpha
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (!layout.byPass) png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout.channels = png_get_channels(png, info);
}

// A step that failed: a damaged file, or no room for libpng's buffers (the
// readers' out-of-memory refusal).
[[noreturn]] void refuse(const PngSession& session)
{
    if (std::strcmp(session.message(), "Out of memory") == 0) throw std::bad_alloc();
    throw DamagedPicture(session.message());
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
        refuse(session);
    }
    checkPictureSize(r.width, r.height, limits.pictureSide);
    // The compressed rows cannot hold more than the file's size allows, so a
    // small file claiming a huge picture is damaged: refused before hundreds
    // of megabytes are set aside for it.
    if (!pngDataCanHold(pngRawBytes(r.width, r.height, r.fileBitsPerPixel, r.interlaced), bytes.size())) {
        throw DamagedPicture(std::to_string(r.width) + " x " + std::to_string(r.height) + " pixels cannot come from " +
                             std::to_string(bytes.size()) + " bytes");
    }
    if ((r.channels != 3 && r.channels != 4) || (r.interlaced && r.byPass != (r.channels == 4))) {
        throw DamagedPicture("unexpected channel count");
    }
    // What is set aside: the picture, and a row with alpha for a picture
    // that has any.
    Picture picture = Picture::make(static_cast<int>(r.width), static_cast<int>(r.height));
    const std::size_t width = r.width;

    if (r.channels == 3) {
        // Opaque: libpng writes the rows in place (interlaced ones too).
        std::vector<png_bytep> rows(r.height);
        for (png_uint_32 y = 0; y < r.height; ++y) rows[y] = picture.row(static_cast<int>(y));
        if (!session.run([&] { png_read_image(png, rows.data()); })) refuse(session);
    } else if (!r.interlaced) {
        std::vector<std::uint8_t> line(width * 4);
        for (png_uint_32 y = 0; y < r.height; ++y) {
            if (!session.run([&] { png_read_row(png, line.data(), nullptr); })) refuse(session);
            drawRowOverWhite(line.data(), width, picture.row(static_cast<int>(y)));
        }
    } else {
        // The seven passes of an interlaced picture hold distinct pixels:
        // each row of a pass is drawn over white where its pixels belong,
        // so no picture with alpha is kept whole.
        std::vector<std::uint8_t> line(width * 4);
        for (int pass = 0; pass < 7; ++pass) {
            const png_uint_32 columns = PNG_PASS_COLS(r.width, pass), rows = PNG_PASS_ROWS(r.height, pass);
            if (columns == 0 || rows == 0) continue;
            const std::size_t first = PNG_PASS_START_COL(pass), step = std::size_t {1} << PNG_PASS_COL_SHIFT(pass);
            for (png_uint_32 passRow = 0; passRow < rows; ++passRow) {
                if (!session.run([&] { png_read_row(png, line.data(), nullptr); })) {
                    refuse(session);
                }
                std::uint8_t* out = picture.row(static_cast<int>(PNG_ROW_FROM_PASS_ROW(passRow, pass))) + 3 * first;
                const std::uint8_t* in = line.data();
                for (png_uint_32 i = 0; i < columns; ++i, in += 4, out += 3 * step) drawRowOverWhite(in, 1, out);
            }
        }
    }
    return picture;
}

} // namespace vextral::codecs
