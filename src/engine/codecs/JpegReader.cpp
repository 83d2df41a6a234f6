#include "codecs/Readers.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "core/Error.h"

#include <jerror.h>
#include <jpeglib.h>

// JPEG files through libjpeg, decoded straight into the picture's rows as
// blue, green, red (CMYK files through a row of their own). A file that ends
// before its last row, or whose data libjpeg finds corrupt, is refused rather
// than shown half grey. What a file may make the decoder do is bounded by
// the bytes that can carry picture data (the entropy-coded data of its
// scans; comments and application segments carry none): the picture's
// pixels, the coefficient buffer of a progressive or multi-scan file, and
// the blocks that all its scans together decode.

namespace vextral::codecs {

namespace {

struct JpegError {
    jpeg_error_mgr manager; // first, so that the library's pointer is ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int maxScans;
    // The blocks the scans may decode in all, and those the scans so far
    // have asked for.
    std::uint64_t maxScanBlocks;
    std::uint64_t scanBlocks;
    int countedScan;
    bool outOfMemory; // the library's own allocation failed
};

[[noreturn]] void fail(j_common_ptr cinfo)
{
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    error->outOfMemory = cinfo->err->msg_code == JERR_OUT_OF_MEMORY;
    std::longjmp(error->jump, 1);
}

// Warnings that say the picture is not all there: the data ends early, or
// libjpeg met damaged data ("Corrupt JPEG data: ...": a bad Huffman or
// arithmetic code, data cut short by a marker, missing restart markers,
// stray bytes) and filled the rest in with grey. A damaged colour profile
// leaves the pixels whole.
bool damagedData(j_common_ptr cinfo)
{
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC || code == JWRN_EXTRANEOUS_DATA ||
        code == JWRN_HUFF_BAD_CODE) {
        return true;
    }
    if (code <= 0 || code > cinfo->err->last_jpeg_message) return false;
    const char* text = cinfo->err->jpeg_message_table[code];
    return text && std::strncmp(text, "Corrupt JPEG data", 17) == 0 && !std::strstr(text, "ICC");
}

// Other warnings (an odd JFIF version, say) are passed over.
void message(j_common_ptr cinfo, int level)
{
    if (level < 0 && damagedData(cinfo)) fail(cinfo);
}

void silent(j_common_ptr) {}

// Called between the decoder's steps: each new scan counts, with the blocks
// of its components, before its data is decoded.
void countScans(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor) return;
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number == error->countedScan) return;
    error->countedScan = d->input_scan_number;
    if (d->input_scan_number > error->maxScans) {
        std::snprintf(error->message, sizeof error->message, "more than %d scans", error->maxScans);
        std::longjmp(error->jump, 1);
    }
    for (int i = 0; i < d->comps_in_scan; ++i) {
        const jpeg_component_info* c = d->cur_comp_info[i];
        error->scanBlocks += std::uint64_t {c->width_in_blocks} * c->height_in_blocks;
    }
    if (error->scanBlocks > error->maxScanBlocks) {
        std::snprintf(error->message, sizeof error->message,
                      "%d scans over %llu blocks are more than its data can hold", d->input_scan_number,
                      static_cast<unsigned long long>(error->scanBlocks));
        std::longjmp(error->jump, 1);
    }
}

std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

// The bytes of the file that can carry picture data: the entropy-coded data
// of its scans (restart markers included), up to the end marker. Comments,
// application segments and whatever follows the end carry none, so however
// long they are they buy no pixels. A file whose markers cannot be followed
// counts what was found up to there (libjpeg refuses it anyway).
std::uint64_t scanDataBytes(std::span<const std::uint8_t> bytes)
{
    std::uint64_t count = 0;
    std::size_t at = 2; // after the start marker
    const std::size_t size = bytes.size();
    while (at + 1 < size) {
        if (bytes[at] != 0xFF) {
            ++at; // stray bytes between segments
            continue;
        }
        const std::uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {
            ++at; // fill bytes
            continue;
        }
        at += 2;
        if (marker == 0xD9) break;                                          // end of picture
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue; // no length
        if (at + 2 > size) break;
        const std::size_t length = be16(bytes.data() + at);
        if (length < 2) break;
        at += length;
        if (marker != 0xDA) continue;
        // The entropy-coded data runs to the next marker that is neither a
        // stuffed 0xFF byte nor a restart marker.
        const std::size_t start = std::min(at, size);
        while (at + 1 < size) {
            if (bytes[at] == 0xFF && bytes[at + 1] != 0 && (bytes[at + 1] < 0xD0 || bytes[at + 1] > 0xD7)) break;
            ++at;
        }
        if (at + 1 >= size) at = size;
        count += at - start;
    }
    return count;
}

// The memory of the whole-picture coefficient buffer that libjpeg keeps for
// a progressive file or one whose components come in scans of their own
// (each component's blocks rounded up to its sampling, 64 coefficients of 2
// bytes a block); none for a single-scan file.
std::uint64_t coefficientBytes(const jpeg_decompress_struct& cinfo)
{
    if (!cinfo.progressive_mode && cinfo.comps_in_scan >= cinfo.num_components) return 0;
    std::uint64_t total = 0;
    const auto roundUp = [](std::uint64_t v, std::uint64_t m) { return m ? (v + m - 1) / m * m : v; };
    for (int i = 0; i < cinfo.num_components; ++i) {
        const jpeg_component_info& c = cinfo.comp_info[i];
        total += roundUp(c.width_in_blocks, static_cast<std::uint64_t>(c.h_samp_factor)) *
                 roundUp(c.height_in_blocks, static_cast<std::uint64_t>(c.v_samp_factor)) * sizeof(JBLOCK);
    }
    return total;
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

// For a progressive or multi-scan file this reads all its scans into the
// coefficient buffer: the bounds on scans are met before the picture is made.
bool start(JpegRead& r)
{
    if (setjmp(r.error.jump)) return false;
    jpeg_start_decompress(&r.cinfo);
    return true;
}

bool readRows(JpegRead& r, std::uint8_t* pixels, std::size_t stride, std::uint8_t* cmykLine)
{
    if (setjmp(r.error.jump)) return false;
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

// A step that failed: a damaged file, or no room for the library's buffers
// (the readers' out-of-memory refusal).
[[noreturn]] void refuse(const JpegRead& r)
{
    if (r.error.outOfMemory) throw std::bad_alloc();
    throw DamagedPicture(r.error.message);
}

} // namespace

Picture readJpegPicture(std::span<const std::uint8_t> bytes, const ReaderLimits& limits)
{
    // Every bound below is counted in the bytes that can hold picture data.
    const std::uint64_t dataBytes = scanDataBytes(bytes);
    JpegRead r {};
    r.cinfo.err = jpeg_std_error(&r.error.manager);
    r.error.manager.error_exit = fail;
    r.error.manager.emit_message = message;
    r.error.manager.output_message = silent;
    r.error.maxScans = limits.jpegScans;
    r.error.maxScanBlocks = limits.jpegScanBlocksAlwaysRead + dataBytes * limits.jpegScanBlocksPerByte;
    r.progress.progress_monitor = countScans;
    struct Release {
        JpegRead& r;
        ~Release() { jpeg_destroy_decompress(&r.cinfo); }
    } release {r};
    if (!create(r)) throw std::bad_alloc();
    r.cinfo.progress = &r.progress;
    r.cinfo.mem->max_memory_to_use = limits.jpegDecoderMemory;

    if (!readHeader(r, bytes)) refuse(r);
    checkPictureSize(r.cinfo.image_width, r.cinfo.image_height, limits.pictureSide);
    const std::string size = std::to_string(r.cinfo.image_width) + " x " + std::to_string(r.cinfo.image_height);
    // Every 8 x 8 block of a real JPEG costs at least a bit or so of its
    // scan data, so no real file holds more than a few hundred pixels a
    // byte. A file claiming millions of pixels from a few hundred bytes is
    // damaged, and decoding it would take seconds and hundreds of megabytes
    // for nothing but the decoder's filling.
    const std::uint64_t pixels = std::uint64_t {r.cinfo.image_width} * r.cinfo.image_height;
    if (pixels > limits.jpegPixelsAlwaysRead && pixels / limits.jpegPixelsPerByte > dataBytes) {
        throw DamagedPicture(size + " pixels cannot come from " + std::to_string(dataBytes) + " bytes of scan data");
    }
    // The coefficient buffer: within the decoder's memory, and within what
    // the scan data can fill (a block of a real file costs at least a bit).
    const std::uint64_t coefficients = coefficientBytes(r.cinfo);
    if (coefficients > static_cast<std::uint64_t>(limits.jpegDecoderMemory)) {
        throw Error("Not enough memory to read the picture of " + size + " pixels (its coefficients take " +
                    std::to_string(coefficients >> 10) + " KiB, more than " +
                    std::to_string(limits.jpegDecoderMemory >> 10) + " KiB)");
    }
    const std::uint64_t perByte = std::max<std::uint64_t>(limits.jpegCoefficientBytesPerByte, 1);
    if (coefficients > limits.jpegCoefficientBytesAlwaysRead &&
        coefficients / perByte + (coefficients % perByte != 0) > dataBytes) {
        throw DamagedPicture(size + " pixels in several scans cannot come from " + std::to_string(dataBytes) +
                             " bytes of scan data");
    }
    if (!start(r)) refuse(r);
    Picture picture = Picture::make(static_cast<int>(r.cinfo.image_width), static_cast<int>(r.cinfo.image_height));
    std::vector<std::uint8_t> cmykLine(r.cmyk ? 4 * static_cast<std::size_t>(r.cinfo.image_width) : 0);
    if (!readRows(r, picture.pixels.data(), picture.stride(), cmykLine.data())) refuse(r);
    return picture;
}

} // namespace vextral::codecs
