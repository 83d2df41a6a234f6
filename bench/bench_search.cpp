// Walks a tree with the folder search and the mask of all nine file types.
//
//   bench_search [--rounds N] TREE
//
// Prints the matches, the folders visited and the best time.
#include "harvest/SearchFolders.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    int rounds = 3;
    std::string tree = "/usr";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            tree = a;
    }
    double best = 1e300;
    long folders = 0;
    int found = 0;
    for (int r = 0; r < rounds; ++r) {
        vextral::SearchFolders search;
        search.scanOptions = vextral::ScanOptions::soSpecifiedDir;
        search.scanDir = tree;
        search.fileMask = "*.exe,*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,*.bmp";
        folders = 0;
        search.onProcess = [&folders](const std::string&, std::int32_t, std::int32_t) { ++folders; };
        search.pump = [] {};
        const auto start = std::chrono::steady_clock::now();
        search.execute();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        found = search.countFiles();
    }
    std::printf("%s: %d matches in %ld folders, best of %d: %.3f s\n", tree.c_str(), found, folders, rounds, best);
    return 0;
}
