#include "cli/CliIcons.h"

#include "cli/Arguments.h"
#include "cli/CliSupport.h"
#include "cli/FrontDoor.h"
#include "core/Error.h"
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

const char* const kIconsUsage = "Usage: vextral-cli icons [--extract DIR] [--images DIR] [--cursors] FILE...\n"
                                "\n"
                                "Lists the icons that each FILE carries: programs and libraries (PE and NE,\n"
                                "including .icl and .nil icon libraries), compiled resource files (.res),\n"
                                "icon and cursor files, animated cursors, Apple icon files (.icns), PNG\n"
                                "pictures (favicons named .ico) and bitmaps. The type is recognised by\n"
                                "content, not by name. For each icon it prints its index, its resource name\n"
                                "and its images as width x height x bits (\"png\" marks PNG-compressed images).\n"
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
                                "  --version       show the version\n"
                                "  --help          show this help\n"
                                "\n"
                                "Exit status: 0 when every file could be read and every icon written,\n"
                                "1 otherwise, 2 for a usage error.\n";

namespace {

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

    bool option(Arguments& a) override
    {
        if (a.name() == "--extract") {
            extractDir = a.folderValue();
        } else if (a.name() == "--images") {
            imagesDir = a.folderValue();
        } else if (a.name() == "--cursors") {
            a.noValue();
            cursors = true;
        } else {
            return false;
        }
        return true;
    }
    void check() override
    {
        if (operands.empty()) throw UsageError("name at least one file");
    }
};

// Lists (and extracts) the icons of every file named.
int listIcons(const Options& o, std::ostream& out, std::ostream& err)
{
    const std::optional<std::string>& extractDir = o.extractDir;
    if (extractDir && !prepareOutputFolder(*extractDir, err, "vextral-cli icons")) return 1;
    if (o.imagesDir && !prepareOutputFolder(*o.imagesDir, err, "vextral-cli icons")) return 1;

    // No icon is written over a file named, not even one listed after it.
    OutputNames names;
    if (extractDir || o.imagesDir) {
        for (const std::string& path : o.operands) names.addInput(path);
    }
    int status = 0, written = 0, renamed = 0, renamedForInputs = 0;
    exporting::EachImageCounts images;
    for (const std::string& path : o.operands) {
        const platform::IconSource source = platform::IconSource::open(path, {}, {.cursors = o.cursors});
        if (!source.readable()) {
            err << "vextral-cli icons: cannot open " << path << ": " << source.error() << "\n";
            status = 1;
            continue;
        }
        const int count = source.count();
        out << path << ": " << count << (count == 1 ? " icon" : " icons");
        if (source.kind() != platform::IconFileKind::None)
            out << " (" << platform::iconFileKindName(source.kind()) << ")";
        out << "\n";
        for (const std::string& reason : source.skipped()) out << "  skipped " << reason << "\n";
        const std::string name = std::filesystem::path(path).filename().string();
        for (int i = 0; i < count; ++i) {
            out << "  " << i;
            const std::string label = source.label(i);
            if (!label.empty()) out << " " << label;
            if (source.isCursor(i)) out << " cursor";
            out << ":";
            const auto entries = source.images(i);
            for (std::size_t k = 0; k < entries.size(); ++k) out << (k ? ", " : " ") << describe(entries[k]);
            if (!source.icon(i)) out << (entries.empty() ? " " : "; ") << "no usable image";
            out << "\n";
            if (o.imagesDir) {
                try {
                    exporting::writeEachImage(source, path, i, *o.imagesDir, names, images);
                } catch (const Error& e) {
                    err << "vextral-cli icons: " << e.what() << "\n";
                    status = 1;
                }
            }
            if (!extractDir) continue;
            const auto bytes = source.originalIco(i);
            if (bytes.empty()) {
                err << "vextral-cli icons: icon " << i << " of " << path << " has no readable image; not written\n";
                continue;
            }
            const char* extension = source.isCursor(i) ? ".cur" : ".ico";
            const OutputNames::Choice target = names.claim(
                (std::filesystem::path(*extractDir) / (name + "_" + std::to_string(i) + extension)).string());
            try {
                writeFileAtomically(target.path, bytes);
            } catch (const Error& e) {
                err << "vextral-cli icons: " << e.what() << "\n";
                status = 1;
                continue;
            }
            ++written;
            if (target.clash == OutputNames::Clash::Output) ++renamed;
            if (target.clash == OutputNames::Clash::Input) ++renamedForInputs;
        }
    }
    if (o.imagesDir) {
        out << "Wrote " << counted(images.written, "image") << " to " << *o.imagesDir
            << renamedText(images.renamed, "because an earlier image had the same name")
            << renamedText(images.renamedForInputs, "so as not to overwrite an input file");
        if (images.unreadable > 0) out << "; " << counted(images.unreadable, "image") << " could not be read";
        out << "\n";
        if (images.unreadable > 0) status = 1;
    }
    // Said only when names were changed: the listing above is the rest of the story.
    if (renamed + renamedForInputs > 0) {
        out << "Wrote " << counted(written, "file") << " to " << *extractDir
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
