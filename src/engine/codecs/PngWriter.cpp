#include "codecs/Writers.h"

#include "codecs/LibPng.h"
#include "codecs/Quantizer.h"
#include "core/Error.h"

#include <cmath>
#include <cstdlib>
#include <exception>
#include <optional>
#include <png.h>
#include <stdexcept>

namespace vextral::codecs {

namespace {

// The sink behind libpng's write callback. A sink that throws is kept,
// libpng is stopped by png_error, and the exception is raised again once
// libpng has been left (PngSession keeps libpng's own errors): no C++
// exception crosses libpng.
struct SinkOutput {
    Sink* sink;
    std::exception_ptr failure;
};

void pngWrite(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<SinkOutput*>(png_get_io_ptr(png));
    try {
        out->sink->write(data, n);
    } catch (...) {
        out->failure = std::current_exception();
    }
    if (out->failure) png_error(png, "write failed");
}

void pngFlush(png_structp) {}

std::uint32_t perMetre(std::int32_t dpi) { return static_cast<std::uint32_t>(std::lround(dpi * 100.0 / 2.54)); }

// What one file holds; unset options keep libpng's defaults.
struct PngJob {
    int width = 0, height = 0;
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    std::vector<png_bytep> rows; // height rows in the file's layout
    bool bgr = false;            // rows hold blue, green, red
    bool interlaced = false;
    std::vector<png_color> palette;
    std::optional<png_color_16> background;
    std::optional<std::uint32_t> resolutionX, resolutionY; // pixels per metre
    std::optional<int> filter, level;
};

// Encodes the job into the sink. A progress callback that returns false
// stops after a pass, and the file ends there.
void writeJob(const PngJob& job, Sink& sink, const std::function<bool(int)>& progress)
{
    PngSession session(PngSession::Kind::Write);
    if (!session) throw Error("Error on creating PNG");
    SinkOutput out {&sink, nullptr};
    png_structp png = session.png();
    png_infop info = session.info();
    // Everything libpng may fail in runs inside the step, which holds nothing
    // that needs a destructor.
    const bool written = session.run([&] {
        png_set_write_fn(png, &out, pngWrite, pngFlush);
        png_set_IHDR(png, info, static_cast<png_uint_32>(job.width), static_cast<png_uint_32>(job.height), job.bitDepth,
                     job.colourType, job.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (job.colourType == PNG_COLOR_TYPE_PALETTE) {
            png_set_PLTE(png, info, job.palette.data(), static_cast<int>(job.palette.size()));
        }
        if (job.resolutionX && job.resolutionY)
            png_set_pHYs(png, info, *job.resolutionX, *job.resolutionY, PNG_RESOLUTION_METER);
        if (job.filter) png_set_filter(png, PNG_FILTER_TYPE_BASE, *job.filter);
        if (job.background) {
            png_color_16 bkgd = *job.background;
            png_set_bKGD(png, info, &bkgd);
        }
        if (job.level) png_set_compression_level(png, *job.level);
        if (job.bgr) png_set_bgr(png);
        png_write_info(png, info);
        const int passes = job.interlaced ? png_set_interlace_handling(png) : 1;
        bool stopped = false;
        for (int pass = 0; pass < passes && !stopped; ++pass) {
            for (png_bytep row : job.rows) png_write_row(png, row);
            if (progress && !progress((pass + 1) * 100 / passes)) stopped = true;
        }
        if (!stopped) png_write_end(png, info);
    });
    if (out.failure) std::rethrow_exception(out.failure);
    if (!written) throw Error("Cannot write to file " + sink.name() + ": " + session.message());
}

// Straight 0xAARRGGBB pixels as the bytes libpng takes: R, G, B, A.
std::vector<std::uint8_t> rgbaBytes(const std::vector<std::uint32_t>& argb)
{
    std::vector<std::uint8_t> bytes(argb.size() * 4);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        const std::uint32_t p = argb[i];
        bytes[i * 4] = static_cast<std::uint8_t>(p >> 16);
        bytes[i * 4 + 1] = static_cast<std::uint8_t>(p >> 8);
        bytes[i * 4 + 2] = static_cast<std::uint8_t>(p);
        bytes[i * 4 + 3] = static_cast<std::uint8_t>(p >> 24);
    }
    return bytes;
}

void addRgbaRows(PngJob& job, int width, int height, std::vector<std::uint8_t>& bytes)
{
    job.width = width;
    job.height = height;
    job.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int y = 0; y < height; ++y)
        job.rows.push_back(bytes.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4);
}

void setWriteParams(PngJob& job, const IOParams& p)
{
    job.interlaced = p.pngInterlaced;
    job.resolutionX = perMetre(p.resolutionX);
    job.resolutionY = perMetre(p.resolutionY);
    job.filter = p.pngFilter == 1 ? PNG_FILTER_SUB : p.pngFilter == 2 ? PNG_FILTER_PAETH : PNG_FILTER_NONE;
    job.level = p.pngLevel < 0 ? 0 : p.pngLevel > 9 ? 9 : p.pngLevel;
}

} // namespace

void writePng(ImageBuffer& buffer, Sink& sink)
{
    beginWrite(buffer, sink);
    const IOParams& p = buffer.params();
    PngJob job;
    // A true-colour file of a picture that keeps its transparency holds it:
    // 8-bit RGBA, with the writer's other parameters as for RGB.
    if (buffer.picture().keepsTransparency() && p.sampleBits != 1 && p.samples != 1) {
        std::vector<std::uint8_t> bytes = rgbaBytes(buffer.picture().argb);
        addRgbaRows(job, buffer.picture().width, buffer.picture().height, bytes);
        setWriteParams(job, p);
        writeJob(job, sink, buffer.progress);
        return;
    }
    // The buffer's picture is written as it is when it has the layout the
    // file wants; only other layouts are converted, into a picture of their own.
    std::optional<Picture> converted;
    const Picture* source = &buffer.picture();
    std::optional<Quantizer> quantizer;
    std::vector<std::uint8_t> indices;
    std::optional<TwoColourPicture> two;
    if (p.sampleBits != 1) {
        if (source->bits != 24) source = &converted.emplace(to24Bit(*source));
        job.colourType = p.samples != 1 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE;
    } else {
        // The two-colour reduction keeps a picture's two colours: 1 bit a
        // pixel over a two-entry palette (black and white ones as 1-bit
        // grey), or those two colours in true colour.
        two = reduceToTwoColours(buffer.picture());
        const bool blackAndWhite = two->colour0 == Bgr {0, 0, 0} && two->colour1 == Bgr {255, 255, 255};
        job.bitDepth = p.samples != 1 ? 8 : 1;
        job.colourType = p.samples != 1  ? PNG_COLOR_TYPE_RGB
                         : blackAndWhite ? PNG_COLOR_TYPE_GRAY
                                         : PNG_COLOR_TYPE_PALETTE;
        if (job.colourType == PNG_COLOR_TYPE_RGB) {
            Picture& rgb = converted.emplace(Picture::make(two->picture.width, two->picture.height));
            for (int y = 0; y < rgb.height; ++y) {
                for (int x = 0; x < rgb.width; ++x)
                    rgb.setPixel(x, y, two->picture.bit(x, y) ? two->colour1 : two->colour0);
            }
        } else {
            converted = std::move(two->picture);
        }
        source = &*converted;
    }
    const Picture& picture = *source;
    png_color_16 background {};
    if (job.colourType == PNG_COLOR_TYPE_PALETTE && two) {
        // The rows are the 1-bit picture's own: bit 7 first, as PNG packs them.
        for (const Bgr& c : {two->colour0, two->colour1}) job.palette.push_back({c.r, c.g, c.b});
        const auto distance = [&](Bgr c) {
            const Bgr b = p.pngBackground;
            return std::abs(b.r - c.r) + std::abs(b.g - c.g) + std::abs(b.b - c.b);
        };
        background.index = distance(two->colour1) < distance(two->colour0) ? 1 : 0;
    } else if (job.colourType == PNG_COLOR_TYPE_PALETTE) {
        quantizer.emplace(picture, 256);
        for (const Bgr& c : quantizer->paddedTable(256)) job.palette.push_back({c.r, c.g, c.b});
        indices.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
        std::size_t i = 0;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) indices[i++] = quantizer->index(picture.pixel(x, y));
        }
        background.index = quantizer->index(p.pngBackground);
    } else if (job.colourType == PNG_COLOR_TYPE_GRAY) {
        background.gray = luminance(p.pngBackground) >= 128 ? 1 : 0;
    } else {
        background.red = p.pngBackground.r;
        background.green = p.pngBackground.g;
        background.blue = p.pngBackground.b;
    }
    job.background = background;
    job.width = picture.width;
    job.height = picture.height;
    for (int y = 0; y < picture.height; ++y) {
        job.rows.push_back(!indices.empty()
                               ? indices.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width)
                               : const_cast<png_bytep>(picture.row(y)));
    }
    job.bgr = job.colourType == PNG_COLOR_TYPE_RGB;
    setWriteParams(job, p);
    writeJob(job, sink, buffer.progress);
}

void writePngArgb(int width, int height, const std::vector<std::uint32_t>& argb, Sink& sink)
{
    if (width <= 0 || height <= 0) throw Error("Cannot write an empty picture to " + sink.name());
    if (argb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        throw std::invalid_argument("writePngArgb: the pixels do not fill the picture");
    std::vector<std::uint8_t> bytes = rgbaBytes(argb);
    PngJob job;
    addRgbaRows(job, width, height, bytes);
    writeJob(job, sink, nullptr);
}

} // namespace vextral::codecs
