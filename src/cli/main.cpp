#include "cli/Commands.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Output that could not be written is a failure: a listing cut short by a
// full disk must not end with status 0. Standard output is flushed and
// checked once everything is said.
int finishOutput(int status)
{
    errno = 0;
    std::cout.flush();
    if (std::cout && std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    const int error = errno != 0 ? errno : EIO;
    std::cerr << "vextral-cli: cannot write to standard output: " << std::strerror(error) << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // The commands report every failure they know of themselves; anything
    // else that escapes still ends in a message and status 1, never an abort.
    int status = 1;
    try {
        status = vextral::cli::runVextralCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                                             ::isatty(2) != 0);
    } catch (const std::exception& e) {
        std::cout.flush();
        if (::isatty(2)) std::cerr << "\r\033[K"; // a progress line may stand there
        std::cerr << "vextral-cli: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "vextral-cli: unexpected failure\n";
    }
    return finishOutput(status);
}
