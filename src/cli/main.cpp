#include "cli/Commands.h"

#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // The commands report every failure they know of themselves; anything
    // else that escapes still ends in a message and status 1, never an abort.
    try {
        return vextral::cli::runVextralCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                                           ::isatty(2) != 0);
    } catch (const std::exception& e) {
        std::cout.flush();
        if (::isatty(2)) std::cerr << "\r\033[K"; // a progress line may stand there
        std::cerr << "vextral-cli: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "vextral-cli: unexpected failure\n";
    }
    return 1;
}
