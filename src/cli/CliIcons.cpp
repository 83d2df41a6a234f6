#include "cli/CliIcons.h"

#include "cli/Arguments.h"
#include "cli/CliSupport.h"
#include "cli/FrontDoor.h"
#include "core/Error.h"
#include "core/OutputNames.h"
#include "core/ReplacingFile.h"
#include "platform/IconExtractor.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>

namespace vextral::cli {

const char* const kIconsUsage = "Usage: vextral-cli icons [--extract DIR] FILE...\n"
                                "\n"
                                "Lists the icons that each FILE carries: programs and libraries (PE and NE,\n"
                                "including .icl and .nil icon libraries), icon and cursor files, animated\n"
                                "cursors and bitmaps. The type is recognised by content, not by name.\n"
                                "For each icon it prints its index, its resource name and its images as\n"
                                "width x height x bits (\"png\" marks PNG-compressed images).\n"
                                "\n"
                                "  --extract DIR   also write each icon, as stored, to DIR/<file name>_<index>.ico\n"
                                "                  (also --extract=DIR; DIR is created if missing); a name an\n"
                                "                  earlier icon took, or one that is a FILE's, becomes\n"
                                "                  \"<file name>_<index> (2).ico\", \" (3)\", ... and the\n"
                                "                  count of those is told at the end\n"
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

    bool option(Arguments& a) override
    {
        if (a.name() != "--extract") return false;
        extractDir = a.folderValue();
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

    // No icon is written over a file named, not even one listed after it.
    OutputNames names;
    if (extractDir) {
        for (const std::string& path : o.operands) names.addInput(path);
    }
    int status = 0, written = 0, renamed = 0, renamedForInputs = 0;
    for (const std::string& path : o.operands) {
        const platform::IconSource source = platform::IconSource::open(path);
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
        const std::string name = std::filesystem::path(path).filename().string();
        for (int i = 0; i < count; ++i) {
            out << "  " << i;
            const std::string label = source.label(i);
            if (!label.empty()) out << " " << label;
            out << ":";
            const auto images = source.images(i);
            for (std::size_t k = 0; k < images.size(); ++k) out << (k ? ", " : " ") << describe(images[k]);
            if (!source.icon(i)) out << (images.empty() ? " " : "; ") << "no usable image";
            out << "\n";
            if (!extractDir) continue;
            const auto bytes = source.originalIco(i);
            if (bytes.empty()) {
                err << "vextral-cli icons: icon " << i << " of " << path << " has no readable image; not written\n";
                continue;
            }
            const OutputNames::Choice target =
                names.claim((std::filesystem::path(*extractDir) / (name + "_" + std::to_string(i) + ".ico")).string());
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
