// Replays every input the fuzzer kept (its corpus) and every crash it ever
// found, so a fixed fault stays fixed.
#include "fuzz/FuzzIconSource.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(FuzzReplay, IconSourceCorpusAndCrashes)
{
    std::size_t replayed = 0;
    for (const char* dir : {"corpus/icon_source", "crashes/icon_source"}) {
        const fs::path path = fs::path(VEXTRAL_FUZZ_DIR) / dir;
        if (!fs::is_directory(path)) continue;
        for (const auto& entry : fs::directory_iterator(path)) {
            if (!entry.is_regular_file() || entry.path().filename() == ".gitkeep") continue;
            SCOPED_TRACE(entry.path().string());
            const auto bytes = vextral::test::readBytes(entry.path());
            vextral::fuzz::exerciseIconSource(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0u) << "the saved fuzz corpus is missing";
}
