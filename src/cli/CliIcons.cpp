#include "cli/CliIcons.h"

#include "cli/CliSupport.h"
#include "platform/IconExtractor.h"

#include <filesystem>
#include <fstream>
#include <ostream>

namespace vextral::cli {

const char* const kIconsUsage =
    "Usage: vextral-cli icons [--extract DIR] FILE...\n"
    "\n"
    "Lists the icons that each FILE carries: programs and libraries (PE and NE,\n"
    "including .icl and .nil icon libraries), icon and cursor files, animated\n"
    "cursors and bitmaps. The type is recognised by content, not by name.\n"
    "For each icon it prints its index, its resource name and its images as\n"
    "width x height x bits (\"png\" marks PNG-compressed images).\n"
    "\n"
    "  --extract DIR   also write each icon, as stored, to DIR/<file name>_<index>.ico\n"
    "  --help          show this help\n"
    "\n"
    "Exit status: 0 when every file could be read, 1 otherwise.\n";

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

bool writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return static_cast<bool>(file);
}

} // namespace

int runIcons(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string extractDir;
    std::vector<std::string> files;
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && (a == "--help" || a == "-h")) {
            out << kIconsUsage;
            return 0;
        }
        if (options && a == "--extract") {
            if (i + 1 >= args.size()) {
                err << "vextral-cli icons: --extract needs a folder\n" << kIconsUsage;
                return 2;
            }
            extractDir = args[++i];
        } else if (options && a.rfind("--extract=", 0) == 0) {
            extractDir = a.substr(10);
        } else if (options && a == "--") {
            options = false;
        } else if (options && a.size() > 1 && a[0] == '-') {
            err << "vextral-cli icons: unknown option " << a << "\n" << kIconsUsage;
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        err << "vextral-cli icons: name at least one file\n" << kIconsUsage;
        return 2;
    }
    if (!extractDir.empty() && !prepareOutputFolder(extractDir, err, "vextral-cli icons")) return 1;

    int status = 0;
    for (const std::string& path : files) {
        const platform::IconSource source = platform::IconSource::open(path);
        if (!source.readable()) {
            err << "vextral-cli icons: cannot open " << path << ": " << source.error() << "\n";
            status = 1;
            continue;
        }
        const int count = source.count();
        out << path << ": " << count << (count == 1 ? " icon" : " icons");
        if (source.kind() != platform::IconFileKind::None) out << " (" << platform::iconFileKindName(source.kind()) << ")";
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
            if (extractDir.empty()) continue;
            const auto bytes = source.originalIco(i);
            const std::filesystem::path target = std::filesystem::path(extractDir) / (name + "_" + std::to_string(i) + ".ico");
            if (bytes.empty()) {
                err << "vextral-cli icons: icon " << i << " of " << path << " has no readable image; not written\n";
            } else if (!writeFile(target, bytes)) {
                err << "vextral-cli icons: Cannot create file " << target.string() << "\n";
                status = 1;
            }
        }
    }
    return status;
}

} // namespace vextral::cli
