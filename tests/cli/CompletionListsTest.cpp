#include "cli/Commands.h"
#include "codecs/OutputFormats.h"
#include "codecs/PictureReader.h"
#include "core/FileTypes.h"

#include "TestSupport.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

// The shell completions of dist/completions hold the option names and the
// value lists of vextral-cli as text of their own. These tests hold them to
// the program: the bash and fish files are asked as the shells ask them, the
// zsh file is read, and every list must equal what vextral-cli accepts.

using vextral::test::shellQuote;
using Words = std::set<std::string>;
namespace fs = std::filesystem;

namespace {

const fs::path kCompletions = fs::path(VEXTRAL_FIXTURES).parent_path().parent_path() / "dist/completions";

Words splitWords(const std::string& text)
{
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

std::string fileText(const fs::path& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The shells run in an empty folder, so that no file name is offered.
std::string inEmptyFolder(const std::string& command)
{
    static const vextral::test::TempDir empty;
    return "cd " + shellQuote(empty.path().string()) + " && " + command;
}

// What the bash completion offers for the words of a command line, the last
// one being completed.
Words bashOffers(const std::vector<std::string>& words)
{
    std::string array;
    for (const std::string& w : words) array += " " + shellQuote(w);
    const std::string script = "source " + shellQuote((kCompletions / "vextral-cli.bash").string()) + "; COMP_WORDS=(" +
                               array + "); COMP_CWORD=" + std::to_string(words.size() - 1) +
                               "; _vextral_cli; printf '%s\\n' \"${COMPREPLY[@]}\"";
    std::string out;
    EXPECT_EQ(vextral::test::runCommand(inEmptyFolder("bash --norc --noprofile -c " + shellQuote(script)), &out), 0)
        << script;
    return splitWords(out);
}

// What fish offers for a command line (the candidates without their descriptions).
Words fishOffers(const std::string& line)
{
    const std::string script =
        "source " + shellQuote((kCompletions / "vextral-cli.fish").string()) + "; and complete -C " + shellQuote(line);
    std::string out;
    const std::string command = "fish --no-config -c " + shellQuote(script) + " | cut -f1";
    EXPECT_EQ(vextral::test::runCommand(inEmptyFolder(command), &out), 0) << script;
    return splitWords(out);
}

// The words of the zsh file's array name=(...).
Words zshArray(const std::string& name)
{
    const std::string text = fileText(kCompletions / "_vextral-cli");
    std::smatch m;
    EXPECT_TRUE(std::regex_search(text, m, std::regex("local -a " + name + "=\\(([^)]*)\\)"))) << name;
    return m.empty() ? Words {} : splitWords(m[1]);
}

// The options the zsh file offers for a command: those of its branch, and
// the common --help and --version.
Words zshOptions(const std::string& command)
{
    const std::string text = fileText(kCompletions / "_vextral-cli");
    const std::size_t start = text.find("\n  " + command + ")\n");
    EXPECT_NE(start, std::string::npos) << command;
    const std::string branch = text.substr(start, text.find(";;", start) - start);
    Words options = {"--help", "--version"};
    const std::regex option("'--([a-z][a-z-]*)");
    for (auto it = std::sregex_iterator(branch.begin(), branch.end(), option); it != std::sregex_iterator(); ++it)
        options.insert("--" + (*it)[1].str());
    return options;
}

const vextral::cli::Command& command(const std::string& name)
{
    for (const vextral::cli::Command& c : vextral::cli::commands()) {
        if (c.name == name) return c;
    }
    throw std::runtime_error("no command " + name);
}

// The options a command's --help names.
Words helpOptions(const std::string& name)
{
    const std::string help = command(name).help;
    Words options;
    const std::regex option("--[a-z][a-z-]*");
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option); it != std::sregex_iterator(); ++it)
        options.insert(it->str());
    options.erase("--option"); // "--option=VALUE"
    return options;
}

// Whether the command takes option with value: its --help then answers,
// or, for convert's --to, which is checked with the files, the run goes past
// the usage check to the missing file.
bool accepts(const std::string& name, const std::string& option, const std::string& value)
{
    if (name == "convert" && option == "--to")
        return vextral::test::runCli(command(name).run, {option, value, "/nonexistent/x.png"}).status == 1;
    return vextral::test::runCli(command(name).run, {option, value, "--help"}).status == 0;
}

struct ValueList {
    const char* command;
    const char* option;
    const char* zshName; // the zsh file's array
    Words program;       // what vextral-cli takes
};

std::vector<ValueList> valueLists()
{
    Words harvestTypes, fileTypes = {"all", "cur", "ani"}, convertTo, convertFrom, webTypes;
    for (const auto& row : vextral::codecs::saveAllTypes())
        harvestTypes.insert(vextral::codecs::outputFormat(row.format).name);
    for (const auto& t : vextral::kFileTypes) fileTypes.insert(t.extension);
    for (const auto& row : vextral::codecs::outputFormats()) {
        std::string candidates = std::string(row.extension) + ";" + row.alsoExtensions;
        std::istringstream in(candidates);
        for (std::string e; std::getline(in, e, ';');) {
            if (!e.empty() && vextral::codecs::pictureFormatForExtension(e)) convertTo.insert(e);
        }
    }
    // The inputs the converter takes: those of its "All Images" list that
    // have a reader (emf is ImageMagick's to read or refuse), and the
    // further extensions its --help names.
    for (const char* e : vextral::codecs::allImagesExtensions()) {
        const auto input = vextral::codecs::pictureInputFor(std::string("x.") + e);
        if (input && input->kind != vextral::codecs::PictureReaderKind::Unavailable) convertFrom.insert(e);
    }
    convertFrom.insert({"jpe", "jfif", "eps"});
    for (const auto format : vextral::codecs::webPageFormats())
        webTypes.insert(vextral::codecs::outputFormat(format).extension);
    return {
        {"harvest", "--type", "harvest_types", harvestTypes},
        {"harvest", "--types", "file_types", fileTypes},
        {"convert", "--to", "convert_to", convertTo},
        {"convert", "--from", "convert_from", convertFrom},
        {"web", "--type", "web_types", webTypes},
        {"harvest", "--naming", "naming", {"filename", "number"}},
    };
}

} // namespace

TEST(CompletionLists, CommandsAndOptionsAreThoseOfTheProgram)
{
    Words commands;
    for (const vextral::cli::Command& c : vextral::cli::commands()) commands.insert(c.name);
    EXPECT_EQ(bashOffers({"vextral-cli", ""}), [&] {
        Words w = commands;
        w.insert({"--help", "--version"});
        return w;
    }());
    EXPECT_EQ(bashOffers({"vextral-cli", "help", ""}), commands);
    EXPECT_EQ(fishOffers("vextral-cli help "), commands);
    for (const std::string name : {"icons", "harvest", "convert", "web"}) {
        const Words options = helpOptions(name);
        EXPECT_GT(options.size(), 4u) << name;
        EXPECT_EQ(bashOffers({"vextral-cli", name, "--"}), options) << name;
        EXPECT_EQ(fishOffers("vextral-cli " + name + " --"), options) << name;
        EXPECT_EQ(zshOptions(name), options) << name;
    }
}

TEST(CompletionLists, ValuesAreThoseTheProgramAccepts)
{
    for (const ValueList& list : valueLists()) {
        const std::string what = std::string(list.command) + " " + list.option;
        EXPECT_GE(list.program.size(), 2u) << what;
        for (const std::string& value : list.program)
            EXPECT_TRUE(accepts(list.command, list.option, value)) << what << " " << value;
        EXPECT_FALSE(accepts(list.command, list.option, "no-such-value")) << what;
        EXPECT_EQ(bashOffers({"vextral-cli", list.command, list.option, ""}), list.program) << what;
        EXPECT_EQ(fishOffers(std::string("vextral-cli ") + list.command + " " + list.option + " "), list.program)
            << what;
        EXPECT_EQ(zshArray(list.zshName), list.program) << what;
    }
}
