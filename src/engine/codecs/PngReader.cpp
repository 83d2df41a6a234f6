#include "codecs/Readers.h"

#include <png.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// PNG files through libpng, decoded straight into the picture's rows as
// blue, green, red; pictures with alpha (or a transparent colour) are read a
// row at a time and drawn over white.

namespace vextral::codecs {

namespace {

// Text chunks and profiles larger than this are refused.
constexpr png_alloc_size_t kMaxChunkBytes = 8u * 1024u * 1024u;
// Deflate turns one byte into at most 1032 (RFC 1951's longest match per
// shortest code); with room for the chunks around the data.
constexpr std::uint64_t kMaxInflation = 1032;
constexpr std::uint64_t kSlackBytes = 4096;

// What the libpng calls share; plain data, so that a longjmp out of libpng
// skips no destructor.
struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_uint_32 width = 0, height = 0;
    std::uint64_t fileRowBytes = 0; // a row as the file stores it, before expansion
    int channels = 0;
    bool interlaced = false;
    char message[160] = {};
};

[[noreturn]] void pngError(png_structp png, png_const_charp message)
{
    auto* read = static_cast<PngRead*>(png_get_error_ptr(png));
    std::snprintf(read->message, sizeof read->message, "%s", message);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// Reads the header and asks for 8-bit blue, green, red (and alpha when the
// file has any transparency).
bool readHeader(PngRead& r, std::FILE* file)
{
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_init_io(r.png, file);
    png_set_chunk_malloc_max(r.png, kMaxChunkBytes);
    png_read_info(r.png, r.info);
    r.width = png_get_image_width(r.png, r.info);
    r.height = png_get_image_height(r.png, r.info);
    r.interlaced = png_get_interlace_type(r.png, r.info) != PNG_INTERLACE_NONE;
    r.fileRowBytes = png_get_rowbytes(r.png, r.info);
    png_set_expand(r.png); // palettes, low-depth grey, a transparent colour as alpha
    png_set_scale_16(r.png);
    png_set_gray_to_rgb(r.png);
    png_set_bgr(r.png);
    png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    r.channels = png_get_channels(r.png, r.info);
    return true;
}

bool readImage(PngRead& r, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_read_image(r.png, rows);
    return true;
}

bool readRow(PngRead& r, png_bytep row)
{
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_read_row(r.png, row, nullptr);
    return true;
}

} // namespace

Picture readPngPicture(std::FILE* file)
{
    PngRead r;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, pngError, pngWarning);
    if (r.png) r.info = png_create_info_struct(r.png);
    struct Release {
        PngRead& r;
        ~Release() { png_destroy_read_struct(&r.png, r.info ? &r.info : nullptr, nullptr); }
    } release {r};
    if (!r.png || !r.info) throw std::bad_alloc();

    if (!readHeader(r, file)) throw DamagedPicture(r.message);
    checkPictureSize(r.width, r.height);
    // The compressed rows (a filter byte each) cannot hold more than the
    // file's size allows, so a small file claiming a huge picture is damaged:
    // refused before hundreds of megabytes are set aside for it.
    struct stat st {};
    const std::uint64_t rawBytes = std::uint64_t {r.height} * (r.fileRowBytes + 1);
    if (::fstat(::fileno(file), &st) == 0 &&
        rawBytes / kMaxInflation > static_cast<std::uint64_t>(st.st_size) + kSlackBytes) {
        throw DamagedPicture(std::to_string(r.width) + " x " + std::to_string(r.height) + " pixels cannot come from " +
                             std::to_string(st.st_size) + " bytes");
    }
    if (r.channels != 3 && r.channels != 4) throw DamagedPicture("unexpected channel count");
    Picture picture = Picture::make(static_cast<int>(r.width), static_cast<int>(r.height));
    const std::size_t width = r.width;

    if (r.channels == 3) {
        // Opaque: libpng writes the rows in place (interlaced ones too).
        std::vector<png_bytep> rows(r.height);
        for (png_uint_32 y = 0; y < r.height; ++y) rows[y] = picture.row(static_cast<int>(y));
        if (!readImage(r, rows.data())) throw DamagedPicture(r.message);
    } else if (!r.interlaced) {
        std::vector<std::uint8_t> line(width * 4);
        for (png_uint_32 y = 0; y < r.height; ++y) {
            if (!readRow(r, line.data())) throw DamagedPicture(r.message);
            drawRowOverWhite(line.data(), width, picture.row(static_cast<int>(y)));
        }
    } else {
        // The passes of an interlaced picture build on each other: the whole
        // picture with its alpha is read first.
        std::vector<std::uint8_t> all(width * 4 * r.height);
        std::vector<png_bytep> rows(r.height);
        for (png_uint_32 y = 0; y < r.height; ++y) rows[y] = all.data() + width * 4 * y;
        if (!readImage(r, rows.data())) throw DamagedPicture(r.message);
        for (png_uint_32 y = 0; y < r.height; ++y) drawRowOverWhite(rows[y], width, picture.row(static_cast<int>(y)));
    }
    return picture;
}

} // namespace vextral::codecs
