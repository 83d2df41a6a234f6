// vextral-thumbnailer -s SIZE INPUT OUTPUT: the thumbnail of an icon-bearing
// file for the desktop's file managers (see vextral.thumbnailer).
#include "thumbnailer/Thumbnailer.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs("Usage: vextral-thumbnailer -s SIZE INPUT OUTPUT\n"
                   "Writes the first icon of INPUT as a SIZE x SIZE PNG picture to OUTPUT.\n",
                   stdout);
        return 0;
    }
    // Limits first: whatever the input does, the file manager waits at most
    // a second and the machine loses at most the memory cap.
    if (!vextral::thumbnailer::applyLimits()) {
        std::fputs("vextral-thumbnailer: cannot set the resource limits\n", stderr);
        return 1;
    }
    std::string err;
    const int status = vextral::thumbnailer::run(args, err);
    if (!err.empty()) std::fprintf(stderr, "vextral-thumbnailer: %s", err.c_str());
    return status;
}
