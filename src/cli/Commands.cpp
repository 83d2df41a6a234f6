#include "cli/Commands.h"

#include "cli/CliConvert.h"
#include "cli/CliHarvest.h"
#include "cli/CliIcons.h"
#include "cli/CliSupport.h"
#include "cli/CliWeb.h"
#include "core/ProductInfo.h"

#include <algorithm>
#include <cstring>
#include <ostream>

namespace vextral::cli {

namespace {

const char* const kHelpUsage = "Usage: vextral-cli help [COMMAND]\n"
                               "\n"
                               "Shows the help of COMMAND, or without one the commands of vextral-cli.\n";

const Command* commandNamed(const std::string& name)
{
    for (const Command& c : commands()) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

int unknownCommand(const std::string& name, std::ostream& err)
{
    err << "vextral-cli: unknown command " << name << "\n" << programUsage();
    return 2;
}

// vextral-cli help [COMMAND]
int runHelp(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool)
{
    if (args.empty()) {
        out << programUsage();
        return 0;
    }
    const Command* command = commandNamed(args.front());
    if (!command) return unknownCommand(args.front(), err);
    out << command->help;
    return 0;
}

const Command kCommands[] = {
    {"icons", "icons [--extract DIR] FILE...", "list (and extract) the icons of files", kIconsUsage, runIcons},
    {"harvest", "harvest [options] PATH...", "harvest files and folders, save every icon", kHarvestUsage, runHarvest},
    {"convert", "convert --to FORMAT|OUT FILE...", "convert pictures into another format", kConvertUsage, runConvert},
    {"web", "web --out DIR [options] PATH...", "write a web gallery of the icons", kWebUsage, runWeb},
    {"help", "help [COMMAND]", "show help", kHelpUsage, runHelp},
};

} // namespace

std::span<const Command> commands() { return kCommands; }

std::string programUsage()
{
    std::size_t width = 0;
    for (const Command& c : commands()) width = std::max(width, std::strlen(c.synopsis));
    std::string text = std::string("Usage: vextral-cli COMMAND [ARGS...]\n"
                                   "\n"
                                   "Vextral ") +
                       product::kVersion +
                       " harvests the icons of Windows programs, libraries and icon files.\n"
                       "\n"
                       "Commands:\n";
    for (const Command& c : commands()) {
        const std::string synopsis = c.synopsis;
        text += "  " + synopsis + std::string(width + 1 - synopsis.size(), ' ') + c.summary + "\n";
    }
    return text + "\n"
                  "Options: --help shows this help, --version the version.\n"
                  "Run 'vextral-cli COMMAND --help' for a command's options.\n";
}

int runVextralCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal)
{
    if (args.empty() || args.front() == "--help" || args.front() == "-h") {
        out << programUsage();
        return args.empty() ? 2 : 0;
    }
    if (args.front() == "--version") {
        out << versionLine();
        return 0;
    }
    const Command* command = commandNamed(args.front());
    if (!command) return unknownCommand(args.front(), err);
    return command->run({args.begin() + 1, args.end()}, out, err, progressToTerminal);
}

} // namespace vextral::cli
