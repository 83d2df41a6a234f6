#include "codecs/Writers.h"

#include "core/Error.h"

#include <csetjmp>
#include <cstdio>
#include <exception>
#include <jpeglib.h>

namespace vextral::codecs {

namespace {

struct JpegFailure {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void jpegFail(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1); }

void jpegQuiet(j_common_ptr, int) {}

// The compressor's output through a buffer into the sink. A sink that throws
// is remembered and the compressor stopped through its error exit: no C++
// exception crosses libjpeg.
struct SinkDestination {
    jpeg_destination_mgr base;
    Sink* sink;
    std::exception_ptr failure;
    JOCTET buffer[16384];
};

void startDestination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<SinkDestination*>(cinfo->dest);
    d->base.next_output_byte = d->buffer;
    d->base.free_in_buffer = sizeof d->buffer;
}

// Passes the first n bytes of the buffer on and empties it; false when the sink failed.
bool pass(j_compress_ptr cinfo, std::size_t n)
{
    auto* d = reinterpret_cast<SinkDestination*>(cinfo->dest);
    try {
        d->sink->write(d->buffer, n);
    } catch (...) {
        d->failure = std::current_exception();
        return false;
    }
    startDestination(cinfo);
    return true;
}

boolean emptyDestination(j_compress_ptr cinfo)
{
    if (!pass(cinfo, sizeof SinkDestination::buffer)) jpegFail(reinterpret_cast<j_common_ptr>(cinfo));
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    const auto* d = reinterpret_cast<SinkDestination*>(cinfo->dest);
    if (!pass(cinfo, sizeof d->buffer - d->base.free_in_buffer)) jpegFail(reinterpret_cast<j_common_ptr>(cinfo));
}

// The libjpeg part; no C++ object lives across setjmp. rgbRow holds one row.
// Returns false when libjpeg fails.
bool compress(SinkDestination& dest, const Picture& picture, const IOParams& p, ImageBuffer& buffer, JSAMPLE* rgbRow)
{
    jpeg_compress_struct cinfo;
    JpegFailure failure;
    cinfo.err = jpeg_std_error(&failure.base);
    failure.base.error_exit = jpegFail;
    failure.base.emit_message = jpegQuiet;
    if (setjmp(failure.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.base;
    cinfo.image_width = static_cast<JDIMENSION>(picture.width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    // 0 RGB, 1 grey, 2 YCbCr (JFIF). CMYK and YCCK would need four input
    // components, which a picture never has: they write YCbCr.
    jpeg_set_colorspace(&cinfo, p.jpegColorSpace == 0 ? JCS_RGB : p.jpegColorSpace == 1 ? JCS_GRAYSCALE : JCS_YCbCr);
    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(p.resolutionX);
    cinfo.Y_density = static_cast<UINT16>(p.resolutionY);
    cinfo.dct_method = p.jpegDctMethod == 1 ? JDCT_IFAST : p.jpegDctMethod == 2 ? JDCT_FLOAT : JDCT_ISLOW;
    cinfo.optimize_coding = p.jpegOptimize ? TRUE : FALSE;
    cinfo.smoothing_factor = p.jpegSmoothing < 0 ? 0 : p.jpegSmoothing > 100 ? 100 : p.jpegSmoothing;
    jpeg_set_quality(&cinfo, p.jpegQuality, TRUE);
    if (p.jpegProgressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    bool stopped = false;
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* src = picture.row(y);
        for (int x = 0; x < picture.width; ++x) {
            rgbRow[3 * x] = src[3 * x + 2];
            rgbRow[3 * x + 1] = src[3 * x + 1];
            rgbRow[3 * x + 2] = src[3 * x];
        }
        JSAMPROW rows[1] = {rgbRow};
        jpeg_write_scanlines(&cinfo, rows, 1);
        if (buffer.progress && !buffer.progress(static_cast<int>((y + 1) * 100LL / picture.height))) {
            stopped = true;
            break;
        }
    }
    // A stopped file is left unfinished: what the compressor has passed on so far.
    if (stopped) {
        termDestination(&cinfo);
    } else {
        jpeg_finish_compress(&cinfo);
    }
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

void writeJpeg(ImageBuffer& buffer, Sink& sink)
{
    beginWrite(buffer, sink);
    const Picture picture = to24Bit(buffer.picture());
    std::vector<JSAMPLE> row(static_cast<std::size_t>(picture.width) * 3);
    SinkDestination dest {};
    dest.base.init_destination = startDestination;
    dest.base.empty_output_buffer = emptyDestination;
    dest.base.term_destination = termDestination;
    dest.sink = &sink;
    if (!compress(dest, picture, buffer.params(), buffer, row.data())) {
        if (dest.failure) std::rethrow_exception(dest.failure);
        throw Error("Cannot write to file " + sink.name() + ": the JPEG compressor failed");
    }
}

} // namespace vextral::codecs
