// Times the Base64 encoding of a 100 MB attachment by the mail composer's own
// path (read in 1024-byte chunks with progress thresholds, encoded by the
// Base64 stream, written to a file) against coreutils' `base64` writing the
// same 76-character lines to a file. Fails when ours takes more than twice as
// long. Also reports, for information, the whole attachment step that
// encodes into the message text in memory (about 4/3 of the file).
//
//   bench_base64 [megabytes] [folder]     (defaults: 100, the temporary folder)

#include "net/MailCompose.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace vextral::net;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

} // namespace

int main(int argc, char** argv)
{
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    const std::filesystem::path folder =
        argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    const auto source = folder / "bench_base64.bin";
    const auto coreutilsOut = folder / "bench_base64.b64";
    const auto oursOut = folder / "bench_base64.out";
    {
        std::mt19937_64 random(2001);
        std::string block(1 << 20, '\0');
        std::ofstream out(source, std::ios::binary);
        for (std::size_t m = 0; m < megabytes; ++m) {
            for (std::size_t i = 0; i < block.size(); i += 8) {
                const auto r = random();
                std::memcpy(block.data() + i, &r, 8);
            }
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }

    AttachedFile file {"bench_base64.bin", source.string(), "application/octet-stream"};
    ComposeEvents events;
    int progress = 0;
    events.onEncodeProgress = [&](int) { ++progress; };
    double ours = 1e9, theirs = 1e9, inMemory = 1e9;
    std::size_t lines = 0;
    for (int round = 0; round < 3; ++round) {
        auto start = Clock::now();
        {
            StringStream target;
            encodeFile(file, events, target);
            std::ofstream(oursOut, std::ios::binary) << target.text();
        }
        ours = std::min(ours, seconds(start));

        start = Clock::now();
        const std::string text = encodeAttachment(file, events);
        lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + (text.empty() ? 0 : 1);
        inMemory = std::min(inMemory, seconds(start));

        const std::string command = "base64 '" + source.string() + "' > '" + coreutilsOut.string() + "'";
        start = Clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "bench_base64: coreutils base64 failed\n");
            return 2;
        }
        theirs = std::min(theirs, seconds(start));
    }
    // Same text as coreutils, but for its final line break.
    std::string a, b;
    {
        std::ifstream x(oursOut, std::ios::binary), y(coreutilsOut, std::ios::binary);
        a.assign(std::istreambuf_iterator<char>(x), {});
        b.assign(std::istreambuf_iterator<char>(y), {});
    }
    std::string oursLf;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != '\r') oursLf += a[i];
    const bool same = oursLf + "\n" == b;
    std::filesystem::remove(source);
    std::filesystem::remove(coreutilsOut);
    std::filesystem::remove(oursOut);
    if (!same) {
        std::fprintf(stderr, "bench_base64: the text differs from coreutils' base64\n");
        return 2;
    }

    const double mb = static_cast<double>(megabytes);
    std::printf("Base64 of %zu MB to a file: composer %.3f s (%.0f MB/s), coreutils base64 %.3f s (%.0f MB/s); "
                "speed ratio %.2f (limit 0.50)\n",
                megabytes, ours, mb / ours, theirs, mb / theirs, theirs / ours);
    std::printf("  into the message text in memory: %.3f s (%.0f MB/s, %zu lines, %d progress events in all)\n",
                inMemory, mb / inMemory, lines, progress);
    return theirs / ours >= 0.5 ? 0 : 1;
}
