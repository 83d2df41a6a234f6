#include "codecs/Writers.h"

#include "codecs/Quantizer.h"
#include "core/Error.h"

#include <cerrno>
#include <cmath>
#include <optional>
#include <png.h>

namespace vextral::codecs {

namespace {

[[noreturn]] void pngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarn(png_structp, png_const_charp) {}

void pngWrite(png_structp png, png_bytep data, png_size_t n)
{
    auto* file = static_cast<FILE*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, n, file) != n) png_error(png, "write failed");
}

void pngFlush(png_structp png) { std::fflush(static_cast<FILE*>(png_get_io_ptr(png))); }

std::uint32_t perMetre(std::int32_t dpi) { return static_cast<std::uint32_t>(std::lround(dpi * 100.0 / 2.54)); }

struct PngJob {
    const Picture* picture; // 24-bit, or 1-bit for grey output
    int colourType;
    const Quantizer* quantizer; // colour type 3
    const std::vector<std::uint8_t>* indices;
    std::vector<png_color> palette;
    png_color_16 background;
};

// The libpng part; nothing that needs a destructor lives across setjmp.
// Returns 0 on success, 1 when the structures cannot be made, 2 when writing fails.
int writeRows(FILE* file, const PngJob& job, const IOParams& p, ImageBuffer& buffer)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngWarn);
    if (!png) return 1;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return 1;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 2;
    }
    const Picture& pic = *job.picture;
    png_set_write_fn(png, file, pngWrite, pngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(pic.width), static_cast<png_uint_32>(pic.height),
                 job.colourType == 0 ? 1 : 8, job.colourType,
                 p.pngInterlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (job.colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, job.palette.data(), static_cast<int>(job.palette.size()));
    }
    png_set_pHYs(png, info, perMetre(p.resolutionX), perMetre(p.resolutionY), PNG_RESOLUTION_METER);
    png_set_filter(png, PNG_FILTER_TYPE_BASE,
                   p.pngFilter == 1   ? PNG_FILTER_SUB
                   : p.pngFilter == 2 ? PNG_FILTER_PAETH
                                      : PNG_FILTER_NONE);
    png_color_16 bkgd = job.background;
    png_set_bKGD(png, info, &bkgd);
    png_set_compression_level(png, p.pngLevel < 0 ? 0 : p.pngLevel > 9 ? 9 : p.pngLevel);
    if (job.colourType == PNG_COLOR_TYPE_RGB) png_set_bgr(png);
    png_write_info(png, info);
    const int passes = p.pngInterlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes && !buffer.aborting; ++pass) {
        for (int y = 0; y < pic.height; ++y) {
            png_bytep row = job.colourType == PNG_COLOR_TYPE_PALETTE
                                ? const_cast<png_bytep>(job.indices->data() + static_cast<std::size_t>(y) *
                                                                                  static_cast<std::size_t>(pic.width))
                                : const_cast<png_bytep>(pic.row(y));
            png_write_row(png, row);
        }
        if (buffer.progress && !buffer.progress((pass + 1) * 100 / passes)) buffer.aborting = true;
    }
    if (!buffer.aborting) png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return 0;
}

} // namespace

void writePng(ImageBuffer& buffer, const std::string& fileName)
{
    beginWrite(buffer, fileName);
    const IOParams& p = buffer.params();
    PngJob job {};
    // The buffer's picture is written as it is when it has the layout the
    // file wants; only other layouts are converted, into a picture of their own.
    std::optional<Picture> converted;
    const Picture* source = &buffer.picture();
    std::optional<Quantizer> quantizer;
    std::vector<std::uint8_t> indices;
    if (p.sampleBits != 1) {
        if (source->bits != 24) source = &converted.emplace(to24Bit(*source));
        job.colourType = p.samples != 1 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE;
    } else {
        converted = reduceToTwoColours(buffer.picture()).picture;
        job.colourType = p.samples != 1 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
        if (job.colourType == PNG_COLOR_TYPE_RGB) converted = to24Bit(*converted);
        source = &*converted;
    }
    const Picture& picture = *source;
    job.picture = &picture;
    if (job.colourType == PNG_COLOR_TYPE_PALETTE) {
        quantizer.emplace(picture, 256);
        for (const Bgr& c : quantizer->paddedTable(256)) job.palette.push_back({c.r, c.g, c.b});
        indices.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
        std::size_t i = 0;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) indices[i++] = quantizer->index(picture.pixel(x, y));
        }
        job.quantizer = &*quantizer;
        job.indices = &indices;
        job.background.index = quantizer->index(p.pngBackground);
    } else if (job.colourType == PNG_COLOR_TYPE_GRAY) {
        job.background.gray = luminance(p.pngBackground) >= 128 ? 1 : 0;
    } else {
        job.background.red = p.pngBackground.r;
        job.background.green = p.pngBackground.g;
        job.background.blue = p.pngBackground.b;
    }
    FileSink file(fileName);
    errno = 0;
    const int result = writeRows(file.handle(), job, p, buffer);
    if (result == 1) throw Error("Error on creating PNG");
    if (result == 2) {
        buffer.aborting = true;
        file.writeFailed(errno);
    }
    file.close();
}

} // namespace vextral::codecs
