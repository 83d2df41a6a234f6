// Times opening files and extracting all their icons (count, the 32 x 32
// pictures and the original .ico bytes), as a harvest and a save would.
//
//   bench_extract [--rounds N] FILE...
//
// Prints the files, icons and the mean time per file in microseconds.
#include "platform/IconExtractor.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    int rounds = 5;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: bench_extract [--rounds N] FILE...\n");
        return 2;
    }
    long long icons = 0;
    std::size_t bytes = 0;
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        icons = 0;
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& path : files) {
            const auto source = vextral::platform::IconSource::open(path);
            for (int i = 0; i < source.count(); ++i) {
                if (source.icon(i)) ++icons;
                bytes += source.originalIco(i).size();
            }
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds < best) best = seconds;
    }
    std::printf("files %zu icons %lld best-of-%d total %.3f ms per-file %.1f us (%zu bytes of .ico)\n", files.size(),
                icons, rounds, best * 1e3, best * 1e6 / static_cast<double>(files.size()), bytes);
    return 0;
}
