// vextral_signal_child FOLDER HOW THREADS FILES: holds THREADS x FILES
// ReplacingFiles open in FOLDER (each thread opens its own), writes "r" on
// standard output once they all exist, then waits for standard input to
// close and commits them. A test ends it with a signal while it waits.
// HOW says what this process did with the ending signals before writing:
// "default" left them alone, "ignore-hup" ignores SIGHUP, "own-int" has a
// handler of its own for SIGINT (it exits with status 42).
#include "core/ReplacingFile.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

extern "C" void ownHandler(int) { ::_exit(42); }

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) return 2;
    const std::string folder = argv[1];
    const std::string how = argv[2];
    const int threads = std::atoi(argv[3]);
    const int files = std::atoi(argv[4]);
    // Whatever the test runner had: the dispositions this run is about.
    for (int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
    if (how == "ignore-hup") ::signal(SIGHUP, SIG_IGN);
    if (how == "own-int") ::signal(SIGINT, ownHandler);

    std::vector<std::unique_ptr<vextral::ReplacingFile>> open;
    for (int t = 0; t < threads; ++t) {
        for (int f = 0; f < files; ++f) {
            open.push_back(std::make_unique<vextral::ReplacingFile>(folder + "/t" + std::to_string(t) + "-" +
                                                                    std::to_string(f) + ".txt"));
        }
    }
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&open, t, files] {
            for (int f = 0; f < files; ++f) {
                vextral::ReplacingFile& file = *open[static_cast<std::size_t>(t * files + f)];
                file.open();
                file.write("partial", 7);
            }
        });
    }
    for (std::thread& w : workers) w.join();
    if (::write(1, "r", 1) != 1) return 3;
    char c;
    while (::read(0, &c, 1) > 0) {}
    for (auto& file : open) file->commit();
    return 0;
}
