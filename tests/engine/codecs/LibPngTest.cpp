// PngSession: libpng's errors come back as false with libpng's reason, for
// reading and for writing alike; a chunk over the chunk limit is dropped.
#include "codecs/LibPng.h"

#include "engine/codecs/ConvertFixtures.h"

#include <gtest/gtest.h>

#include <vector>

namespace vextral::codecs {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(PngSession, AReadErrorComesBackWithItsReason)
{
    const Bytes notPng = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    PngSession session(PngSession::Kind::Read);
    ASSERT_TRUE(session);
    session.readFrom(notPng);
    EXPECT_FALSE(session.run([&] { png_read_info(session.png(), session.info()); }));
    EXPECT_STREQ(session.message(), "Not a PNG file");

    // Bytes that end early are libpng's "Read Error", as from a file.
    const Bytes png = test::readBytes(test::convertFixture("colour.png"));
    const Bytes cut(png.begin(), png.begin() + 20);
    PngSession short_(PngSession::Kind::Read);
    short_.readFrom(cut);
    EXPECT_FALSE(short_.run([&] { png_read_info(short_.png(), short_.info()); }));
    EXPECT_STREQ(short_.message(), "Read Error");
}

TEST(PngSession, TextOverTheChunkLimitIsDroppedWithAWarning)
{
    const Bytes png = test::pngWithTextChunk(test::readBytes(test::convertFixture("colour.png")), 2000);

    const auto texts = [&png](std::size_t limit, std::string& warning) {
        PngSession session(PngSession::Kind::Read);
        session.readFrom(png);
        png_set_chunk_malloc_max(session.png(), limit);
        int count = -1;
        EXPECT_TRUE(session.run([&] {
            png_read_info(session.png(), session.info());
            count = png_get_text(session.png(), session.info(), nullptr, nullptr);
        })) << session.message();
        warning = session.warning();
        return count;
    };
    std::string warning;
    EXPECT_EQ(texts(8u << 20, warning), 1);
    EXPECT_EQ(warning, "");
    EXPECT_EQ(texts(1000, warning), 0);
    EXPECT_NE(warning, "");
}

// Collects what libpng writes.
void collect(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

TEST(PngSession, WritesThroughTheSameDiscipline)
{
    Bytes out;
    PngSession writer(PngSession::Kind::Write);
    ASSERT_TRUE(writer);
    std::uint8_t row[6] = {255, 0, 0, 0, 0, 255};
    ASSERT_TRUE(writer.run([&] {
        png_set_write_fn(writer.png(), &out, collect, nullptr);
        png_set_IHDR(writer.png(), writer.info(), 2, 1, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(writer.png(), writer.info());
        png_write_row(writer.png(), row);
        png_write_end(writer.png(), writer.info());
    })) << writer.message();

    PngSession reader(PngSession::Kind::Read);
    reader.readFrom(out);
    std::uint8_t back[6] = {};
    ASSERT_TRUE(reader.run([&] {
        png_read_info(reader.png(), reader.info());
        png_read_row(reader.png(), back, nullptr);
    })) << reader.message();
    EXPECT_TRUE(std::equal(row, row + 6, back));

    // An error while writing comes back too: a width of 0 is refused.
    PngSession bad(PngSession::Kind::Write);
    Bytes ignored;
    EXPECT_FALSE(bad.run([&] {
        png_set_write_fn(bad.png(), &ignored, collect, nullptr);
        png_set_IHDR(bad.png(), bad.info(), 0, 1, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(bad.png(), bad.info());
    }));
    EXPECT_NE(std::string(bad.message()), "");
}

} // namespace
} // namespace vextral::codecs
