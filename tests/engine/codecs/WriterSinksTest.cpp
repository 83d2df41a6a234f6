// Every writer writes the same bytes to memory as to its file.
#include "codecs/Writers.h"

#include "TestSupport.h"
#include "core/Error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace vextral;
using namespace vextral::codecs;

namespace {

// Noise, so that compressed formats pass their libraries' buffers many times.
Picture noise(int w, int h)
{
    Picture p = Picture::make(w, h);
    std::mt19937 random(12345);
    std::generate(p.pixels.begin(), p.pixels.end(), [&random] { return static_cast<std::uint8_t>(random()); });
    return p;
}

} // namespace

TEST(WriterSinks, TheMemorySinkGetsTheBytesOfTheFileForEveryWriter)
{
    test::TempDir dir;
    for (const bool stopped : {false, true}) {
        for (const OutputFormatRow& row : outputFormats()) {
            ImageBuffer buffer;
            buffer.params().pngInterlaced = true;
            buffer.params().jpegQuality = 95;
            buffer.picture() = noise(256, 192);
            // A writer stopped by its progress callback ends the same way in both.
            if (stopped) buffer.progress = [](int percent) { return percent < 40; };
            MemorySink memory;
            row.writer(buffer, memory);
            const auto file = dir / (std::string("x.") + row.extension);
            writeToFile(row.writer, buffer, file.string());
            const auto bytes = test::readBytes(file);
            EXPECT_GT(bytes.size(), stopped ? 0u : 16u * 1024) << row.name;
            EXPECT_EQ(memory.bytes(), bytes) << row.name << (stopped ? " stopped" : "");
        }
    }
    // The RGBA form of the PNG encoder.
    std::vector<std::uint32_t> argb(64 * 48);
    for (std::size_t i = 0; i < argb.size(); ++i) argb[i] = static_cast<std::uint32_t>(i * 2654435761u);
    MemorySink memory;
    writePngArgb(64, 48, argb, memory);
    FileSink sink((dir / "argb.png").string());
    writePngArgb(64, 48, argb, sink);
    sink.commit();
    EXPECT_EQ(memory.bytes(), test::readBytes(dir / "argb.png"));
}

TEST(WriterSinks, AFailingSinkFailsTheWriterWithItsMessage)
{
    // A sink that takes n bytes and then fails as a full disk would.
    class Full : public Sink {
    public:
        explicit Full(std::size_t room) : room_(room) {}
        void write(const void* data, std::size_t n) override
        {
            if (n > room_) throw Error("Cannot write to file full: No space left on device");
            room_ -= n;
            inner_.write(data, n);
        }
        std::uint64_t position() override { return inner_.position(); }
        void seek(std::uint64_t position) override { inner_.seek(position); }
        const std::string& name() const override { return name_; }

    private:
        std::size_t room_;
        MemorySink inner_;
        std::string name_ = "full";
    };
    for (const OutputFormatRow& row : outputFormats()) {
        ImageBuffer buffer;
        buffer.params().jpegQuality = 95;
        buffer.picture() = noise(256, 192);
        for (std::size_t room : {std::size_t {0}, std::size_t {100}, std::size_t {20000}}) {
            Full full(room);
            try {
                row.writer(buffer, full);
                ADD_FAILURE() << row.name << " wrote " << room << " bytes without a failure";
            } catch (const Error& e) {
                EXPECT_EQ(std::string(e.what()), "Cannot write to file full: No space left on device") << row.name;
            }
        }
    }
    std::vector<std::uint32_t> argb(256 * 256, 0x80FF0000u);
    Full full(50);
    EXPECT_THROW(writePngArgb(256, 256, argb, full), Error);
    EXPECT_THROW(writePngArgb(0, 5, {}, full), Error);
}
