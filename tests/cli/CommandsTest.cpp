#include "cli/Commands.h"

#include "cli/CliConvert.h"
#include "cli/CliHarvest.h"
#include "cli/CliIcons.h"
#include "cli/CliWeb.h"

#include "TestSupport.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

using vextral::test::CliCommand;
using vextral::test::CliResult;
using vextral::test::fixture;
using vextral::test::runCli;
using vextral::test::TempDir;
namespace cli = vextral::cli;
namespace fs = std::filesystem;

namespace {

// vextral-cli itself, in this process.
CliResult program(const std::vector<std::string>& args) { return runCli(cli::runVextralCli, args); }

const cli::Command& row(const std::string& name)
{
    for (const cli::Command& c : cli::commands()) {
        if (c.name == name) return c;
    }
    throw std::runtime_error("no command " + name);
}

std::string usageError(const std::string& command, const std::string& message)
{
    return "vextral-cli " + command + ": " + message + "\nRun 'vextral-cli " + command + " --help' for its options.\n";
}

// One command of vextral-cli and arguments with which it succeeds, writing
// into a folder. A command that reads the settings gets an empty settings
// file first.
struct CommandCase {
    const char* name;
    CliCommand run;
    bool readsSettings;
    bool takesSize;
    std::vector<std::string> (*working)(const fs::path& dir);

    CliResult operator()(const std::vector<std::string>& args) const
    {
        std::vector<std::string> all = args;
        if (readsSettings) all.insert(all.begin(), {"--settings", "/dev/null"});
        return runCli(run, all);
    }
    // The working arguments with more in front.
    std::vector<std::string> with(std::vector<std::string> front, const fs::path& dir) const
    {
        const std::vector<std::string> rest = working(dir);
        front.insert(front.end(), rest.begin(), rest.end());
        return front;
    }
};

// Test listings name a case by its command.
void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

const CommandCase kCases[] = {
    {"icons", cli::runIcons, false, false,
     [](const fs::path& dir) {
         return std::vector<std::string> {"--extract", dir.string(), fixture("tie.ico").string()};
     }},
    {"harvest", cli::runHarvest, true, true,
     [](const fs::path& dir) {
         return std::vector<std::string> {"--save-all", dir.string(), "--type", "png", fixture("tie.ico").string()};
     }},
    {"convert", cli::runConvert, false, false,
     [](const fs::path& dir) {
         return std::vector<std::string> {"--to", "png", "--out", dir.string(), fixture("multi.ico").string()};
     }},
    {"web", cli::runWeb, true, true,
     [](const fs::path& dir) {
         return std::vector<std::string> {"--out", dir.string(), fixture("tie.ico").string()};
     }},
};

std::string caseName(const testing::TestParamInfo<CommandCase>& info) { return info.param.name; }

class CliEachCommand : public testing::TestWithParam<CommandCase> {};

} // namespace

TEST(CliCommands, TheTableHoldsTheCommandsInTheOrderOfTheUsage)
{
    std::vector<std::string> names;
    for (const cli::Command& c : cli::commands()) names.emplace_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string> {"icons", "harvest", "convert", "web", "help"}));
    for (const CommandCase& c : kCases) EXPECT_EQ(row(c.name).run, c.run) << c.name;
}

// A listing cut short by a full disk is a failure, whatever printed it: the
// program's own answers (usage, version) and a command's output alike.
TEST(CliCommands, OutputThatCannotBeWrittenIsAFailure)
{
    const std::vector<std::vector<std::string>> runs = {
        {"--version"}, {"--help"}, {"icons", "--help"}, {"icons", fixture("multi.ico").string()}};
    for (const std::vector<std::string>& args : runs) {
        SCOPED_TRACE(args.back());
        const CliResult full = vextral::test::runCliProgram(args, ">/dev/full ");
        EXPECT_EQ(full.status, 1);
        EXPECT_EQ(full.err, "vextral-cli: cannot write to standard output: No space left on device\n");
        const CliResult written = vextral::test::runCliProgram(args);
        EXPECT_EQ(written.status, 0);
        EXPECT_FALSE(written.out.empty());
    }
}

TEST(CliCommands, TheUsageIsBuiltFromTheTable)
{
    const std::string usage = "Usage: vextral-cli COMMAND [ARGS...]\n"
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
    EXPECT_EQ(cli::programUsage(), usage);
    // Without a command the usage is a mistake; asked for, it is not.
    for (const auto& [args, status] :
         std::vector<std::pair<std::vector<std::string>, int>> {{{}, 2}, {{"--help"}, 0}, {{"-h"}, 0}, {{"help"}, 0}}) {
        const CliResult r = program(args);
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.out, usage);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(vextral::test::runCliProgram({"--help"}).out, usage);
    for (const auto& [args, name] : std::vector<std::pair<std::vector<std::string>, std::string>> {
             {{"bogus"}, "bogus"}, {{"help", "bogus"}, "bogus"}, {{"--size", "0x32"}, "--size"}}) {
        const CliResult r = program(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "vextral-cli: unknown command " + name + "\n" + usage);
    }
    const CliResult help = program({"help", "help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, row("help").help);
    EXPECT_EQ(help.out.rfind("Usage: vextral-cli help [COMMAND]\n", 0), 0u);
}

TEST_P(CliEachCommand, PrintsTheVersion)
{
    const CommandCase& c = GetParam();
    const CliResult r = c({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "vextral-cli 2.1\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(vextral::test::runCliProgram({c.name, "--version"}).out, "vextral-cli 2.1\n");
    EXPECT_EQ(program({"--version"}).out, "vextral-cli 2.1\n");
}

TEST_P(CliEachCommand, PrintsItsHelpFromTheTable)
{
    const CommandCase& c = GetParam();
    const std::string help = row(c.name).help;
    EXPECT_EQ(help.rfind("Usage: vextral-cli " + std::string(c.name) + " ", 0), 0u) << help;
    TempDir dir;
    for (const char* option : {"--help", "-h"}) {
        // Before anything else it ends the walk: nothing runs.
        const CliResult r = c(c.with({option}, dir.path()));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, help);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_EQ(program({"help", c.name}).out, help);
    EXPECT_EQ(program({c.name, "--help"}).out, help);
}

TEST_P(CliEachCommand, RunsWithItsWorkingArguments)
{
    const CommandCase& c = GetParam();
    TempDir dir;
    const CliResult r = c(c.working(dir.path()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::is_empty(dir.path()));
}

TEST_P(CliEachCommand, RefusesUnknownOptionsAndValuesOnTheCommonOnes)
{
    const CommandCase& c = GetParam();
    TempDir dir;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"--help=yes"}, "--help takes no value"},
        {{"--version=2"}, "--version takes no value"},
    };
    for (const auto& [front, message] : cases) {
        const CliResult r = c(c.with(front, dir.path()));
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, usageError(c.name, message));
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_P(CliEachCommand, SizesFollowOneRule)
{
    const CommandCase& c = GetParam();
    const std::string rule = "--size needs WIDTHxHEIGHT, each side a whole number from 1 to 16384, not '";
    const std::pair<std::string, std::string> refused[] = {
        {"0x32", rule + "0x32'"},
        {"32x0", rule + "32x0'"},
        {"-1x5", rule + "-1x5'"},
        {"x32", rule + "x32'"},
        {"32x", rule + "32x'"},
        {"32", rule + "32'"},
        {"big", rule + "big'"},
        {"0x10x5", rule + "0x10x5'"},
        {"$10x5", rule + "$10x5'"},
        {"+8x8", rule + "+8x8'"},
        {"99999999999x5", rule + "99999999999x5'"},
        {"16385x16", "The picture size 16385 x 16 is too large: each side can be at most 16384 pixels"},
        {"16x16385", "The picture size 16 x 16385 is too large: each side can be at most 16384 pixels"},
    };
    for (const auto& [size, message] : refused) {
        // Refused at once: nothing is harvested, read or written.
        TempDir dir;
        const CliResult r = c(c.with({"--size", size}, dir.path()));
        EXPECT_EQ(r.status, 2) << size;
        EXPECT_EQ(r.out, "") << size;
        EXPECT_EQ(r.err, usageError(c.name, c.takesSize ? message : "unknown option --size")) << size;
        EXPECT_TRUE(fs::is_empty(dir.path())) << size;
    }
    if (!c.takesSize) return;
    for (const char* size : {"48x16", "8X6", "1x1", "016x08"}) {
        TempDir dir;
        const CliResult r = c(c.with({"--size=" + std::string(size)}, dir.path()));
        EXPECT_EQ(r.status, 0) << size << r.err;
        EXPECT_FALSE(fs::is_empty(dir.path())) << size;
    }
}

TEST_P(CliEachCommand, TheSettingsFileMustBeReadable)
{
    const CommandCase& c = GetParam();
    TempDir home, dir;
    const std::string missing = (home / "nope.ini").string();
    const std::string prefix = "vextral-cli " + std::string(c.name) + ": ";
    if (!c.readsSettings) {
        const CliResult r = runCli(c.run, c.with({"--settings", missing}, dir.path()));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, usageError(c.name, "unknown option --settings"));
        return;
    }
    CliResult r = runCli(c.run, c.with({"--settings", missing}, dir.path()));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, prefix + "--settings " + missing + ": No such file or directory\n");
    EXPECT_EQ(r.out, "");
    r = runCli(c.run, c.with({"--settings=" + home.path().string()}, dir.path()));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, prefix + "--settings " + home.path().string() + ": Is a directory\n");
    EXPECT_TRUE(fs::is_empty(dir.path()));
    r = runCli(c.run, {"--settings"});
    EXPECT_EQ(r.err, usageError(c.name, "--settings needs a value"));
    // An empty settings file gives the defaults.
    r = runCli(c.run, c.with({"--settings", "/dev/null"}, dir.path()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Harvested 1 icon", 0), 0u) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Table, CliEachCommand, testing::ValuesIn(kCases), caseName);
