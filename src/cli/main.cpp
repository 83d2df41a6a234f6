#include "cli/CliConvert.h"
#include "cli/CliHarvest.h"
#include "cli/CliIcons.h"
#include "cli/CliSupport.h"
#include "cli/CliWeb.h"

#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kUsage = "Usage: vextral-cli COMMAND [ARGS...]\n"
                           "\n"
                           "Vextral 2.1 harvests the icons of Windows programs, libraries and icon files.\n"
                           "\n"
                           "Commands:\n"
                           "  icons [--extract DIR] FILE...   list (and extract) the icons of files\n"
                           "  harvest [options] PATH...       harvest files and folders, save every icon\n"
                           "  convert --to FORMAT|OUT FILE... convert pictures into another format\n"
                           "  web --out DIR [options] PATH... write a web gallery of the icons\n"
                           "  help [COMMAND]                  show help\n"
                           "\n"
                           "Options: --help shows this help, --version the version.\n"
                           "Run 'vextral-cli COMMAND --help' for a command's options.\n";

int dispatch(std::vector<std::string> args)
{
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || (args[0] == "help" && args.size() == 1)) {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        std::cout << vextral::cli::kVersionLine;
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "help") {
        if (args[0] == "icons") {
            std::cout << vextral::cli::kIconsUsage;
            return 0;
        }
        if (args[0] == "harvest") {
            std::cout << vextral::cli::kHarvestUsage;
            return 0;
        }
        if (args[0] == "web") return std::cout << vextral::cli::kWebUsage, 0;
        if (args[0] == "convert") {
            std::cout << vextral::cli::kConvertUsage;
            return 0;
        }
        std::cerr << "vextral-cli: unknown command " << args[0] << "\n" << kUsage;
        return 2;
    }
    if (command == "icons") return vextral::cli::runIcons(args, std::cout, std::cerr);
    if (command == "harvest") return vextral::cli::runHarvest(args, std::cout, std::cerr, ::isatty(2) != 0);
    if (command == "web") return vextral::cli::runWeb(args, std::cout, std::cerr, ::isatty(2) != 0);
    if (command == "convert") return vextral::cli::runConvert(args, std::cout, std::cerr);
    std::cerr << "vextral-cli: unknown command " << command << "\n" << kUsage;
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    // The commands report every failure they know of themselves; anything
    // else that escapes still ends in a message and status 1, never an abort.
    try {
        return dispatch(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cout.flush();
        if (::isatty(2)) std::cerr << "\r\033[K"; // a progress line may stand there
        std::cerr << "vextral-cli: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "vextral-cli: unexpected failure\n";
    }
    return 1;
}
