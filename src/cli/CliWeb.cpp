#include "cli/CliWeb.h"

#include "cli/Arguments.h"
#include "cli/CliSupport.h"
#include "cli/FrontDoor.h"
#include "cli/PathHarvest.h"
#include "cli/ProgressLine.h"
#include "cli/ShownText.h"
#include "cli/StandardInput.h"
#include "codecs/OutputFormats.h"
#include "core/Error.h"
#include "core/Text.h"
#include "export/WebPage.h"
#include "harvest/HarvestRun.h"
#include "settings/Settings.h"

#include <algorithm>
#include <climits>
#include <optional>

namespace vextral::cli {

const char* const kWebUsage = "Usage: vextral-cli web [options] --out DIR PATH...\n"
                              "\n"
                              "Harvests the icons of every PATH as \"vextral-cli harvest\" does (folders are\n"
                              "searched for the file types of the settings, recursively) and writes a web\n"
                              "gallery into DIR: the pictures 1.gif, 2.gif, ... and the page index.htm that\n"
                              "shows them in a table. Files of the same names are replaced.\n"
                              "A PATH of \"-\" harvests standard input as one file (once; up to 1 GiB).\n"
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

int typeIndex(const std::string& name)
{
    const auto formats = codecs::webPageFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (sameName(name, codecs::outputFormat(formats[i]).extension)) return static_cast<int>(i);
    }
    throw UsageError("--type is gif, bmp or jpg, not '" + name + "'");
}

struct Options final : CommandOptions {
    std::optional<std::string> outDir;
    std::optional<int> from, to;
    exporting::WebPageJob job;
    int columns = 5;
    bool classic = false;
    bool unique = false;

    bool option(Arguments& a) override
    {
        const std::string& name = a.name();
        if (name == "--out") {
            outDir = a.folderValue();
        } else if (name == "--title") {
            job.title = a.value();
        } else if (name == "--border") {
            job.borderText = std::to_string(a.intValue(0, INT_MAX));
        } else if (name == "--columns") {
            columns = a.intValue(1, INT_MAX);
        } else if (name == "--type") {
            job.typeIndex = typeIndex(a.value());
        } else if (name == "--size") {
            const PictureSize size = a.sizeValue();
            job.widthText = exporting::constantText(std::to_string(size.width));
            job.heightText = exporting::constantText(std::to_string(size.height));
        } else if (name == "--classic") {
            a.noValue();
            classic = true;
        } else if (name == "--unique") {
            a.noValue();
            unique = true;
        } else if (name == "--from") {
            from = a.intValue(1, INT_MAX);
        } else if (name == "--to") {
            to = a.intValue(1, INT_MAX);
        } else {
            return false;
        }
        return true;
    }
    void check() override
    {
        if (operands.empty()) throw UsageError("name at least one file or folder");
        checkStandardInputOnce(operands);
        if (!outDir) throw UsageError("--out DIR is needed");
        if (from.has_value() != to.has_value()) throw UsageError("--from and --to go together");
    }
};

// Harvests the paths named and writes their gallery.
int writeGallery(Options& o, settings::Settings& settings, const CommandIo& io)
{
    std::ostream& out = io.out;
    if (o.unique) settings.unique = true;
    if (!prepareOutputFolder(*o.outDir, io.err, kCommand)) return 1;

    PathHarvest harvest(io, kCommand);
    harvest.run(o.operands, settings);
    ProgressLine& view = harvest.view;
    const IconCatalogue& catalogue = harvest.catalogue;
    const int unreadable = harvest.unreadable;
    out << "Harvested " << counted(catalogue.itemCount(), "icon") << harvest.hiddenText << "\n";

    exporting::WebPageJob& job = o.job;
    job.folder = *o.outDir;
    job.columnsText = exporting::constantText(std::to_string(o.columns));
    job.allIcons = !o.from;
    if (o.from) {
        job.fromText = std::to_string(*o.from);
        job.toText = std::to_string(*o.to);
    }
    job.background = settings.background;
    job.jpegQuality = settings.jpegQuality;
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
        io.err << kCommand << ": " << shownText(e.what()) << "\n";
        status = 1;
    }
    return status;
}

} // namespace

int runWeb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal)
{
    Options o;
    const CommandIo io {out, err, progressToTerminal};
    return runCommand("web", kWebUsage, args, o, io,
                      [&](settings::Settings& settings) { return writeGallery(o, settings, io); });
}

} // namespace vextral::cli
