#include "cli/PathHarvest.h"

#include "cli/CliSupport.h"
#include "platform/ProgramFolder.h"
#include "settings/ProfileFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vextral::cli {

namespace {

struct Paths : SourceList {
    std::vector<std::string> paths;
    int count() const override { return static_cast<int>(paths.size()); }
    std::string at(int i) const override { return paths.at(static_cast<std::size_t>(i)); }
};

// Why a settings file cannot be read, if it cannot; never blocks on a FIFO.
std::optional<std::string> settingsFileProblem(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::string(std::strerror(errno));
    struct stat st {};
    std::optional<std::string> problem;
    if (::fstat(fd, &st) != 0) {
        problem = std::strerror(errno);
    } else if (S_ISDIR(st.st_mode)) {
        problem = std::strerror(EISDIR);
    }
    ::close(fd);
    return problem;
}

// path made absolute against the current folder, which may be gone.
std::optional<std::string> fullPath(const std::string& path, std::error_code& ec)
{
    std::filesystem::path full(path);
    if (full.is_relative()) {
        const std::filesystem::path here = std::filesystem::current_path(ec);
        if (ec) return std::nullopt;
        full = here / full;
    }
    return full.lexically_normal().string();
}

std::string problemMessage(const HarvestProblem& p)
{
    return p.kind == HarvestProblem::Kind::File ? "cannot open " + p.path + ": " + p.reason : p.path + ": " + p.reason;
}

std::string limitTextOf(const HarvestRun& run)
{
    const settings::Settings& s = run.settings();
    switch (run.limitReached()) {
    case HarvestRun::Limit::Icons: return ", stopped at the icon limit (" + counted(s.iconNumber, "icon") + ")";
    case HarvestRun::Limit::Files:
        return ", stopped at the file limit (" + counted(std::max(s.fileNumber, 1) - 1, "file") + ")";
    case HarvestRun::Limit::None: break;
    }
    return "";
}

} // namespace

std::optional<settings::Settings> loadCommandSettings(const std::optional<std::string>& file, std::ostream& err,
                                                      const std::string& command)
{
    if (file) {
        if (const auto problem = settingsFileProblem(*file)) {
            err << command << ": --settings " << *file << ": " << *problem << "\n";
            return std::nullopt;
        }
    }
    const std::string ini = file ? *file : platform::programFolder() + "/" + settings::kSettingsFileName;
    settings::Settings settings;
    if (const auto problem = settings.load(settings::ProfileFile(ini))) {
        err << command << ": " << *problem << " (in " << ini << "); using white\n";
    }
    return settings;
}

void PathHarvest::run(const std::vector<std::string>& paths, const settings::Settings& settings)
{
    Paths fileList, folderList;
    for (const std::string& p : paths) {
        struct stat st {};
        if (::stat(p.c_str(), &st) != 0) {
            err_ << command_ << ": " << p << ": " << std::strerror(errno) << "\n";
            ++unreadable;
            continue;
        }
        std::error_code ec;
        const auto full = fullPath(p, ec);
        if (!full) {
            err_ << command_ << ": " << p << ": cannot tell the current folder: " << ec.message() << "\n";
            ++unreadable;
            continue;
        }
        (S_ISDIR(st.st_mode) ? folderList : fileList).paths.push_back(*full);
    }
    HarvestRun run(catalogue, view_, fileList, folderList, nullptr);
    run.setSettings(settings);
    run.onProblem = [&](const HarvestProblem& p) {
        view_.clear();
        err_ << command_ << ": " << problemMessage(p) << "\n";
        ++unreadable;
    };
    run.start(true, true);
    view_.clear();
    files = fileList.count();
    folders = folderList.count();
    found = run.foundFiles().size();
    limitText = limitTextOf(run);
    hidden = run.hiddenCount();
    if (settings.unique) hiddenText = ", " + counted(hidden, "duplicate") + " hidden";
}

} // namespace vextral::cli
