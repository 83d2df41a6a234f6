#include "codecs/Readers.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

// JPEG files through libjpeg, decoded straight into the picture's rows as
// blue, green, red (CMYK files through a row of their own). A file that ends
// before its last row is refused rather than shown half grey; the work a
// hostile file can ask for is bounded by a scan count and a memory limit.

namespace vextral::codecs {

namespace {

struct JpegError {
    jpeg_error_mgr manager; // first, so that the library's pointer is ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int maxScans;
};

[[noreturn]] void fail(j_common_ptr cinfo)
{
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    std::longjmp(error->jump, 1);
}

// Warnings are passed over, but for the end of the data coming early.
void message(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) fail(cinfo);
}

void silent(j_common_ptr) {}

void countScans(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor) return;
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > error->maxScans) {
        std::snprintf(error->message, sizeof error->message, "more than %d scans", error->maxScans);
        std::longjmp(error->jump, 1);
    }
}

// What the libjpeg calls share; plain data, so that a longjmp skips no destructor.
struct JpegRead {
    jpeg_decompress_struct cinfo;
    JpegError error;
    jpeg_progress_mgr progress;
    bool cmyk = false;
};

bool create(JpegRead& r)
{
    if (setjmp(r.error.jump)) return false;
    jpeg_create_decompress(&r.cinfo);
    return true;
}

bool readHeader(JpegRead& r, std::span<const std::uint8_t> bytes)
{
    if (setjmp(r.error.jump)) return false;
    jpeg_mem_src(&r.cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&r.cinfo, TRUE);
    r.cmyk = r.cinfo.jpeg_color_space == JCS_CMYK || r.cinfo.jpeg_color_space == JCS_YCCK;
    r.cinfo.out_color_space = r.cmyk ? JCS_CMYK : JCS_EXT_BGR;
    return true;
}

// CMYK as Adobe writes it (inverted, as most such files are) or plain.
void cmykRow(const std::uint8_t* cmyk, std::size_t width, bool inverted, std::uint8_t* out)
{
    for (std::size_t x = 0; x < width; ++x, cmyk += 4, out += 3) {
        const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
        const auto channel = [&](std::uint8_t v) {
            const unsigned ink = inverted ? v : 255u - v;
            return static_cast<std::uint8_t>((ink * k + 127) / 255);
        };
        out[0] = channel(cmyk[2]);
        out[1] = channel(cmyk[1]);
        out[2] = channel(cmyk[0]);
    }
}

bool readRows(JpegRead& r, std::uint8_t* pixels, std::size_t stride, std::uint8_t* cmykLine)
{
    if (setjmp(r.error.jump)) return false;
    jpeg_start_decompress(&r.cinfo);
    while (r.cinfo.output_scanline < r.cinfo.output_height) {
        std::uint8_t* row = pixels + stride * r.cinfo.output_scanline;
        JSAMPROW target = r.cmyk ? cmykLine : row;
        if (jpeg_read_scanlines(&r.cinfo, &target, 1) != 1) {
            std::snprintf(r.error.message, sizeof r.error.message, "no more rows");
            return false;
        }
        if (r.cmyk) cmykRow(cmykLine, r.cinfo.output_width, r.cinfo.saw_Adobe_marker, row);
    }
    jpeg_finish_decompress(&r.cinfo);
    return true;
}

} // namespace

Picture readJpegPicture(std::span<const std::uint8_t> bytes, const ReaderLimits& limits)
{
    JpegRead r {};
    r.cinfo.err = jpeg_std_error(&r.error.manager);
    r.error.manager.error_exit = fail;
    r.error.manager.emit_message = message;
    r.error.manager.output_message = silent;
    r.error.maxScans = limits.jpegScans;
    r.progress.progress_monitor = countScans;
    struct Release {
        JpegRead& r;
        ~Release() { jpeg_destroy_decompress(&r.cinfo); }
    } release {r};
    if (!create(r)) throw std::bad_alloc();
    r.cinfo.progress = &r.progress;
    r.cinfo.mem->max_memory_to_use = limits.jpegDecoderMemory;

    if (!readHeader(r, bytes)) throw DamagedPicture(r.error.message);
    checkPictureSize(r.cinfo.image_width, r.cinfo.image_height, limits.pictureSide);
    // Every 8 x 8 block of a real JPEG costs at least a bit or so of its
    // file, so no real file holds more than a few hundred pixels a byte. A
    // file claiming millions of pixels from a few hundred bytes is damaged,
    // and decoding it would take seconds and hundreds of megabytes for
    // nothing but the decoder's filling.
    const std::uint64_t pixels = std::uint64_t {r.cinfo.image_width} * r.cinfo.image_height;
    if (pixels > limits.jpegPixelsAlwaysRead && pixels / limits.jpegPixelsPerByte > bytes.size()) {
        throw DamagedPicture(std::to_string(r.cinfo.image_width) + " x " + std::to_string(r.cinfo.image_height) +
                             " pixels cannot come from " + std::to_string(bytes.size()) + " bytes");
    }
    Picture picture = Picture::make(static_cast<int>(r.cinfo.image_width), static_cast<int>(r.cinfo.image_height));
    std::vector<std::uint8_t> cmykLine(r.cmyk ? 4 * static_cast<std::size_t>(r.cinfo.image_width) : 0);
    if (!readRows(r, picture.pixels.data(), picture.stride(), cmykLine.data())) throw DamagedPicture(r.error.message);
    return picture;
}

} // namespace vextral::codecs
