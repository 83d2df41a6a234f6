#include "cli/CliHarvest.h"

#include "cli/Arguments.h"
#include "cli/CliSupport.h"
#include "cli/FrontDoor.h"
#include "cli/PathHarvest.h"
#include "cli/ProgressLine.h"
#include "cli/ShownText.h"
#include "cli/StandardInput.h"
#include "codecs/OutputFormats.h"
#include "core/Error.h"
#include "core/FileTypes.h"
#include "core/Text.h"
#include "export/SaveAll.h"
#include "harvest/HarvestRun.h"
#include "settings/Settings.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <ostream>

namespace vextral::cli {

const char* const kHarvestUsage = "Usage: vextral-cli harvest [options] PATH...\n"
                                  "\n"
                                  "Harvests the icons of every PATH: files are read as they are, folders are\n"
                                  "searched for the chosen file types (recursively by default; a PATH that is\n"
                                  "a link to a folder is searched, links below it are not followed). Settings\n"
                                  "come from Option.ini as in the desktop program; the options below override\n"
                                  "them. Options that take a value may also be written --option=VALUE.\n"
                                  "A PATH of \"-\" harvests standard input as one file (once; up to 1 GiB;\n"
                                  "\"./-\" is the file \"-\"), named \"stdin\" in what is saved.\n"
                                  "\n"
                                  "  --settings FILE        read this settings file instead of Option.ini\n"
                                  "  --types LIST           file types to search for, comma-separated from\n"
                                  "                         exe,dll,cpl,scr,icl,ocx,ico,nil,bmp,res,icns,cur,ani\n"
                                  "                         (letter case ignored); \"all\" stands for the\n"
                                  "                         types of the desktop program, exe to icns\n"
                                  "  --no-subfolders        search only the named folders themselves\n"
                                  "  --recycle              also harvest files in recycle bins\n"
                                  "  --unique               hide duplicates: keep the first of icons that are\n"
                                  "                         identical byte for byte (also Icon/Unique=1)\n"
                                  "  --cursors              also harvest the cursors of programs, libraries and\n"
                                  "                         resource files (also Icon/Cursors=1)\n"
                                  "  --icon-limit N         stop extracting from the files found in folders once\n"
                                  "                         N icons are harvested; the icons of files named on\n"
                                  "                         the command line count too, but those files are\n"
                                  "                         always harvested whole\n"
                                  "  --file-limit N         extract from the first N files found in folders only\n"
                                  "                         (files named on the command line do not count)\n"
                                  "  --save-all DIR         save every icon into DIR (created if missing, checked\n"
                                  "                         before the harvest starts); a name an earlier icon\n"
                                  "                         took, or one that is a harvested file's, becomes\n"
                                  "                         \"name (2).ext\", \"name (3).ext\", ...\n"
                                  "  --type TYPE            standard-icon (default), bmp, jpg, gif, ico, cur,\n"
                                  "                         pcx, wmf, png, tga or each-image (every image of\n"
                                  "                         each icon at its own size, as PNG with alpha:\n"
                                  "                         <file>_<index>_<W>x<H>x<bits>.png; letter case\n"
                                  "                         ignored)\n"
                                  "  --transparent          png, tga, ico and cur pictures keep each icon's\n"
                                  "                         transparency instead of being drawn over white\n"
                                  "                         (also Icon/Transparent=1)\n"
                                  "  --size WxH             picture size for every type but standard-icon\n"
                                  "                         (32x32; at most 16384 a side)\n"
                                  "  --classic              stretch each icon's 32 x 32 picture to the size\n"
                                  "                         instead of drawing it from the icon's own image\n"
                                  "                         that fits the size best\n"
                                  "  --naming filename|number[:PREFIX]\n"
                                  "                         <file>_<index>.<ext> (default) or <PREFIX><n>.<ext>\n"
                                  "                         (PREFIX \"Icon\" when not given; it may not hold \"/\")\n"
                                  "  --version              show the version\n"
                                  "  --help                 show this help\n"
                                  "\n"
                                  "Folders and files that cannot be read are reported with the system's reason\n"
                                  "and counted in the summary.\n"
                                  "\n"
                                  "Exit status: 0 on success, 1 when something could not be read or saved,\n"
                                  "2 for a usage error (including a --settings FILE that cannot be read).\n";

namespace {

constexpr const char* kCommand = "vextral-cli harvest";

// The file types of --types: those of the settings ("all" of them), and
// the command line's own cur and ani, which the folder search takes as
// further patterns.
struct TypeChoice {
    FileTypeSet types = FileTypeSet::none();
    std::string morePatterns;
};

struct ExtraType {
    const char* name;
    const char* pattern;
};
constexpr ExtraType kExtraTypes[] = {{"cur", "*.cur"}, {"ani", "*.ani"}};

bool isSaveAllFormat(codecs::OutputFormat format)
{
    for (const codecs::SaveAllTypeRow& row : codecs::saveAllTypes()) {
        if (row.format == format) return true;
    }
    return false;
}

void addPattern(std::string& patterns, const char* pattern)
{
    if (patterns.find(pattern) != std::string::npos) return;
    if (!patterns.empty()) patterns += ",";
    patterns += pattern;
}

TypeChoice parseTypes(const std::string& list)
{
    TypeChoice choice;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        const std::string item = list.substr(start, comma - start);
        const bool all = sameName(item, "all");
        bool known = all;
        for (const FileTypeInfo& t : kFileTypes) {
            if (all || sameName(item, t.extension)) {
                choice.types.set(t.type, true);
                known = true;
            }
        }
        for (const ExtraType& t : kExtraTypes) {
            if (sameName(item, t.name)) {
                addPattern(choice.morePatterns, t.pattern);
                known = true;
            }
        }
        if (!known) throw UsageError("unknown file type '" + item + "' in --types");
        start = comma + 1;
    }
    return choice;
}

void parseNaming(exporting::SaveAllNaming& naming, const std::string& n)
{
    const std::string keyword = n.substr(0, n.find(':'));
    if (sameName(n, "filename")) {
        naming.byFilename = true;
    } else if (sameName(keyword, "number")) {
        naming.byFilename = false;
        naming.prefix = keyword.size() < n.size() ? n.substr(keyword.size() + 1) : "";
        try {
            exporting::checkSaveAllPrefix(naming.prefix);
        } catch (const Error& e) {
            throw UsageError(e.what());
        }
    } else {
        throw UsageError("--naming is filename or number[:PREFIX], not '" + n + "'");
    }
}

struct Options final : CommandOptions {
    std::optional<std::string> saveDir;
    exporting::SaveAllJob job;
    PictureSize size;
    bool classic = false;
    std::optional<TypeChoice> types;
    bool noSubfolders = false, recycle = false, unique = false, cursors = false, transparent = false;
    std::optional<int> iconLimit, fileLimit;

    bool option(Arguments& a) override
    {
        const std::string& name = a.name();
        if (name == "--types") {
            types = parseTypes(a.value());
        } else if (name == "--no-subfolders") {
            a.noValue();
            noSubfolders = true;
        } else if (name == "--recycle") {
            a.noValue();
            recycle = true;
        } else if (name == "--unique") {
            a.noValue();
            unique = true;
        } else if (name == "--cursors") {
            a.noValue();
            cursors = true;
        } else if (name == "--transparent") {
            a.noValue();
            transparent = true;
        } else if (name == "--icon-limit") {
            iconLimit = a.intValue(0, INT_MAX);
        } else if (name == "--file-limit") {
            fileLimit = a.intValue(0, INT_MAX);
        } else if (name == "--save-all") {
            saveDir = a.folderValue();
        } else if (name == "--type") {
            const std::string t = a.value();
            const auto format = codecs::outputFormatNamed(t);
            if (!format || !isSaveAllFormat(*format)) throw UsageError("unknown --type '" + t + "'");
            job.format = *format;
        } else if (name == "--size") {
            size = a.sizeValue();
        } else if (name == "--classic") {
            a.noValue();
            classic = true;
        } else if (name == "--naming") {
            parseNaming(job.naming, a.value());
        } else {
            return false;
        }
        return true;
    }
    void check() override
    {
        if (operands.empty()) throw UsageError("name at least one file or folder");
        checkStandardInputOnce(operands);
    }
};

void applyOptions(settings::Settings& s, const Options& o)
{
    if (o.types) {
        s.fileTypes = o.types->types;
        s.morePatterns = o.types->morePatterns;
    }
    if (o.noSubfolders) s.subFolder = false;
    if (o.recycle) s.recycle = true;
    if (o.unique) s.unique = true;
    if (o.cursors) s.cursors = true;
    if (o.transparent) s.transparent = true;
    if (o.iconLimit) {
        s.icon = false;
        s.iconNumber = *o.iconLimit;
    }
    if (o.fileLimit) {
        // The settings' File Number N extracts the first N - 1 found files.
        s.file = false;
        s.fileNumber = std::min(*o.fileLimit, INT_MAX - 1) + 1;
    }
}

// Saves every icon; prints what was written (also after a failure partway),
// then the failure. Returns false when it failed.
bool saveIcons(const IconCatalogue& catalogue, const std::string& dir, Options& o, const settings::Settings& settings,
               ProgressLine& view, std::ostream& out, std::ostream& err)
{
    exporting::SaveAllJob& job = o.job;
    const int jpegQuality = settings.jpegQuality;
    job.transparent = settings.transparent;
    job.widthText = [width = std::to_string(o.size.width)] { return width; };
    job.heightText = [height = std::to_string(o.size.height)] { return height; };
    job.jpegQuality = jpegQuality;
    job.bestImage = !o.classic;
    job.progress = [&](int) { view.saving(job.iconsSaved, job.total); };
    std::optional<std::string> failure;
    try {
        exporting::saveAll(catalogue, dir, job);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    view.clear();
    out << "Wrote " << counted(job.written, "file") << " to " << dir
        << renamedText(job.renamed, "because an earlier icon had the same name")
        << renamedText(job.renamedForInputs, "so as not to overwrite a harvested file");
    if (job.unreadableImages > 0) out << "; " << counted(job.unreadableImages, "image") << " could not be read";
    out << "\n";
    if (failure) err << kCommand << ": " << shownText(*failure) << "\n";
    return !failure;
}

// Harvests the paths named and saves their icons when asked.
int harvestPaths(Options& o, settings::Settings& settings, const CommandIo& io)
{
    std::ostream& out = io.out;
    applyOptions(settings, o);

    // The output folder is made ready before the harvest, which may take long.
    if (o.saveDir && !prepareOutputFolder(*o.saveDir, io.err, kCommand)) return 1;

    PathHarvest harvest(io, kCommand);
    harvest.run(o.operands, settings);
    const IconCatalogue& catalogue = harvest.catalogue;
    const int unreadable = harvest.unreadable;
    out << "Harvested " << counted(catalogue.itemCount(), "icon") << " from " << counted(harvest.files, "file")
        << " and " << counted(static_cast<long long>(harvest.found), "file") << " found in "
        << counted(harvest.folders, "folder") << harvest.limitText << harvest.hiddenText << "\n";
    if (unreadable > 0) {
        out << unreadable << (unreadable == 1 ? " file or folder" : " files or folders") << " could not be read\n";
    }

    int status = unreadable > 0 ? 1 : 0;
    if (o.saveDir && !saveIcons(catalogue, *o.saveDir, o, settings, harvest.view, out, io.err)) status = 1;
    return status;
}

} // namespace

int runHarvest(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal)
{
    Options o;
    const CommandIo io {out, err, progressToTerminal};
    return runCommand("harvest", kHarvestUsage, args, o, io,
                      [&](settings::Settings& settings) { return harvestPaths(o, settings, io); });
}

} // namespace vextral::cli
