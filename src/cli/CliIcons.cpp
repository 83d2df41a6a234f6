#include "cli/CliIcons.h"

#include "cli/Arguments.h"
#include "cli/CliSupport.h"
#include "cli/FrontDoor.h"
#include "cli/ShownText.h"
#include "cli/StandardInput.h"
#include "core/Error.h"
#include "core/Json.h"
#include "core/OutputNames.h"
#include "core/ReplacingFile.h"
#include "export/EachImage.h"
#include "platform/IconExtractor.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>

namespace vextral::cli {

const char* const kIconsUsage = "Usage: vextral-cli icons [--extract DIR] [--images DIR] [--cursors] [--json] FILE...\n"
                                "\n"
                                "Lists the icons that each FILE carries: programs and libraries (PE and NE,\n"
                                "including .icl and .nil icon libraries), compiled resource files (.res),\n"
                                "icon and cursor files, animated cursors, Apple icon files (.icns), PNG\n"
                                "pictures (favicons named .ico) and bitmaps. The type is recognised by\n"
                                "content, not by name. For each icon it prints its index, its resource name\n"
                                "and its images as width x height x bits (\"png\" marks PNG-compressed images).\n"
                                "A FILE of \"-\" is standard input (once; up to 1 GiB; \"./-\" is the file \"-\"),\n"
                                "listed as \"-\" and named \"stdin\" in what is written of it.\n"
                                "\n"
                                "  --extract DIR   also write each icon, as stored, to DIR/<file name>_<index>.ico\n"
                                "                  (a cursor to .cur; also --extract=DIR; DIR is created if\n"
                                "                  missing); a name an earlier icon took, or one that is a\n"
                                "                  FILE's, becomes \"<file name>_<index> (2).ico\", \" (3)\", ...\n"
                                "                  and the count of those is told at the end\n"
                                "  --images DIR    also write each image of each icon, at its own size, as a PNG\n"
                                "                  with alpha: DIR/<file name>_<index>_<W>x<H>x<bits>.png\n"
                                "                  (numbered the same way on clashes)\n"
                                "  --cursors       also list the cursors of programs, libraries and resource\n"
                                "                  files (marked \"cursor\"), after their icons\n"
                                "  --json          print one JSON object a line for each FILE instead (below);\n"
                                "                  the lines that sum up what was written go to standard error\n"
                                "  --version       show the version\n"
                                "  --help          show this help\n"
                                "\n"
                                "In the text listing, file names, resource names and reasons are shown with\n"
                                "a backslash as \\\\, a newline as \\n, a tab as \\t, a carriage return as \\r\n"
                                "and any other control byte as \\xHH.\n"
                                "\n"
                                "With --json each FILE gives one line (JSON Lines):\n"
                                "  {\"path\":P,\"kind\":K,\"skipped\":[S,...],\"icons\":[{\"index\":0,\"name\":N,\n"
                                "   \"cursor\":false,\"usable\":true,\"images\":[{\"width\":16,\"height\":16,\n"
                                "   \"bits\":4,\"png\":false},...]},...]}\n"
                                "P is the FILE as given, K the type shown in the text listing (\"PE\", \"ICO\",\n"
                                "...) or null, S an image an Apple icon file leaves out with the reason, N\n"
                                "the resource name or null, \"usable\" false where the text\n"
                                "says \"no usable image\"; an image that cannot be read is {\"width\":W,\n"
                                "\"height\":H,\"bits\":B,\"unreadable\":true} with the sizes its entry lists.\n"
                                "A FILE that cannot be read gives {\"path\":P,\"error\":REASON} (and the\n"
                                "message on standard error). Strings are escaped as RFC 8259 asks (\\\", \\\\,\n"
                                "\\n, \\t, ..., other control characters as \\u00XX), valid UTF-8 is kept, and\n"
                                "a byte that is not valid UTF-8 is written \\udcXX (Python's surrogateescape),\n"
                                "so Python's os.fsencode(json.loads(line)[\"path\"]) gives back the name's bytes.\n"
                                "\n"
                                "Exit status: 0 when every file could be read and every icon written,\n"
                                "1 otherwise, 2 for a usage error.\n";

namespace {

constexpr const char* kCommand = "vextral-cli icons";

std::string describe(const platform::IconImageEntry& image)
{
    if (!image.info) {
        return "unreadable (listed as " + std::to_string(image.entryWidth) + "x" + std::to_string(image.entryHeight) +
               "x" + std::to_string(image.entryBits) + ")";
    }
    std::string text = std::to_string(image.info->width) + "x" + std::to_string(image.info->height) + "x" +
                       std::to_string(image.info->bits);
    if (image.info->png) text += " png";
    return text;
}

struct Options final : CommandOptions {
    std::optional<std::string> extractDir;
    std::optional<std::string> imagesDir;
    bool cursors = false;
    bool json = false;

    bool option(Arguments& a) override
    {
        if (a.name() == "--extract") {
            extractDir = a.folderValue();
        } else if (a.name() == "--images") {
            imagesDir = a.folderValue();
        } else if (a.name() == "--cursors") {
            a.noValue();
            cursors = true;
        } else if (a.name() == "--json") {
            a.noValue();
            json = true;
        } else {
            return false;
        }
        return true;
    }
    void check() override
    {
        if (operands.empty()) throw UsageError("name at least one file");
        checkStandardInputOnce(operands);
    }
};

// A file's icons, or why they cannot be read.
struct Opened {
    std::optional<platform::IconSource> source;
    std::string error;
};

Opened openSource(const std::string& path, bool cursors)
{
    const platform::IconSourceOptions options {.cursors = cursors};
    if (namesStandardInput(path)) {
        auto bytes = readStandardInput();
        if (!bytes) return {std::nullopt, bytes.reason()};
        return {platform::IconSource::fromBytes(std::move(bytes).value(), {}, options), ""};
    }
    platform::IconSource source = platform::IconSource::open(path, {}, options);
    if (!source.readable()) return {std::nullopt, source.error()};
    return {std::move(source), ""};
}

// The line of text that lists icon i.
std::string iconLine(const platform::IconSource& source, int i)
{
    std::string line = "  " + std::to_string(i);
    const std::string label = source.label(i);
    if (!label.empty()) line += " " + shownText(label);
    if (source.isCursor(i)) line += " cursor";
    line += ":";
    const auto entries = source.images(i);
    for (std::size_t k = 0; k < entries.size(); ++k) line += (k ? ", " : " ") + describe(entries[k]);
    if (!source.icon(i)) line += (entries.empty() ? " " : "; ") + std::string("no usable image");
    return line + "\n";
}

// The text listing of a file: its count, kind, what was skipped and each icon.
std::string textListing(const std::string& path, const platform::IconSource& source)
{
    const int count = source.count();
    std::string text = shownText(path) + ": " + counted(count, "icon");
    if (source.kind() != platform::IconFileKind::None)
        text += std::string(" (") + platform::iconFileKindName(source.kind()) + ")";
    text += "\n";
    for (const std::string& reason : source.skipped()) text += "  skipped " + shownText(reason) + "\n";
    for (int i = 0; i < count; ++i) text += iconLine(source, i);
    return text;
}

std::string jsonBool(bool b) { return b ? "true" : "false"; }

std::string jsonImage(const platform::IconImageEntry& image)
{
    const auto field = [](const char* name, int value) {
        return std::string("\"") + name + "\":" + std::to_string(value);
    };
    if (!image.info) {
        return "{" + field("width", image.entryWidth) + "," + field("height", image.entryHeight) + "," +
               field("bits", image.entryBits) + ",\"unreadable\":true}";
    }
    return "{" + field("width", image.info->width) + "," + field("height", image.info->height) + "," +
           field("bits", image.info->bits) + ",\"png\":" + jsonBool(image.info->png) + "}";
}

// The JSON Lines record of a file (the line end included); see kIconsUsage.
std::string jsonListing(const std::string& path, const Opened& opened)
{
    std::string line = "{\"path\":" + jsonString(path);
    if (!opened.source) return line + ",\"error\":" + jsonString(opened.error) + "}\n";
    const platform::IconSource& source = *opened.source;
    line += ",\"kind\":";
    line +=
        source.kind() == platform::IconFileKind::None ? "null" : jsonString(platform::iconFileKindName(source.kind()));
    line += ",\"skipped\":[";
    for (std::size_t k = 0; k < source.skipped().size(); ++k) line += (k ? "," : "") + jsonString(source.skipped()[k]);
    line += "],\"icons\":[";
    for (int i = 0; i < source.count(); ++i) {
        const std::string label = source.label(i);
        line += i ? "," : "";
        line += "{\"index\":" + std::to_string(i) + ",\"name\":" + (label.empty() ? "null" : jsonString(label)) +
                ",\"cursor\":" + jsonBool(source.isCursor(i)) + ",\"usable\":" + jsonBool(source.icon(i).has_value()) +
                ",\"images\":[";
        const auto entries = source.images(i);
        for (std::size_t k = 0; k < entries.size(); ++k) line += (k ? "," : "") + jsonImage(entries[k]);
        line += "]}";
    }
    return line + "]}\n";
}

// Lists (and extracts) the icons of every file named.
int listIcons(const Options& o, std::ostream& out, std::ostream& err)
{
    const std::optional<std::string>& extractDir = o.extractDir;
    if (extractDir && !prepareOutputFolder(*extractDir, err, kCommand)) return 1;
    if (o.imagesDir && !prepareOutputFolder(*o.imagesDir, err, kCommand)) return 1;
    // In JSON mode standard output holds the records alone: the summaries go
    // to standard error.
    std::ostream& summary = o.json ? err : out;

    // No icon is written over a file named, not even one listed after it.
    OutputNames names;
    if (extractDir || o.imagesDir) {
        for (const std::string& path : o.operands) {
            if (!namesStandardInput(path)) names.addInput(path);
        }
    }
    int status = 0, written = 0, renamed = 0, renamedForInputs = 0;
    exporting::EachImageCounts images;
    for (const std::string& path : o.operands) {
        const Opened opened = openSource(path, o.cursors);
        if (o.json) out << jsonListing(path, opened);
        if (!opened.source) {
            if (namesStandardInput(path)) {
                err << kCommand << ": " << opened.error << "\n";
            } else {
                err << kCommand << ": cannot open " << shownText(path) << ": " << opened.error << "\n";
            }
            status = 1;
            continue;
        }
        const platform::IconSource& source = *opened.source;
        if (!o.json) out << textListing(path, source);
        // What the outputs are named after: the file's name, or "stdin".
        const std::string namedAfter = namesStandardInput(path) ? std::string(kStandardInputName) : path;
        const std::string name = std::filesystem::path(namedAfter).filename().string();
        for (int i = 0; i < source.count(); ++i) {
            if (o.imagesDir) {
                try {
                    exporting::writeEachImage(source, namedAfter, i, *o.imagesDir, names, images);
                } catch (const Error& e) {
                    err << kCommand << ": " << shownText(e.what()) << "\n";
                    status = 1;
                }
            }
            if (!extractDir) continue;
            const auto bytes = source.originalIco(i);
            if (bytes.empty()) {
                err << kCommand << ": icon " << i << " of " << shownText(path)
                    << " has no readable image; not written\n";
                continue;
            }
            const char* extension = source.isCursor(i) ? ".cur" : ".ico";
            const OutputNames::Choice target = names.claim(
                (std::filesystem::path(*extractDir) / (name + "_" + std::to_string(i) + extension)).string());
            try {
                writeFileAtomically(target.path, bytes);
            } catch (const Error& e) {
                err << kCommand << ": " << shownText(e.what()) << "\n";
                status = 1;
                continue;
            }
            ++written;
            if (target.clash == OutputNames::Clash::Output) ++renamed;
            if (target.clash == OutputNames::Clash::Input) ++renamedForInputs;
        }
    }
    if (o.imagesDir) {
        summary << "Wrote " << counted(images.written, "image") << " to " << shownText(*o.imagesDir)
                << renamedText(images.renamed, "because an earlier image had the same name")
                << renamedText(images.renamedForInputs, "so as not to overwrite an input file");
        if (images.unreadable > 0) summary << "; " << counted(images.unreadable, "image") << " could not be read";
        summary << "\n";
        if (images.unreadable > 0) status = 1;
    }
    // Said only when names were changed: the listing above is the rest of the story.
    if (renamed + renamedForInputs > 0) {
        summary << "Wrote " << counted(written, "file") << " to " << shownText(*extractDir)
                << renamedText(renamed, "because an earlier icon had the same name")
                << renamedText(renamedForInputs, "so as not to overwrite an input file") << "\n";
    }
    return status;
}

} // namespace

int runIcons(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal)
{
    Options o;
    return runCommand("icons", kIconsUsage, args, o, {out, err, progressToTerminal},
                      [&] { return listIcons(o, out, err); });
}

} // namespace vextral::cli
