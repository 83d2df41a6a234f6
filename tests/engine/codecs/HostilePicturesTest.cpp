// Small picture files built to make the readers work far beyond what their
// bytes hold: GIF and PNG headers claiming huge pictures, JPEG files
// repeating empty scans, cut short or padded with comments. Each read runs
// in a child process with about 1 GB of address space on top of the test
// program's and a CPU limit, and must end within seconds with a picture or a
// clear refusal, never std::bad_alloc. The files are built here, byte by
// byte or through libjpeg and libpng.
#include "codecs/GifReader.h"
#include "codecs/IconPng.h"
#include "codecs/ImageBuffer.h"
#include "codecs/PictureReader.h"
#include "platform/PictureFile.h"

#include "support/LimitedChild.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace vextral::codecs {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The sanitizers make the readers several times slower.
constexpr double kQuick = test::kChildUnderAddressSanitizer ? 20.0 : 5.0; // seconds
constexpr double kMemoryMiB = 1000;

void put16le(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put16be(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}

std::string describe(const ReadResult<Picture>& read)
{
    if (!read) return read.reason();
    return "picture " + std::to_string(read->width) + " x " + std::to_string(read->height);
}

std::string readAs(const Bytes& bytes, const char* name)
{
    return describe(readPicture(FileBytes::copyOf(bytes), *pictureInputFor(name)));
}

std::string readGifBytes(const Bytes& bytes)
{
    ImageBuffer buffer;
    const ReadStatus read = readGif(buffer, bytes, {}, GifTransparency::OverWhite);
    if (!read) return read.reason();
    return "picture " + std::to_string(buffer.picture().width) + " x " + std::to_string(buffer.picture().height);
}

// Runs the read in a limited child and checks that it answered within the
// bounds; what it said comes back.
std::string boundedRead(const char* label, const std::function<std::string()>& read,
                        const test::ChildLimits& limits = {})
{
    // VEXTRAL_MEASURE_MIB raises the child's memory (and CPU) allowance, to
    // measure what a read takes beyond the bounds.
    test::ChildLimits used = limits;
    if (const char* measure = std::getenv("VEXTRAL_MEASURE_MIB")) {
        used.memoryBytes = std::stoull(measure) << 20;
        used.cpuSeconds = 120;
    }
    const test::ChildRun run = test::runLimited(read, used);
    std::printf("[ figures  ] %s: %.2f s (%.2f s of CPU), %.0f MiB, %s%s\n", label, run.seconds, run.cpuSeconds,
                run.peakMiB, run.text.c_str(), run.failure.c_str());
    EXPECT_EQ(run.failure, "") << label;
    // Processor time: the machine may be busy with other work.
    EXPECT_LT(run.cpuSeconds, kQuick) << label;
    if (!test::kChildUnderAddressSanitizer) {
        EXPECT_LT(run.peakMiB, kMemoryMiB) << label;
    }
    EXPECT_EQ(run.text.find("bad_alloc"), std::string::npos) << label;
    return run.text;
}

// ---------------------------------------------------------------- GIF

// A GIF89a file with a screen and one image of the given sizes, a 256-entry
// table (with or without black) and dataBytes of LZW data that are all
// zero: codes that each give one pixel of index 0.
Bytes hugeGif(unsigned screenWidth, unsigned screenHeight, unsigned width, unsigned height, std::size_t dataBytes,
              bool black)
{
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    put16le(b, screenWidth);
    put16le(b, screenHeight);
    b.insert(b.end(), {0xF7, 0, 0});
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(black ? i : 128 + i / 2);
        b.insert(b.end(), {v, v, v});
    }
    b.push_back(0x2C);
    put16le(b, 0);
    put16le(b, 0);
    put16le(b, width);
    put16le(b, height);
    b.push_back(0);
    b.push_back(8); // minimum code size
    for (std::size_t left = dataBytes; left != 0;) {
        const std::size_t n = std::min<std::size_t>(left, 255);
        b.push_back(static_cast<std::uint8_t>(n));
        b.insert(b.end(), n, 0);
        left -= n;
    }
    b.push_back(0);
    b.push_back(0x3B);
    return b;
}

constexpr std::size_t kGifData = 1600 * 1000; // enough bits for 65535 x 65535 pixels of LZW data

TEST(HostilePictures, GifClaimingAHugeScreenOrImage)
{
    // Refused as too large before anything is set aside for the image.
    const std::string tooLarge = "The picture size 65535 x 65535 is too large: each side can be at most 16384 pixels";
    for (const bool black : {true, false}) {
        SCOPED_TRACE(black ? "table with black" : "table without black");
        const Bytes both = hugeGif(65535, 65535, 65535, 65535, kGifData, black);
        EXPECT_EQ(boundedRead("GIF 65535 x 65535 screen and image", [&] { return readGifBytes(both); }), tooLarge);
        const Bytes image = hugeGif(16, 16, 65535, 65535, kGifData, black);
        EXPECT_EQ(boundedRead("GIF 65535 x 65535 image", [&] { return readGifBytes(image); }), tooLarge);
        // Nothing is made for the screen: a small image on it is read.
        const Bytes screen = hugeGif(65535, 65535, 16, 16, 64, black);
        EXPECT_EQ(boundedRead("GIF 65535 x 65535 screen", [&] { return readGifBytes(screen); }), "picture 16 x 16");
    }
    // At the side limit the picture is read (its pixels the data does not
    // reach are black), or refused for want of memory.
    const Bytes largest = hugeGif(16384, 16384, 16384, 16384, kGifData, true);
    const std::string read = boundedRead("GIF 16384 x 16384", [&] { return readGifBytes(largest); });
    EXPECT_TRUE(read == "picture 16384 x 16384" || read == "Not enough memory to read the picture") << read;
}

TEST(HostilePictures, OutOfMemoryIsTheReadersRefusal)
{
    // Pictures within the limits, in a process that has no room for them.
    if (test::kChildUnderAddressSanitizer)
        GTEST_SKIP() << "under AddressSanitizer a child cannot be given a small address space";
    test::ChildLimits little;
    little.memoryBytes = 40u << 20;
    const Bytes gif = hugeGif(4096, 4096, 4096, 4096, 64 * 1024, true);
    EXPECT_EQ(boundedRead(
                  "GIF 4096 x 4096 in 40 MiB", [&] { return readGifBytes(gif); }, little),
              "Not enough memory to read the picture");
    // The same through the picture reader of every other format: a PNG
    // file of 4096 x 4096 white pixels.
    Bytes white;
    {
        png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(p);
        ASSERT_EQ(setjmp(png_jmpbuf(p)), 0);
        png_set_write_fn(
            p, &white,
            [](png_structp s, png_bytep data, png_size_t n) {
                auto* out = static_cast<Bytes*>(png_get_io_ptr(s));
                out->insert(out->end(), data, data + n);
            },
            nullptr);
        png_set_IHDR(p, info, 4096, 4096, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(p, info);
        std::vector<std::uint8_t> row(512, 0xFF);
        for (int y = 0; y < 4096; ++y) png_write_row(p, row.data());
        png_write_end(p, info);
        png_destroy_write_struct(&p, &info);
    }
    EXPECT_EQ(boundedRead(
                  "PNG 4096 x 4096 in 40 MiB", [&] { return readAs(white, "a.png"); }, little),
              "Not enough memory to read the picture");
    EXPECT_EQ(readAs(white, "a.png"), "picture 4096 x 4096");
    // And through an icon file whose one image is that PNG.
    Bytes ico {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 32, 0};
    for (const std::uint32_t v : {static_cast<std::uint32_t>(white.size()), 22u}) {
        put16le(ico, v & 0xFFFF);
        put16le(ico, v >> 16);
    }
    ico.insert(ico.end(), white.begin(), white.end());
    const auto loadIcon = [&] {
        ImageBuffer buffer;
        const ReadStatus read = platform::loadPicture(buffer, ico, *pictureInputFor("a.ico"));
        return read ? "picture " + std::to_string(buffer.picture().width) : read.reason();
    };
    EXPECT_EQ(boundedRead("ICO of a PNG of 4096 x 4096 in 40 MiB", loadIcon, little),
              "Not enough memory to read the picture");
    EXPECT_EQ(loadIcon(), "picture 32");
}

// ---------------------------------------------------------------- JPEG

// Bits of entropy-coded data, 0xFF bytes stuffed.
struct BitWriter {
    Bytes& out;
    std::uint32_t bits = 0;
    int count = 0;
    void put(std::uint32_t value, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            bits = bits << 1 | ((value >> i) & 1);
            if (++count == 8) flushByte();
        }
    }
    void flushByte()
    {
        out.push_back(static_cast<std::uint8_t>(bits));
        if ((bits & 0xFF) == 0xFF) out.push_back(0);
        bits = 0;
        count = 0;
    }
    void finish()
    {
        while (count != 0) put(1, 1);
    }
};

void segment(Bytes& b, std::uint8_t marker, const Bytes& body)
{
    b.push_back(0xFF);
    b.push_back(marker);
    put16be(b, static_cast<unsigned>(body.size() + 2));
    b.insert(b.end(), body.begin(), body.end());
}

// Scan data saying that `blocks` blocks in a row have nothing (more) to add:
// end-of-band runs of up to 32767 blocks, the symbol of run class r coded as
// r in four bits.
void emptyBands(Bytes& b, std::uint64_t blocks)
{
    BitWriter w {b};
    while (blocks != 0) {
        const auto run = static_cast<std::uint32_t>(std::min<std::uint64_t>(blocks, 32767));
        int r = 0;
        while ((2u << r) <= run) ++r;
        w.put(static_cast<std::uint32_t>(r), 4);
        w.put(run - (1u << r), r);
        blocks -= run;
    }
    w.finish();
}

void scanHeader(Bytes& b, int ss, int se, int ah, int al)
{
    segment(b, 0xDA,
            {1, 1, 0x00, static_cast<std::uint8_t>(ss), static_cast<std::uint8_t>(se),
             static_cast<std::uint8_t>(ah << 4 | al)});
}

// A grey progressive JPEG of width x height whose scans are all but empty.
// With a DC scan (a bit a block) its AC scans follow a proper progression
// (each coefficient first at point transform 9, then refined bit by bit);
// without one it repeats one AC scan `scans` times.
Bytes scanFlood(unsigned width, unsigned height, int scans, bool dcScan)
{
    Bytes b = {0xFF, 0xD8};
    Bytes dqt = {0};
    dqt.insert(dqt.end(), 64, 1);
    segment(b, 0xDB, dqt);
    Bytes sof = {8};
    put16be(sof, height);
    put16be(sof, width);
    sof.insert(sof.end(), {1, 1, 0x11, 0});
    segment(b, 0xC2, sof);
    // DC table: category 0 as "0"; AC table: the fifteen end-of-band run
    // classes in four bits each.
    Bytes dht = {0x00, 1};
    dht.insert(dht.end(), 15, 0);
    dht.push_back(0);
    dht.push_back(0x10);
    dht.insert(dht.end(), {0, 0, 0, 15});
    dht.insert(dht.end(), 12, 0);
    for (int r = 0; r < 15; ++r) dht.push_back(static_cast<std::uint8_t>(r << 4));
    segment(b, 0xC4, dht);
    const std::uint64_t blocks = std::uint64_t {(width + 7) / 8} * ((height + 7) / 8);
    int written = 0;
    if (dcScan) {
        scanHeader(b, 0, 0, 0, 0);
        BitWriter w {b};
        for (std::uint64_t i = 0; i < blocks; ++i) w.put(0, 1);
        w.finish();
        ++written;
        for (int k = 1; k <= 63 && written < scans; ++k) {
            for (int al = 9; al >= 0 && written < scans; --al, ++written) {
                scanHeader(b, k, k, al == 9 ? 0 : al + 1, al);
                emptyBands(b, blocks);
            }
        }
    } else {
        for (; written < scans; ++written) {
            scanHeader(b, 1, 63, 0, 0);
            emptyBands(b, blocks);
        }
    }
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

// A baseline JPEG through libjpeg: grey or colour noise (which compresses
// badly, so that its scan data is most of the file).
Bytes realJpeg(int width, int height, bool grey, bool progressive = false, bool flat = false)
{
    jpeg_compress_struct c {};
    jpeg_error_mgr error {};
    c.err = jpeg_std_error(&error);
    jpeg_create_compress(&c);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &data, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * c.input_components);
    std::uint32_t seed = 12345;
    while (c.next_scanline < c.image_height) {
        for (auto& v : row) {
            seed = seed * 1103515245u + 12345u;
            v = flat ? 128 : static_cast<std::uint8_t>(seed >> 24);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(data, data + size);
    jpeg_destroy_compress(&c);
    std::free(data);
    return out;
}

TEST(HostilePictures, JpegScansBoundedByTheirData)
{
    // A thousand end-of-band scans over 4 million blocks: some 450 bytes each.
    const Bytes flood = scanFlood(16384, 16384, 1000, false);
    ASSERT_LT(flood.size(), 512u * 1024);
    const std::string repeated = boundedRead("JPEG 1000 empty scans", [&] { return readAs(flood, "a.jpg"); });
    EXPECT_EQ(repeated.rfind("JPEG image is not valid (", 0), 0u) << repeated;
    // The same with a DC scan and a proper progression of empty refinements.
    const Bytes refined = scanFlood(16384, 8192, 640, true);
    const std::string progression =
        boundedRead("JPEG 640 proper empty scans", [&] { return readAs(refined, "a.jpg"); });
    EXPECT_EQ(progression.rfind("JPEG image is not valid (", 0), 0u) << progression;
    // A few empty refinement scans over a small picture are still read.
    EXPECT_EQ(readAs(scanFlood(512, 512, 12, true), "a.jpg"), "picture 512 x 512");
}

TEST(HostilePictures, JpegCutShortOrCorruptIsRefused)
{
    const Bytes whole = realJpeg(512, 512, false);
    ASSERT_EQ(readAs(whole, "a.jpg"), "picture 512 x 512");
    // Half of the file and an end marker: libjpeg would fill the lower half grey.
    Bytes half(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2));
    half.insert(half.end(), {0xFF, 0xD9});
    EXPECT_EQ(boundedRead("JPEG half and EOI", [&] { return readAs(half, "a.jpg"); }),
              "JPEG image is not valid (Corrupt JPEG data: premature end of data segment)");
    // Half of the file alone.
    half.resize(half.size() - 2);
    EXPECT_EQ(readAs(half, "a.jpg").rfind("JPEG image is not valid (", 0), 0u);
    // Garbage in the middle of the scan data.
    Bytes damaged = whole;
    for (std::size_t i = whole.size() / 2; i < whole.size() / 2 + 64; ++i) damaged[i] = 0xFF;
    const std::string corrupt = readAs(damaged, "a.jpg");
    EXPECT_EQ(corrupt.rfind("JPEG image is not valid (", 0), 0u) << corrupt;
}

TEST(HostilePictures, JpegDecoderOutOfMemoryIsTheReadersRefusal)
{
    // libjpeg's own buffers (the coefficients of a progressive 4096 x 4096
    // picture, 32 MiB) in a process that has no room for them.
    const Bytes jpeg = realJpeg(4096, 4096, true, true, true);
    if (test::kChildUnderAddressSanitizer)
        GTEST_SKIP() << "under AddressSanitizer a child cannot be given a small address space";
    test::ChildLimits little;
    little.memoryBytes = 24u << 20;
    EXPECT_EQ(boundedRead(
                  "JPEG progressive 4096 x 4096 in 24 MiB", [&] { return readAs(jpeg, "a.jpg"); }, little),
              "Not enough memory to read the picture");
    EXPECT_EQ(readAs(jpeg, "a.jpg"), "picture 4096 x 4096");
}

TEST(HostilePictures, JpegCommentsBuyNoPixels)
{
    // A 16 x 16 grey file claiming 16384 x 16384 pixels, with 66 KB of
    // comments to pass the pixels-per-byte check by the file's size.
    Bytes small = realJpeg(16, 16, true);
    Bytes padded(small.begin(), small.begin() + 2);
    for (int i = 0; i < 2; ++i) segment(padded, 0xFE, Bytes(33000, 'x'));
    padded.insert(padded.end(), small.begin() + 2, small.end());
    std::size_t sof = 2;
    while (!(padded[sof] == 0xFF && padded[sof + 1] == 0xC0)) ++sof;
    padded[sof + 5] = padded[sof + 7] = 16384 >> 8;
    padded[sof + 6] = padded[sof + 8] = 0;
    const std::string read =
        boundedRead("JPEG 16384 x 16384 with 66 KB of comments", [&] { return readAs(padded, "a.jpg"); });
    EXPECT_EQ(read.rfind("JPEG image is not valid (16384 x 16384 pixels cannot come from ", 0), 0u) << read;
    EXPECT_NE(read.find(" bytes of scan data)"), std::string::npos) << read;
    // Application segments the same.
    Bytes app = padded;
    app[3] = 0xE5;
    EXPECT_EQ(readAs(app, "a.jpg"), read);
}

// ---------------------------------------------------------------- PNG

// A 1-bit grey interlaced PNG of width x height, black with black
// transparent (so read with alpha), compressed as well as zlib can.
Bytes interlacedBitPng(png_uint_32 width, png_uint_32 height)
{
    Bytes out;
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_write_struct(&p, &info);
        return {};
    }
    png_set_write_fn(
        p, &out,
        [](png_structp s, png_bytep data, png_size_t n) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(s));
            bytes->insert(bytes->end(), data, data + n);
        },
        nullptr);
    png_set_compression_level(p, 9);
    png_set_filter(p, 0, PNG_FILTER_NONE);
    png_set_IHDR(p, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color_16 transparent {};
    png_set_tRNS(p, info, nullptr, 0, &transparent);
    png_write_info(p, info);
    const int passes = png_set_interlace_handling(p);
    std::vector<std::uint8_t> row((width + 7) / 8, 0);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) png_write_row(p, row.data());
    }
    png_write_end(p, info);
    png_destroy_write_struct(&p, &info);
    return out;
}

TEST(HostilePictures, PngInterlacedBitsWithTransparency)
{
    const Bytes png = interlacedBitPng(16384, 16384);
    ASSERT_LT(png.size(), 40u * 1024);
    const std::string read = boundedRead("PNG 1-bit interlaced 16384 x 16384", [&] { return readAs(png, "a.png"); });
    EXPECT_EQ(read, "picture 16384 x 16384");
    // The transparent black is drawn over white, in every pass.
    const Bytes small = interlacedBitPng(37, 21);
    const ReadResult<Picture> picture = readPicture(FileBytes::copyOf(small), *pictureInputFor("a.png"));
    ASSERT_TRUE(picture.ok()) << picture.reason();
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 37; ++x) ASSERT_EQ(picture->pixel(x, y), (Bgr {255, 255, 255})) << x << "," << y;
    }
    // Cut short, it is refused.
    const Bytes cut(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2));
    const std::string refused = boundedRead("PNG cut in half", [&] { return readAs(cut, "a.png"); });
    EXPECT_EQ(refused.rfind("PNG image is not valid", 0), 0u) << refused;
}

void pngChunk(Bytes& b, const char* type, const Bytes& data)
{
    const auto be32 = [&b](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
    };
    be32(static_cast<std::uint32_t>(data.size()));
    const std::size_t start = b.size();
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), data.begin(), data.end());
    be32(static_cast<std::uint32_t>(crc32(0, b.data() + start, static_cast<uInt>(b.size() - start))));
}

TEST(HostilePictures, IconPngClaimingMoreRowsThanItsData)
{
    // An icon image's PNG header saying 4096 x 4096 pixels, with no data:
    // nothing is set aside for its 64 MiB of pixels.
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    pngChunk(png, "IHDR", {0, 0, 0x10, 0, 0, 0, 0x10, 0, 8, 6, 0, 0, 1});
    pngChunk(png, "IEND", {});
    if (test::kChildUnderAddressSanitizer)
        GTEST_SKIP() << "under AddressSanitizer a child cannot be given a small address space";
    test::ChildLimits little;
    little.memoryBytes = 32u << 20;
    EXPECT_EQ(boundedRead(
                  "icon PNG 4096 x 4096 without data",
                  [&] { return std::string(decodeIconPng(png) ? "decoded" : "not there"); }, little),
              "not there");
    // A real one of that size is decoded.
    const Bytes real = interlacedBitPng(4096, 4096);
    EXPECT_TRUE(decodeIconPng(real).has_value());
}

} // namespace
} // namespace vextral::codecs
