#include "cli/CliHarvest.h"

#include "cli/CliSupport.h"
#include "codecs/OutputFormats.h"
#include "core/Error.h"
#include "core/FileTypes.h"
#include "core/Text.h"
#include "export/SaveAll.h"
#include "harvest/HarvestRun.h"
#include "platform/ProgramFolder.h"
#include "settings/ProfileFile.h"
#include "settings/Settings.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <ostream>
#include <sys/stat.h>

namespace vextral::cli {

const char* const kHarvestUsage =
    "Usage: vextral-cli harvest [options] PATH...\n"
    "\n"
    "Harvests the icons of every PATH: files are read as they are, folders are\n"
    "searched for the chosen file types (recursively by default). Settings come\n"
    "from Option.ini as in the desktop program; the options below override them.\n"
    "\n"
    "  --settings FILE        read this settings file instead of Option.ini\n"
    "  --types LIST           file types to search for, comma-separated from\n"
    "                         exe,dll,cpl,scr,icl,ocx,ico,nil,bmp (or \"all\")\n"
    "  --no-subfolders        search only the named folders themselves\n"
    "  --recycle              also harvest files in recycle bins\n"
    "  --icon-limit N         stop when N icons are harvested\n"
    "  --file-limit N         extract from the first N - 1 found files only\n"
    "  --save-all DIR         save every icon into DIR (created if missing)\n"
    "  --type TYPE            standard-icon (default), bmp, jpg, gif, ico, cur,\n"
    "                         pcx, wmf, png or tga\n"
    "  --size WxH             picture size for every type but standard-icon (32x32)\n"
    "  --naming filename|number[:PREFIX]\n"
    "                         <file>_<index>.<ext> (default) or <PREFIX><n>.<ext>\n"
    "  --help                 show this help\n"
    "\n"
    "Exit status: 0 on success, 1 when something failed, 2 for a usage error.\n";

namespace {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Paths : SourceList {
    std::vector<std::string> paths;
    int count() const override { return static_cast<int>(paths.size()); }
    std::string at(int i) const override { return paths.at(static_cast<std::size_t>(i)); }
};

// A progress line on a terminal; nothing otherwise.
class ProgressLine final : public HarvestView {
public:
    ProgressLine(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    void setStatus(const std::string& t) override { status_ = t, draw(); }
    void setFound(const std::string& t) override { found_ = t; }
    void setScanned(const std::string& t) override { scanned_ = t; }
    void setExtracted(const std::string& t) override { extracted_ = t, draw(); }
    void setGaugeCurrent(int) override {}
    void setGaugeTotal(int p) override { total_ = p; }
    void finish()
    {
        if (enabled_ && drawn_) err_ << "\r\033[K" << std::flush;
    }

private:
    void draw()
    {
        if (!enabled_) return;
        err_ << "\r\033[K" << status_ << "  " << extracted_ << "  " << total_ << "%" << std::flush;
        drawn_ = true;
    }
    std::ostream& err_;
    bool enabled_;
    bool drawn_ = false;
    std::string status_, found_, scanned_, extracted_;
    int total_ = 0;
};

bool isSaveAllFormat(codecs::OutputFormat format)
{
    for (const codecs::SaveAllTypeRow& row : codecs::saveAllTypes()) {
        if (row.format == format) return true;
    }
    return false;
}

int number(const std::string& option, const std::string& text)
{
    const auto v = parseInteger(text);
    if (!v || *v < 0) throw UsageError(option + " needs a whole number, not '" + text + "'");
    return *v;
}

void applyTypes(settings::Settings& s, const std::string& list)
{
    s.fileTypes = list == "all" ? FileTypeSet() : FileTypeSet::none();
    if (list == "all") return;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        const std::string item = list.substr(start, comma - start);
        bool known = false;
        for (const FileTypeInfo& t : kFileTypes) {
            if (sameName(item, t.extension)) {
                s.fileTypes.set(t.type, true);
                known = true;
            }
        }
        if (!known) throw UsageError("unknown file type '" + item + "' in --types");
        start = comma + 1;
    }
}

} // namespace

int runHarvest(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal)
{
    settings::Settings settings;
    std::string settingsFile;
    std::vector<std::string> paths;
    std::string saveDir;
    exporting::SaveAllJob job;
    std::string width = "32", height = "32";
    std::optional<std::string> types;
    bool noSubfolders = false, recycle = false;
    std::optional<int> iconLimit, fileLimit;
    try {
        bool options = true;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&]() -> std::string {
                if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
                return args[++i];
            };
            if (!options || a.empty() || a[0] != '-') {
                paths.push_back(a);
            } else if (a == "--") {
                options = false;
            } else if (a == "--help" || a == "-h") {
                out << kHarvestUsage;
                return 0;
            } else if (a == "--settings") {
                settingsFile = value();
            } else if (a == "--types") {
                types = value();
            } else if (a == "--no-subfolders") {
                noSubfolders = true;
            } else if (a == "--recycle") {
                recycle = true;
            } else if (a == "--icon-limit") {
                iconLimit = number(a, value());
            } else if (a == "--file-limit") {
                fileLimit = number(a, value());
            } else if (a == "--save-all") {
                saveDir = value();
            } else if (a == "--type") {
                const std::string t = value();
                const auto format = codecs::outputFormatNamed(t);
                if (!format || !isSaveAllFormat(*format)) throw UsageError("unknown --type '" + t + "'");
                job.format = *format;
            } else if (a == "--size") {
                const std::string s = value();
                const std::size_t x = s.find_first_of("xX");
                if (x == std::string::npos) throw UsageError("--size needs WIDTHxHEIGHT, not '" + s + "'");
                width = s.substr(0, x);
                height = s.substr(x + 1);
                number("--size", width);
                number("--size", height);
            } else if (a == "--naming") {
                const std::string n = value();
                if (n == "filename") {
                    job.naming.byFilename = true;
                } else if (n == "number" || n.rfind("number:", 0) == 0) {
                    job.naming.byFilename = false;
                    job.naming.prefix = n.size() > 7 ? n.substr(7) : "";
                } else {
                    throw UsageError("--naming is filename or number[:PREFIX], not '" + n + "'");
                }
            } else {
                throw UsageError("unknown option " + a);
            }
        }
        if (paths.empty()) throw UsageError("name at least one file or folder");
    } catch (const UsageError& e) {
        err << "vextral-cli harvest: " << e.what() << "\n" << kHarvestUsage;
        return 2;
    }

    int status = 0;
    try {
        const std::string ini = settingsFile.empty()
                                    ? platform::programFolder() + "/" + settings::kSettingsFileName
                                    : settingsFile;
        if (const auto problem = settings.load(settings::ProfileFile(ini))) {
            err << "vextral-cli harvest: " << *problem << " (in " << ini << "); using white\n";
        }
        if (types) applyTypes(settings, *types);
        if (noSubfolders) settings.subFolder = false;
        if (recycle) settings.recycle = true;
        if (iconLimit) {
            settings.icon = false;
            settings.iconNumber = *iconLimit;
        }
        if (fileLimit) {
            settings.file = false;
            settings.fileNumber = *fileLimit;
        }
    } catch (const UsageError& e) {
        err << "vextral-cli harvest: " << e.what() << "\n";
        return 2;
    }

    Paths files, folders;
    for (const std::string& p : paths) {
        struct stat st {};
        const bool exists = ::stat(p.c_str(), &st) == 0;
        if (!exists) {
            err << "vextral-cli harvest: " << p << ": No such file or folder\n";
            status = 1;
            continue;
        }
        const std::string full = std::filesystem::absolute(p).lexically_normal().string();
        (S_ISDIR(st.st_mode) ? folders : files).paths.push_back(full);
    }

    IconCatalogue catalogue;
    ProgressLine view(err, progressToTerminal);
    HarvestRun run(catalogue, view, files, folders, nullptr);
    run.setSettings(settings);
    run.start(true, true);
    view.finish();
    out << "Harvested " << catalogue.itemCount() << " icons from " << files.count() << " files and "
        << run.foundFiles().size() << " files found in " << folders.count() << " folders\n";

    if (!saveDir.empty()) {
        if (!prepareOutputFolder(saveDir, err, "vextral-cli harvest")) return 1;
        job.widthText = [&width] { return width; };
        job.heightText = [&height] { return height; };
        job.jpegQuality = settings.jpegQuality;
        int written = 0;
        try {
            written = exporting::saveAll(catalogue, saveDir, job);
        } catch (const Error& e) {
            err << "vextral-cli harvest: " << e.what() << "\n";
            status = 1;
        }
        out << "Wrote " << written << " files to " << saveDir << "\n";
    }
    return status;
}

} // namespace vextral::cli
