#include "cli/PathHarvest.h"

#include "cli/CliSupport.h"
#include "cli/ShownText.h"
#include "core/Error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace vextral::cli {

namespace {

struct Paths : SourceList {
    std::vector<std::string> paths;
    int count() const override { return static_cast<int>(paths.size()); }
    std::string at(int i) const override { return paths.at(static_cast<std::size_t>(i)); }
};

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

PathHarvest::PathHarvest(const CommandIo& io, std::string command)
    : view(io.err, io.progressToTerminal, io.progressToTerminal ? terminalColumns() : 80), err_(io.err),
      command_(std::move(command))
{}

std::string PathHarvest::problemMessage(const HarvestProblem& p) const
{
    const std::string path = standardInput_ && p.path == standardInput_->path() ? "-" : shownText(p.path);
    const std::string reason = shownText(p.reason);
    return p.kind == HarvestProblem::Kind::File ? "cannot open " + path + ": " + reason : path + ": " + reason;
}

std::optional<std::string> PathHarvest::standardInputFile()
{
    auto bytes = readStandardInput();
    if (!bytes) {
        err_ << command_ << ": " << bytes.reason() << "\n";
        return std::nullopt;
    }
    try {
        standardInput_ = std::make_unique<StandardInputCopy>(*bytes);
    } catch (const Error& e) {
        err_ << command_ << ": standard input: " << shownText(e.what()) << "\n";
        return std::nullopt;
    }
    return standardInput_->path();
}

void PathHarvest::run(const std::vector<std::string>& paths, const settings::Settings& settings)
{
    Paths fileList, folderList;
    for (const std::string& p : paths) {
        if (namesStandardInput(p)) {
            if (const auto file = standardInputFile()) {
                fileList.paths.push_back(*file);
            } else {
                ++unreadable;
            }
            continue;
        }
        struct stat st {};
        if (::stat(p.c_str(), &st) != 0) {
            err_ << command_ << ": " << shownText(p) << ": " << std::strerror(errno) << "\n";
            ++unreadable;
            continue;
        }
        std::error_code ec;
        const auto full = fullPath(p, ec);
        if (!full) {
            err_ << command_ << ": " << shownText(p) << ": cannot tell the current folder: " << ec.message() << "\n";
            ++unreadable;
            continue;
        }
        (S_ISDIR(st.st_mode) ? folderList : fileList).paths.push_back(*full);
    }
    HarvestRun run(catalogue, view, fileList, folderList, nullptr);
    run.setSettings(settings);
    run.onProblem = [&](const HarvestProblem& p) {
        view.clear();
        err_ << command_ << ": " << problemMessage(p) << "\n";
        ++unreadable;
    };
    run.start(true, true);
    view.clear();
    files = fileList.count();
    folders = folderList.count();
    found = run.foundFiles().size();
    limitText = limitTextOf(run);
    hidden = run.hiddenCount();
    if (settings.unique) hiddenText = ", " + counted(hidden, "duplicate") + " hidden";
}

} // namespace vextral::cli
