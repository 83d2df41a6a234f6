// Replays every input the fuzzers kept (their corpora) and every crash they
// ever found, so a fixed fault stays fixed.
#include "fuzz/FuzzGif.h"
#include "fuzz/FuzzHttpHeader.h"
#include "fuzz/FuzzIconSource.h"
#include "fuzz/FuzzMimeTypes.h"
#include "fuzz/FuzzPictureReader.h"
#include "fuzz/FuzzProfileFile.h"
#include "fuzz/FuzzSmtpReply.h"
#include "fuzz/FuzzWindowState.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Runs each file of corpus/NAME and crashes/NAME through exercise.
std::size_t replay(const std::string& name, std::size_t (*exercise)(const std::uint8_t*, std::size_t))
{
    std::size_t replayed = 0;
    for (const std::string& dir : {"corpus/" + name, "crashes/" + name}) {
        const fs::path path = fs::path(VEXTRAL_FUZZ_DIR) / dir;
        if (!fs::is_directory(path)) continue;
        for (const auto& entry : fs::directory_iterator(path)) {
            if (!entry.is_regular_file() || entry.path().filename() == ".gitkeep") continue;
            SCOPED_TRACE(entry.path().string());
            const auto bytes = vextral::test::readBytes(entry.path());
            exercise(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    return replayed;
}

} // namespace

TEST(FuzzReplay, IconSourceCorpusAndCrashes)
{
    EXPECT_GT(replay("icon_source", vextral::fuzz::exerciseIconSource), 0u) << "the saved fuzz corpus is missing";
}

TEST(FuzzReplay, GifReaderCorpusAndCrashes)
{
    EXPECT_GT(replay("gif_reader", vextral::fuzz::exerciseGifReader), 0u) << "the saved fuzz corpus is missing";
}

TEST(FuzzReplay, GifLzwCorpusAndCrashes)
{
    EXPECT_GT(replay("gif_lzw", vextral::fuzz::exerciseGifLzw), 0u) << "the saved fuzz corpus is missing";
}

TEST(FuzzReplay, TiffLzwCorpusAndCrashes)
{
    EXPECT_GT(replay("tiff_lzw", vextral::fuzz::exerciseTiffLzw), 0u) << "the saved fuzz corpus is missing";
}

TEST(FuzzReplay, PictureReaderCorpusAndCrashes)
{
    EXPECT_GT(replay("picture_reader", vextral::fuzz::exercisePictureReader), 0u) << "the saved fuzz corpus is missing";
}

TEST(FuzzReplay, HttpHeaderCorpusAndCrashes)
{
    EXPECT_GT(replay("http_header", vextral::fuzz::exerciseHttpHeader), 0u) << "the saved fuzz corpus is missing";
}

TEST(FuzzReplay, SmtpReplyCorpusAndCrashes)
{
    EXPECT_GT(replay("smtp_reply", vextral::fuzz::exerciseSmtpReply), 0u) << "the saved fuzz corpus is missing";
}

TEST(FuzzReplay, MimeTypesCorpusAndCrashes)
{
    EXPECT_GT(replay("mime_types", vextral::fuzz::exerciseMimeTypes), 0u) << "the saved fuzz corpus is missing";
}

TEST(FuzzReplay, ProfileFileCorpusAndCrashes)
{
    EXPECT_GT(replay("profile_file", vextral::fuzz::exerciseProfileFile), 0u) << "the saved fuzz corpus is missing";
}

TEST(FuzzReplay, WindowStateCorpusAndCrashes)
{
    EXPECT_GT(replay("window_state", vextral::fuzz::exerciseWindowState), 0u) << "the saved fuzz corpus is missing";
}
