// GIF files: the writer's bytes, checked by hand and decoded by PIL; the
// reader on files of our own making and on damaged ones.
#include "codecs/GifLzw.h"
#include "codecs/GifReader.h"
#include "codecs/ImageBuffer.h"
#include "codecs/Quantizer.h"
#include "codecs/Writers.h"
#include "core/Bytes.h"
#include "core/Error.h"
#include "engine/codecs/PilGif.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

namespace vextral::codecs {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

Bgr rgb(int r, int g, int b)
{
    return {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r)};
}
const Bgr kBlack = rgb(0, 0, 0), kWhite = rgb(255, 255, 255);

// Flat colours, white dots and a smooth part.
Picture samplePicture(int w, int h)
{
    Picture p = Picture::make(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.setPixel(x, y,
                       (x + y) % 5 == 0 ? kWhite
                       : x < w / 3      ? rgb(200, 30, 40)
                                        : rgb(x * 255 / w, y * 255 / h, (x * y) % 256));
        }
    }
    return p;
}

using Buffer = ImageBuffer;

// PIL sees each pixel of the picture, placed at (left, top), as colour(pixel).
void expectPilSees(const fs::path& file, const Picture& picture, const std::function<Bgr(Bgr)>& colour, int frame = 0,
                   int left = 0, int top = 0, const Bgr* skip = nullptr)
{
    const test::PilImage image = test::pilRead(file, frame);
    ASSERT_EQ(image.width, picture.width + left);
    ASSERT_EQ(image.height, picture.height + top);
    int wrong = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (skip && picture.pixel(x, y) == *skip) continue; // transparent: PIL shows what lies below
            wrong += image.at(x + left, y + top) != colour(picture.pixel(x, y)).rgb();
        }
    }
    EXPECT_EQ(wrong, 0);
}

std::function<Bgr(Bgr)> through(const Quantizer& q)
{
    return [&q](Bgr c) { return q.table()[q.index(c)]; };
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t n)
{
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(from + n));
}

TEST(GifWriter, DefaultEightByEightFile)
{
    test::TempDir dir;
    Buffer buffer;
    buffer.picture() = samplePicture(8, 8);
    buffer.saveToFile((dir / "a.gif").string());
    const Bytes f = test::readBytes(dir / "a.gif");
    const Quantizer q(buffer.picture(), 256);
    ASSERT_LT(q.count(), 256);
    const std::uint8_t black = q.index(kBlack);
    EXPECT_EQ(slice(f, 0, 13), (Bytes {'G', 'I', 'F', '8', '9', 'a', 8, 0, 8, 0, 0xF7, black, 0}));
    const auto table = q.paddedTable(256);
    for (std::size_t i = 0; i < 256; ++i) EXPECT_EQ(rgb(f[13 + 3 * i], f[14 + 3 * i], f[15 + 3 * i]), table[i]) << i;
    EXPECT_EQ(table[255], kBlack) << "entries past the colours found";
    EXPECT_EQ(slice(f, 781, 18), (Bytes {0x21, 0xF9, 4, 8, 0, 0, black, 0, 0x2C, 0, 0, 0, 0, 8, 0, 8, 0, 0}));
    // Then the encoder's output for the quantised indices and the trailer.
    Bytes indices, data;
    for (int i = 0; i < 64; ++i) indices.push_back(q.index(buffer.picture().pixel(i % 8, i / 8)));
    encodeGif(data, 8, 8, false, indices.data(), 8);
    EXPECT_EQ(data[0], 8);
    EXPECT_EQ(slice(f, 799, f.size() - 800), data);
    EXPECT_EQ(f.back(), 0x3B);
    expectPilSees(dir / "a.gif", buffer.picture(), through(q));
}

TEST(GifWriter, ParametersReachTheControlExtensionAndDescriptor)
{
    test::TempDir dir;
    Buffer buffer;
    buffer.picture() = samplePicture(30, 21);
    IOParams& p = buffer.params();
    p.gifTransparent = true;
    p.gifTransparentColor = kWhite;
    p.gifDelay = 0x0196;
    p.gifLeft = 0x0102;
    p.gifTop = 3;
    p.gifInterlaced = true;
    p.gifBackground = rgb(200, 30, 40);
    p.gifVersion = "GIF87a and more";
    writeGif(buffer, (dir / "b.gif").string());
    const Bytes f = test::readBytes(dir / "b.gif");
    const Quantizer q(buffer.picture(), 256);
    EXPECT_EQ(slice(f, 0, 6), (Bytes {'G', 'I', 'F', '8', '7', 'a'}));
    EXPECT_EQ(f[11], q.index(rgb(200, 30, 40)));
    EXPECT_EQ(slice(f, 781, 18),
              (Bytes {0x21, 0xF9, 4, 9, 0x96, 1, q.index(kWhite), 0, 0x2C, 2, 1, 3, 0, 30, 0, 21, 0, 0x40}));
    expectPilSees(dir / "b.gif", buffer.picture(), through(q), 0, 0x0102, 3);
}

TEST(GifWriter, OneBitAndOtherDepths)
{
    test::TempDir dir;
    Buffer buffer;
    Picture p = Picture::make(13, 7);
    for (int i = 0; i < 91; ++i) p.setPixel(i % 13, i / 13, i % 3 ? kWhite : rgb(255, 0, 0));
    buffer.picture() = p;
    buffer.params().sampleBits = 1;
    buffer.params().gifBackground = rgb(200, 200, 200); // nearer white
    writeGif(buffer, (dir / "c.gif").string());
    const Bytes f = test::readBytes(dir / "c.gif");
    // A picture of two colours keeps them; red is the darker: entry 0.
    EXPECT_EQ(slice(f, 10, 9), (Bytes {0x80, 1, 0, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(f[37], 2) << "minimum code size";
    expectPilSees(dir / "c.gif", p, [](Bgr c) { return c; });
    // A 1-bit picture goes out as it is, black and white.
    buffer.picture() = reduceToTwoColours(p).picture;
    writeGif(buffer, (dir / "bw.gif").string());
    const Bytes bw = test::readBytes(dir / "bw.gif");
    EXPECT_EQ(slice(bw, 10, 9), (Bytes {0x80, 1, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(slice(bw, 19, bw.size() - 19), slice(f, 19, f.size() - 19)) << "the same indices";
    expectPilSees(dir / "bw.gif", p, [](Bgr c) { return c == kWhite ? kWhite : kBlack; });

    buffer.picture() = samplePicture(40, 9);
    buffer.params().sampleBits = 4;
    writeGif(buffer, (dir / "d.gif").string());
    const Bytes d = test::readBytes(dir / "d.gif");
    EXPECT_EQ(d[10], 0xB3);
    EXPECT_EQ(d[13 + 48 + 18], 4) << "minimum code size";
    expectPilSees(dir / "d.gif", buffer.picture(), through(Quantizer(buffer.picture(), 16)));
}

TEST(GifWriter, ABufferAsMadeWritesTheImageData)
{
    test::TempDir dir;
    ImageBuffer buffer; // nothing set up: the writer calls the LZW encoder itself
    buffer.picture() = samplePicture(5, 5);
    writeGif(buffer, (dir / "e.gif").string());
    const Bytes f = test::readBytes(dir / "e.gif");
    ASSERT_GT(f.size(), 13u + 768 + 8 + 10);
    EXPECT_EQ(f[781 + 8], 0x2C);
    EXPECT_EQ(f.back(), 0x3B);
    expectPilSees(dir / "e.gif", buffer.picture(), through(Quantizer(buffer.picture(), 256)));
    buffer.picture() = Picture {};
    EXPECT_THROW(writeGif(buffer, (dir / "f.gif").string()), Error);
    EXPECT_FALSE(fs::exists(dir / "f.gif"));
}

// ---------------------------------------------------------------- reader

// GIF files block by block; tables have 2, 4, 8, ... entries.
struct GifBuilder {
    Bytes bytes;
    explicit GifBuilder(int w, int h, const std::vector<Bgr>& global = {}, std::uint8_t background = 0)
    {
        bytes = {'G', 'I', 'F', '8', '9', 'a'};
        le16(w);
        le16(h);
        bytes.insert(bytes.end(), {flags(global), background, 0});
        table(global);
    }
    static std::uint8_t flags(const std::vector<Bgr>& t)
    {
        int s = 0;
        while ((2u << s) < t.size()) ++s;
        return static_cast<std::uint8_t>(t.empty() ? 0 : 0x80 | s);
    }
    void le16(int v) { bytes.insert(bytes.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); }
    void table(const std::vector<Bgr>& t)
    {
        for (const Bgr c : t) bytes.insert(bytes.end(), {c.r, c.g, c.b});
    }
    GifBuilder& control(int packed, int delay, int transparent)
    {
        bytes.insert(bytes.end(), {0x21, 0xF9, 4, static_cast<std::uint8_t>(packed)});
        le16(delay);
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(transparent), 0});
        return *this;
    }
    GifBuilder& comment()
    {
        bytes.insert(bytes.end(), {0x21, 0xFE, 3, 'a', 'b', 'c', 0});
        return *this;
    }
    GifBuilder& descriptor(int w, int h, const std::vector<Bgr>& local = {}, bool interlaced = false, int left = 0)
    {
        bytes.push_back(0x2C);
        le16(left);
        le16(0);
        le16(w);
        le16(h);
        bytes.push_back(static_cast<std::uint8_t>(flags(local) | (interlaced ? 0x40 : 0)));
        table(local);
        return *this;
    }
    // The image data of w x h pixels, which need not match the descriptor.
    GifBuilder& data(const Bytes& pixels, int w, int h, int bits, bool interlaced = false)
    {
        encodeGif(bytes, h, w, interlaced, pixels.data(), bits);
        return *this;
    }
    fs::path save(const test::TempDir& dir, const std::string& name)
    {
        bytes.push_back(0x3B);
        test::writeBytes(dir / name, bytes);
        return dir / name;
    }
};

Bytes counting(int n, int modulo)
{
    Bytes p;
    for (int i = 0; i < n; ++i) p.push_back(static_cast<std::uint8_t>((i * 7 + i / 5) % modulo));
    return p;
}

TEST(GifReader, ReadsWhatTheWriterWrote)
{
    test::TempDir dir;
    Buffer out;
    out.picture() = samplePicture(37, 23);
    out.params().gifInterlaced = true;
    const fs::path file = dir / "r.gif";
    writeGif(out, file.string());
    const Quantizer q(out.picture(), 256);
    Buffer in;
    ASSERT_TRUE(in.loadFromFile(file.string()).ok());
    ASSERT_EQ(in.picture().bits, 24);
    ASSERT_EQ(in.picture().width, 37);
    int wrong = 0;
    for (int i = 0; i < 37 * 23; ++i)
        wrong += in.picture().pixel(i % 37, i / 37) != through(q)(out.picture().pixel(i % 37, i / 37));
    EXPECT_EQ(wrong, 0);
    const IOParams& p = in.params();
    EXPECT_EQ(p.gifVersion, "GIF89a");
    EXPECT_EQ(p.gifScreenWidth, 37);
    EXPECT_EQ(p.imageHeight, 23);
    EXPECT_TRUE(p.gifInterlaced);
    EXPECT_EQ(p.samples, 1);
    EXPECT_EQ(p.sampleBits, 8);
    EXPECT_EQ(p.paletteCount, 256);
    EXPECT_EQ(p.palette, q.paddedTable(256));
    EXPECT_EQ(p.fileType, 2);
    EXPECT_EQ(p.lastFileName, file.string());
    expectPilSees(file, out.picture(), through(q));
}

TEST(GifReader, BlackAndWhiteTableLoadsAsOneBitPicture)
{
    test::TempDir dir;
    const Bytes pixels = counting(33, 2);
    Buffer buffer;
    ASSERT_TRUE(buffer
                    .loadFromFile(GifBuilder(11, 3, {kBlack, kWhite})
                                      .descriptor(11, 3)
                                      .data(pixels, 11, 3, 1)
                                      .save(dir, "bw.gif")
                                      .string())
                    .ok());
    ASSERT_EQ(buffer.picture().bits, 1);
    for (int i = 0; i < 33; ++i)
        EXPECT_EQ(buffer.picture().bit(i % 11, i / 11), pixels[static_cast<std::size_t>(i)] == 1);
    // Written again it stays 1-bit (the read left SampleBits 1).
    buffer.saveToFile((dir / "again.gif").string());
    EXPECT_EQ(test::readBytes(dir / "again.gif")[10], 0x80);
    expectPilSees(dir / "again.gif", buffer.picture(), [](Bgr c) { return c; });
    // White then black, or two other colours: 24 bits.
    for (const auto& table : {std::vector<Bgr> {kWhite, kBlack}, std::vector<Bgr> {rgb(255, 0, 0), rgb(0, 0, 255)}}) {
        Buffer b;
        const fs::path file = GifBuilder(11, 3, table).descriptor(11, 3).data(pixels, 11, 3, 1).save(dir, "two.gif");
        ASSERT_TRUE(b.loadFromFile(file.string()).ok());
        ASSERT_EQ(b.picture().bits, 24);
        expectPilSees(file, b.picture(), [](Bgr c) { return c; });
    }
}

// A GIF of two colours read and written again, as GIF and as PNG, keeps
// its two colours: the read leaves 1 bit a pixel for the saves.
TEST(GifReader, TwoColoursStayThemselvesInGifAndPng)
{
    test::TempDir dir;
    const Bgr red = rgb(255, 0, 0), yellow = rgb(255, 255, 0);
    const Bytes pixels = counting(33, 2);
    Buffer buffer;
    ASSERT_TRUE(
        buffer
            .loadFromFile(
                GifBuilder(11, 3, {red, yellow}).descriptor(11, 3).data(pixels, 11, 3, 1).save(dir, "two.gif").string())
            .ok());
    ASSERT_EQ(buffer.params().sampleBits, 1);
    ASSERT_EQ(buffer.params().samples, 1);
    const auto expectRedAndYellow = [&](const test::PilImage& image, const char* what) {
        ASSERT_EQ(image.width, 11) << what;
        ASSERT_EQ(image.height, 3) << what;
        for (int i = 0; i < 33; ++i)
            EXPECT_EQ(image.at(i % 11, i / 11), (pixels[static_cast<std::size_t>(i)] ? yellow : red).rgb())
                << what << " " << i;
    };

    writeGif(buffer, (dir / "again.gif").string());
    const Bytes gif = test::readBytes(dir / "again.gif");
    EXPECT_EQ(gif[10], 0x80) << "a 2-entry table";
    expectRedAndYellow(test::pilRead(dir / "again.gif"), "GIF in PIL");
    Buffer back;
    ASSERT_TRUE(back.loadFromFile((dir / "again.gif").string()).ok());
    EXPECT_EQ(back.params().palette, (std::vector<Bgr> {red, yellow}));
    for (int i = 0; i < 33; ++i)
        EXPECT_EQ(back.picture().pixel(i % 11, i / 11), pixels[static_cast<std::size_t>(i)] ? yellow : red) << i;

    // A PNG of 1 bit a pixel over a 2-entry palette.
    writePng(buffer, (dir / "two.png").string());
    const Bytes png = test::readBytes(dir / "two.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png[24], 1) << "bit depth";
    EXPECT_EQ(png[25], 3) << "palette colour type";
    const auto plte = std::search(png.begin(), png.end(), std::begin("PLTE"), std::end("PLTE") - 1);
    ASSERT_NE(plte, png.end());
    EXPECT_EQ(Bytes(plte - 4, plte + 10), (Bytes {0, 0, 0, 6, 'P', 'L', 'T', 'E', 0xFF, 0, 0, 0xFF, 0xFF, 0}));
    expectRedAndYellow(test::pilRead(dir / "two.png"), "PNG in PIL");
}

TEST(GifReader, SecondImageOfAnAnimation)
{
    test::TempDir dir;
    const std::vector<Bgr> global = {rgb(1, 2, 3), rgb(250, 0, 0), rgb(0, 250, 0), rgb(0, 0, 250)};
    std::vector<Bgr> local;
    for (int i = 1; i <= 8; ++i) local.push_back(rgb(10 * i, 10 * i, 10 * i));
    const Bytes first = counting(24, 4), second = counting(24, 8);
    const fs::path file = GifBuilder(6, 4, global, 2)
                              .control(8, 10, 0)
                              .descriptor(6, 4)
                              .data(first, 6, 4, 2)
                              .comment()
                              .control(9, 25, 7)
                              .descriptor(6, 4, local)
                              .data(second, 6, 4, 3)
                              .save(dir, "anim.gif");
    Buffer buffer;
    buffer.params().gifImageIndex = 1;
    ASSERT_TRUE(buffer.loadFromFile(file.string()).ok());
    const IOParams& p = buffer.params();
    EXPECT_EQ(p.gifDelay, 25);
    EXPECT_TRUE(p.gifTransparent);
    EXPECT_EQ(p.gifTransparentColor, local[7]);
    EXPECT_EQ(p.gifBackground, global[2]);
    EXPECT_EQ(p.sampleBits, 3);
    EXPECT_EQ(buffer.backgroundBgr(), local[7]) << "transparent: the transparent colour";
    expectPilSees(
        file, buffer.picture(), [](Bgr c) { return c; }, 1, 0, 0, &local[7]);
    // The first image has its own control extension and the global table.
    Buffer zero;
    ASSERT_TRUE(zero.loadFromFile(file.string()).ok());
    EXPECT_EQ(zero.params().gifDelay, 10);
    EXPECT_FALSE(zero.params().gifTransparent);
    EXPECT_EQ(zero.picture().pixel(1, 0), global[first[1]]);
    EXPECT_EQ(zero.backgroundBgr(), global[2]);
    // There is no third: refused, the picture kept.
    Buffer none;
    none.picture() = Picture::make(2, 2);
    none.params().gifImageIndex = 2;
    EXPECT_EQ(none.loadFromFile(file.string()).reason(), "unrecognized GIF");
    EXPECT_EQ(none.picture().width, 2);
}

TEST(GifReader, PixelsWithoutDataAndIndicesPastTheTableAreBlack)
{
    test::TempDir dir;
    // A 4-entry table, index 5 beyond it; data for 10 of 16 pixels.
    const Bytes pixels = {0, 1, 2, 3, 5, 1, 2, 3, 0, 1};
    const std::vector<Bgr> small = {rgb(9, 9, 9), rgb(250, 0, 0), rgb(0, 250, 0), rgb(0, 0, 250)};
    // PIL agrees where the data and the table say what a pixel is.
    const auto pilAgrees = [](const fs::path& file, const Picture& p, const std::vector<std::pair<int, int>>& where) {
        const test::PilImage pil = test::pilRead(file);
        ASSERT_EQ(pil.width, p.width);
        for (const auto& [x, y] : where) EXPECT_EQ(pil.at(x, y), p.pixel(x, y).rgb()) << x << ", " << y;
    };
    Buffer b;
    const fs::path shortFile = GifBuilder(4, 4, small).descriptor(4, 4).data(pixels, 10, 1, 3).save(dir, "short.gif");
    ASSERT_TRUE(b.loadFromFile(shortFile.string()).ok());
    for (int i = 0; i < 16; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        EXPECT_EQ(b.picture().pixel(i % 4, i / 4), i < 10 && pixels[k] < 4 ? small[pixels[k]] : kBlack) << i;
    }
    pilAgrees(shortFile, b.picture(), {{0, 0}, {3, 0}, {1, 1}, {0, 2}, {1, 2}});
    // 256 entries, none black, and the last decoded values 255: the value the
    // missing pixels start out as must not be taken for decoded. Interlaced
    // rows 0, 2, 1: five values fill row 0 and two pixels of row 2.
    std::vector<Bgr> full;
    for (int i = 0; i < 256; ++i) full.push_back(rgb(i, 255 - i / 2, 100));
    Buffer f;
    const fs::path fullFile =
        GifBuilder(3, 3, full).descriptor(3, 3, {}, true).data({3, 4, 255, 255, 255}, 5, 1, 8).save(dir, "full.gif");
    ASSERT_TRUE(f.loadFromFile(fullFile.string()).ok());
    const Picture& p = f.picture();
    pilAgrees(fullFile, p, {{0, 0}, {1, 0}, {2, 0}, {0, 2}, {1, 2}});
    EXPECT_EQ(p.pixel(1, 0), full[4]);
    EXPECT_EQ(p.pixel(2, 0), full[255]);
    EXPECT_EQ(p.pixel(1, 2), full[255]);
    EXPECT_EQ(p.pixel(2, 2), kBlack);
    EXPECT_EQ(p.pixel(0, 1), kBlack);
}

enum class Outcome { picture, error };
Outcome readOutcome(const fs::path& file, int index = 0)
{
    Buffer buffer;
    buffer.params().gifImageIndex = index;
    const ReadStatus read = buffer.loadFromFile(file.string());
    if (read) return Outcome::picture;
    EXPECT_EQ(read.reason(), "unrecognized GIF");
    return Outcome::error;
}

TEST(GifReader, TruncatedAnywhereGivesAnErrorOrAResult)
{
    test::TempDir dir;
    GifBuilder b(20, 10, {kBlack, kWhite, rgb(9, 9, 9), rgb(99, 99, 99)});
    b.comment().control(8, 5, 1).descriptor(20, 10).data(counting(200, 4), 20, 10, 2);
    b.control(9, 6, 3)
        .descriptor(10, 5, std::vector<Bgr>(16, rgb(1, 2, 3)), true, 2)
        .data(counting(50, 16), 10, 5, 4, true);
    int errors = 0, pictures = 0;
    for (std::size_t n = 0; n < b.bytes.size(); ++n) {
        test::writeBytes(dir / "t.gif", Bytes(b.bytes.begin(), b.bytes.begin() + static_cast<std::ptrdiff_t>(n)));
        for (const int index : {0, 1}) {
            const Outcome o = readOutcome(dir / "t.gif", index);
            errors += o == Outcome::error;
            pictures += o == Outcome::picture;
        }
    }
    EXPECT_GT(errors, 0);
    EXPECT_GT(pictures, 0);
    EXPECT_EQ(readOutcome(b.save(dir, "whole.gif"), 1), Outcome::picture);
    EXPECT_EQ(test::pilRead(dir / "whole.gif", 1).width, 20);
}

TEST(GifReader, DamagedFiles)
{
    test::TempDir dir;
    const auto outcome = [&](const Bytes& bytes) {
        test::writeBytes(dir / "d.gif", bytes);
        return readOutcome(dir / "d.gif");
    };
    const std::vector<Bgr> bw = {kBlack, kWhite};
    // Sub-blocks longer than the rest of the file, in image data and in an extension.
    GifBuilder a(8, 8, bw);
    a.descriptor(8, 8).data(counting(64, 2), 8, 8, 1);
    a.bytes.insert(a.bytes.end() - 1, {0x40, 1, 2});
    EXPECT_EQ(outcome(a.bytes), Outcome::error);
    GifBuilder e(8, 8, bw);
    e.bytes.insert(e.bytes.end(), {0x21, 0xFE, 0x30, 'x'});
    EXPECT_EQ(outcome(e.bytes), Outcome::error);
    // A self-referring code chain: minimum size 2; codes 4, 0, 7, 7 (3 bits), 7 (4 bits).
    GifBuilder loop(8, 8, bw);
    loop.descriptor(8, 8);
    loop.bytes.insert(loop.bytes.end(), {2, 2, 0xC4, 0x7F, 0});
    EXPECT_EQ(outcome(loop.bytes), Outcome::error);
    // A 65535 x 65535 image in a tiny file is refused before anything is made.
    GifBuilder huge(0xFFFF, 0xFFFF, bw);
    huge.descriptor(0xFFFF, 0xFFFF).data({1, 0}, 2, 1, 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(outcome(huge.bytes), Outcome::error);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    // A huge screen with a small image is fine.
    Buffer screen;
    ASSERT_TRUE(screen
                    .loadFromFile(GifBuilder(0xFFFF, 0xFFFF, bw)
                                      .descriptor(3, 2)
                                      .data(counting(6, 2), 3, 2, 1)
                                      .save(dir, "s.gif")
                                      .string())
                    .ok());
    EXPECT_EQ(screen.picture().width, 3);
    EXPECT_EQ(screen.params().gifScreenWidth, 0xFFFF);
    // Not a GIF: refused, the picture kept.
    test::writeBytes(dir / "n.gif", Bytes {'P', 'N', 'G', 0, 0});
    Buffer other;
    other.picture() = Picture::make(3, 3);
    EXPECT_EQ(other.loadFromFile((dir / "n.gif").string()).reason(), "unrecognized GIF");
    EXPECT_EQ(other.picture().width, 3);
}

TEST(GifReader, DecodesTheImageDataOnce)
{
    // 256 colours, none black, and the data ending in runs of the last index:
    // the pixels the data does not reach are told from decoded ones by the
    // decoder's count, not by decoding again with another fill.
    std::vector<Bgr> full;
    for (int i = 0; i < 256; ++i) full.push_back(rgb(i, 255 - i / 2, 100));
    GifBuilder b(3, 3, full);
    b.descriptor(3, 3, {}, true).data({3, 4, 255, 255, 255}, 5, 1, 8);
    b.bytes.push_back(0x3B);
    ImageBuffer buffer;
    const std::uint64_t before = gifImagesDecoded();
    ASSERT_TRUE(readGif(buffer, b.bytes).ok());
    EXPECT_EQ(gifImagesDecoded() - before, 1u);
    EXPECT_EQ(buffer.picture().pixel(1, 2), full[255]);
    EXPECT_EQ(buffer.picture().pixel(2, 2), kBlack);

    // The images before the wanted one are passed over, not decoded.
    const std::vector<Bgr> four = {rgb(1, 2, 3), rgb(250, 0, 0), rgb(0, 250, 0), rgb(0, 0, 250)};
    GifBuilder anim(6, 4, four);
    anim.descriptor(6, 4).data(counting(24, 4), 6, 4, 2).descriptor(6, 4).data(counting(24, 3), 6, 4, 2);
    anim.bytes.push_back(0x3B);
    ImageBuffer second;
    second.params().gifImageIndex = 1;
    const std::uint64_t start = gifImagesDecoded();
    ASSERT_TRUE(readGif(second, anim.bytes).ok());
    EXPECT_EQ(gifImagesDecoded() - start, 1u);
    EXPECT_EQ(second.picture().pixel(1, 0), four[counting(24, 3)[1]]);
}

TEST(GifReader, ReadsBytesInMemoryAsItReadsTheirFile)
{
    test::TempDir dir;
    GifBuilder b(6, 4, {rgb(1, 2, 3), rgb(250, 0, 0), rgb(0, 250, 0), rgb(0, 0, 250)}, 2);
    b.control(9, 7, 3).descriptor(6, 4).data(counting(24, 4), 6, 4, 2);
    const fs::path file = b.save(dir, "m.gif");
    ImageBuffer fromFile, fromMemory;
    ASSERT_TRUE(readGifFile(fromFile, file.string()).ok());
    ASSERT_TRUE(readGif(fromMemory, b.bytes).ok());
    EXPECT_EQ(fromMemory.picture().pixels, fromFile.picture().pixels);
    EXPECT_EQ(fromMemory.params().palette, fromFile.params().palette);
    EXPECT_EQ(fromMemory.params().gifDelay, 7);
    EXPECT_EQ(fromMemory.params().fileType, 2);
    EXPECT_EQ(fromMemory.background(), fromFile.background());
    EXPECT_EQ(fromFile.params().lastFileName, file.string());
    // A file that is not there says why.
    const std::string missing = (dir / "none.gif").string();
    EXPECT_EQ(readGifFile(fromFile, missing).reason(), "Cannot open file " + missing + ": No such file or directory");
    EXPECT_EQ(ImageBuffer().loadFromFile((dir / "x.bmp").string()).reason(), "Unknown picture file extension (.bmp)");
}

TEST(GifReader, ThePictureSideLimit)
{
    const std::vector<Bgr> bw = {kBlack, kWhite};
    GifBuilder b(40, 2, bw);
    b.descriptor(40, 2).data(counting(80, 2), 40, 2, 1);
    b.bytes.push_back(0x3B);
    ImageBuffer accepted;
    ASSERT_TRUE(readGif(accepted, b.bytes).ok());
    EXPECT_EQ(accepted.picture().width, 40);
    ReaderLimits low;
    low.pictureSide = 39;
    ImageBuffer refused;
    refused.picture() = Picture::make(2, 2);
    EXPECT_EQ(readGif(refused, b.bytes, low).reason(),
              "The picture size 40 x 2 is too large: each side can be at most 39 pixels");
    EXPECT_EQ(refused.picture().width, 2);
    // At the real limit: one pixel wider than 16384.
    GifBuilder wide(16385, 1, bw);
    wide.descriptor(16385, 1).data(counting(16385, 2), 16385, 1, 1);
    wide.bytes.push_back(0x3B);
    EXPECT_EQ(readGif(refused, wide.bytes).reason(),
              "The picture size 16385 x 1 is too large: each side can be at most 16384 pixels");
}

TEST(GifReader, TheFileSizeLimit)
{
    test::TempDir dir;
    GifBuilder b(4, 4, {kBlack, kWhite});
    b.descriptor(4, 4).data(counting(16, 2), 4, 4, 1);
    b.bytes.push_back(0x3B);
    b.bytes.resize((std::size_t {1} << 20) + 1, 0); // bytes after the trailer mean nothing
    test::writeBytes(dir / "big.gif", b.bytes);
    const std::string file = (dir / "big.gif").string();
    ImageBuffer buffer;
    ASSERT_TRUE(readGifFile(buffer, file).ok());
    ReaderLimits low;
    low.pictureFileBytes = std::uint64_t {1} << 20;
    EXPECT_EQ(readGifFile(buffer, file, low).reason(), "Cannot open file " + file + ": the file is larger than 1 MiB");
}

} // namespace
} // namespace vextral::codecs
