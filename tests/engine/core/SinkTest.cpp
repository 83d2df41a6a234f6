#include "core/Sink.h"

#include "TestSupport.h"
#include "core/Error.h"

#include <gtest/gtest.h>

using namespace vextral;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The same bytes through any sink: a header completed after the rows, as the BMP and TIFF writers do.
void writeSample(Sink& sink)
{
    sink.write(Bytes(4, 0));
    sink.write("rows", 4);
    sink.u8(7);
    const std::uint64_t end = sink.position();
    sink.seek(0);
    sink.le16(0x4241);
    sink.le16(static_cast<std::uint16_t>(end));
    sink.seek(end);
    sink.le32(0x01020304);
}

const Bytes kSample = {'A', 'B', 9, 0, 'r', 'o', 'w', 's', 7, 4, 3, 2, 1};

std::size_t entriesIn(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

TEST(Sink, MemoryAndFileSinksHoldTheSameBytes)
{
    MemorySink memory;
    writeSample(memory);
    EXPECT_EQ(memory.bytes(), kSample);
    EXPECT_EQ(memory.position(), kSample.size());
    EXPECT_EQ(memory.name(), "memory");
    // A seek past the end stops at the end.
    memory.seek(1000);
    EXPECT_EQ(memory.position(), kSample.size());

    test::TempDir dir;
    const fs::path file = dir / "sample.bin";
    FileSink sink(file.string());
    EXPECT_EQ(sink.name(), file.string());
    writeSample(sink);
    EXPECT_FALSE(fs::exists(file)); // not before the commit
    sink.commit();
    EXPECT_EQ(test::readBytes(file), kSample);
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(Sink, AFileSinkMakesNothingUntilWrittenAndNothingWhenAbandoned)
{
    test::TempDir dir;
    {
        FileSink unused((dir / "never.bin").string());
    }
    {
        FileSink abandoned((dir / "abandoned.bin").string());
        abandoned.write("x", 1);
        EXPECT_EQ(entriesIn(dir.path()), 1u); // the temporary file
    }
    EXPECT_EQ(entriesIn(dir.path()), 0u);
    // Committed without a byte: an empty file.
    FileSink empty((dir / "empty.bin").string());
    empty.commit();
    EXPECT_EQ(test::readBytes(dir / "empty.bin"), Bytes {});
    // The file cannot be made: the first write says so, and the sink stays failed.
    const std::string lost = (dir / "no/such/x.bin").string();
    FileSink missing(lost);
    try {
        missing.write("x", 1);
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + lost + ": No such file or directory");
    }
    EXPECT_THROW(missing.commit(), Error);
    EXPECT_FALSE(fs::exists(lost));
}
