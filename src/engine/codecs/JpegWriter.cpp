#include "codecs/Writers.h"

#include "core/Error.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace vextral::codecs {

namespace {

struct JpegFailure {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void jpegFail(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1); }

void jpegQuiet(j_common_ptr, int) {}

// The libjpeg part; no C++ object lives across setjmp. rgbRow holds one row.
bool compress(FILE* file, const Picture& picture, const IOParams& p, ImageBuffer& buffer, JSAMPLE* rgbRow)
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
    jpeg_stdio_dest(&cinfo, file);
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
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* src = picture.row(y);
        for (int x = 0; x < picture.width; ++x) {
            rgbRow[3 * x] = src[3 * x + 2];
            rgbRow[3 * x + 1] = src[3 * x + 1];
            rgbRow[3 * x + 2] = src[3 * x];
        }
        JSAMPROW rows[1] = {rgbRow};
        jpeg_write_scanlines(&cinfo, rows, 1);
        if (buffer.progress && !buffer.progress(static_cast<int>((y + 1) * 100LL / picture.height)))
            buffer.aborting = true;
        if (buffer.aborting) break;
    }
    // An aborted file is left unfinished.
    if (!buffer.aborting) jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

void writeJpeg(ImageBuffer& buffer, const std::string& fileName)
{
    beginWrite(buffer, fileName);
    const Picture picture = to24Bit(buffer.picture());
    std::vector<JSAMPLE> row(static_cast<std::size_t>(picture.width) * 3);
    FileSink file(fileName);
    errno = 0;
    if (!compress(file.handle(), picture, buffer.params(), buffer, row.data())) {
        buffer.aborting = true;
        file.writeFailed(errno);
    }
    file.close();
}

} // namespace vextral::codecs
