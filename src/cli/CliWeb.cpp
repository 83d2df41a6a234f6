#include "cli/CliWeb.h"

#include "cli/Arguments.h"
#include "cli/CliSupport.h"
#include "cli/PathHarvest.h"
#include "cli/ProgressLine.h"
#include "codecs/OutputFormats.h"
#include "codecs/Picture.h"
#include "core/Error.h"
#include "core/Text.h"
#include "export/WebPage.h"
#include "harvest/HarvestRun.h"
#include "platform/ProgramFolder.h"
#include "settings/ProfileFile.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace vextral::cli {

const char* const kWebUsage = "Usage: vextral-cli web [options] --out DIR PATH...\n"
                              "\n"
                              "Harvests the icons of every PATH as \"vextral-cli harvest\" does (folders are\n"
                              "searched for the file types of the settings, recursively) and writes a web\n"
                              "gallery into DIR: the pictures 1.gif, 2.gif, ... and the page index.htm that\n"
                              "shows them in a table. Files of the same names are replaced.\n"
                              "\n"
                              "  --out DIR          the gallery's folder (created if missing)\n"
                              "  --title TEXT       the page's title (empty when not given)\n"
                              "  --border N         the table's border width (1)\n"
                              "  --columns N        pictures in a row (5; at least 1)\n"
                              "  --type gif|bmp|jpg the pictures' type (gif)\n"
                              "  --size WxH         the pictures' size (32x32; at most 16384 a side)\n"
                              "  --classic          stretch each icon's 32 x 32 picture to the size instead\n"
                              "                     of drawing it from the icon's own image that fits best\n"
                              "  --unique           hide duplicates: keep the first of icons that are\n"
                              "                     identical byte for byte; positions count the icons kept\n"
                              "  --from N --to N    only the icons at positions N to N (from 1); positions\n"
                              "                     past the last icon give pictures of plain background\n"
                              "  --settings FILE    read this settings file instead of Option.ini (the\n"
                              "                     background colour, the JPEG quality, the file types)\n"
                              "  --version          show the version\n"
                              "  --help             show this help\n"
                              "\n"
                              "Exit status: 0 on success, 1 when something could not be read or written\n"
                              "or the range holds no icon, 2 for a usage error.\n";

namespace {

constexpr const char* kCommand = "vextral-cli web";

struct Options {
    bool help = false, version = false;
    std::optional<std::string> settingsFile, outDir, from, to;
    std::vector<std::string> paths;
    exporting::WebPageJob job;
    std::string columns = "5";
    bool classic = false;
    bool unique = false;
};

std::string wholeNumber(const std::string& option, const std::string& text, int least)
{
    const auto v = parseInteger(text);
    if (!v || *v < least) {
        throw UsageError(option + " needs a whole number" + (least > 0 ? " of at least 1" : "") + ", not '" + text +
                         "'");
    }
    return text;
}

void parseSize(Options& o, const std::string& s)
{
    const std::size_t x = s.find_first_of("xX");
    if (x == std::string::npos) throw UsageError("--size needs WIDTHxHEIGHT, not '" + s + "'");
    const std::string width = wholeNumber("--size", s.substr(0, x), 1);
    const std::string height = wholeNumber("--size", s.substr(x + 1), 1);
    o.job.widthText = exporting::constantText(width);
    o.job.heightText = exporting::constantText(height);
    try {
        codecs::checkPictureSize(*parseInteger(width), *parseInteger(height));
    } catch (const Error& e) {
        throw UsageError(e.what());
    }
}

int typeIndex(const std::string& name)
{
    const auto formats = codecs::webPageFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (sameName(name, codecs::outputFormat(formats[i]).extension)) return static_cast<int>(i);
    }
    throw UsageError("--type is gif, bmp or jpg, not '" + name + "'");
}

Options parse(const std::vector<std::string>& args)
{
    Options o;
    Arguments a(args);
    while (a.next()) {
        const std::string& name = a.name();
        if (!a.isOption()) {
            o.paths.push_back(name);
        } else if (const CommonOption common = a.commonOption(); common != CommonOption::None) {
            (common == CommonOption::Help ? o.help : o.version) = true;
            return o;
        } else if (name == "--settings") {
            o.settingsFile = a.value();
        } else if (name == "--out") {
            o.outDir = a.value();
            if (o.outDir->empty()) throw UsageError("--out needs a folder name");
        } else if (name == "--title") {
            o.job.title = a.value();
        } else if (name == "--border") {
            o.job.borderText = wholeNumber(name, a.value(), 0);
        } else if (name == "--columns") {
            o.columns = wholeNumber(name, a.value(), 1);
        } else if (name == "--type") {
            o.job.typeIndex = typeIndex(a.value());
        } else if (name == "--size") {
            parseSize(o, a.value());
        } else if (name == "--classic") {
            a.noValue();
            o.classic = true;
        } else if (name == "--unique") {
            a.noValue();
            o.unique = true;
        } else if (name == "--from") {
            o.from = wholeNumber(name, a.value(), 1);
        } else if (name == "--to") {
            o.to = wholeNumber(name, a.value(), 1);
        } else {
            throw UsageError("unknown option " + name);
        }
    }
    if (o.help || o.version) return o;
    if (o.paths.empty()) throw UsageError("name at least one file or folder");
    if (!o.outDir) throw UsageError("--out DIR is needed");
    if (o.from.has_value() != o.to.has_value()) throw UsageError("--from and --to go together");
    return o;
}

} // namespace

int runWeb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal)
{
    Options o;
    try {
        o = parse(args);
    } catch (const UsageError& e) {
        printUsageError(err, "web", e.what());
        return 2;
    }
    if (o.help) {
        out << kWebUsage;
        return 0;
    }
    if (o.version) {
        out << kVersionLine;
        return 0;
    }

    auto settings = loadCommandSettings(o.settingsFile, err, kCommand);
    if (!settings) return 2;
    if (o.unique) settings->unique = true;
    if (!prepareOutputFolder(*o.outDir, err, kCommand)) return 1;

    ProgressLine view(err, progressToTerminal, progressToTerminal ? terminalColumns() : 80);
    PathHarvest harvest(view, err, kCommand);
    harvest.run(o.paths, *settings);
    const IconCatalogue& catalogue = harvest.catalogue;
    const int unreadable = harvest.unreadable;
    out << "Harvested " << counted(catalogue.itemCount(), "icon") << harvest.hiddenText << "\n";

    exporting::WebPageJob& job = o.job;
    job.folder = *o.outDir;
    job.columnsText = [&o] { return o.columns; };
    job.allIcons = !o.from;
    if (o.from) {
        job.fromText = *o.from;
        job.toText = *o.to;
    }
    job.background = settings->background;
    job.jpegQuality = settings->jpegQuality;
    job.bestImage = !o.classic;
    int total = catalogue.imageCount();
    try {
        total = static_cast<int>(std::min<long long>(exporting::webPageRange(catalogue, job).count, INT_MAX));
    } catch (const Error&) {
        // the run itself reports it
    }
    job.progress = [&](int) { view.saving(job.written, total); };
    int status = unreadable > 0 ? 1 : 0;
    try {
        exporting::writeWebPage(catalogue, job);
        view.clear();
        out << "Wrote " << counted(job.written, "picture") << " and " << exporting::webPagePath(job.folder) << "\n";
    } catch (const std::exception& e) {
        view.clear();
        if (job.written > 0) out << "Wrote " << counted(job.written, "picture") << "; no page\n";
        err << kCommand << ": " << e.what() << "\n";
        status = 1;
    }
    return status;
}

} // namespace vextral::cli
