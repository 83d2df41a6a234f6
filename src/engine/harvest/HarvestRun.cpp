#include "harvest/HarvestRun.h"

#include "core/Percent.h"
#include "platform/IconExtractor.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace vextral {

namespace {

// A found entry that exists but is no regular file: a folder, a FIFO, a
// device or a socket whose name matches the mask. It holds no icons to miss.
bool isSpecialEntry(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

} // namespace

std::string countText(const char* prefix, long long count, const char* suffix)
{
    return std::string(prefix) + std::to_string(count) + suffix;
}

HarvestRun::HarvestRun(IconCatalogue& catalogue, HarvestView& view, const SourceList& files, const SourceList& folders,
                       Pump pump)
    : catalogue_(catalogue), view_(view), files_(files), folders_(folders), pump_(std::move(pump))
{
    if (!pump_) pump_ = [] {};
    search_.scanOptions = ScanOptions::soSpecifiedDir;
    search_.pump = [this] { pump_(); };
}

void HarvestRun::start(bool scanFiles, bool scanFolders)
{
    if (active_) return;
    active_ = true;
    filesFound_ = 0;
    found_ = scanned_ = 0;
    view_.showProgressPage();
    view_.setStatus("Cleaning extracted information...");
    view_.beginIconListUpdate();
    view_.setGaugeCurrent(0);
    view_.setGaugeTotal(0);
    view_.setFound(countText("", 0, " files"));
    view_.setScanned("Scanned ");
    view_.setExtracted("Extracted ");
    n_ = 0;
    hidden_ = 0;
    unique_ = settings_.unique;
    duplicates_.clear();
    catalogue_.clearItems();
    view_.beginFoundListUpdate();
    view_.setStartButtonEnabled(false);
    view_.setStartMenuEnabled(false);
    foundFiles_.clear();
    problems_.clear();
    limitReached_ = Limit::None;
    runFlag_ = "1";
    catalogue_.clearImages();
    view_.setStopMenuEnabled(true);

    try {
        if (scanFiles && !filesPhase()) return;
        if (scanFolders && !foldersPhase()) return;
    } catch (...) {
        // Whatever stopped the run, the window must be able to start the next
        // one: the lists are shown again and Start is back before the error
        // goes on to be reported.
        view_.endFoundListUpdate();
        view_.endIconListUpdate();
        view_.setStartMenuEnabled(true);
        view_.setStartButtonEnabled(true);
        view_.setStopMenuEnabled(false);
        active_ = false;
        throw;
    }
    end(Ending::Normal);
}

bool HarvestRun::filesPhase()
{
    view_.setStatus("Extracting icons from files...");
    found_ = files_.count();
    view_.setFound(countText("", found_, " files"));
    const int total = files_.count();
    for (int r = 1; r <= total; ++r) {
        // Entries deleted while the run pumped are never read.
        if (r > files_.count()) break;
        extractFile(files_.at(r - 1), [this](int s, int c) {
            view_.setGaugeCurrent(percent(s, c));
            view_.setExtracted(extractedText());
            return true;
        });
        view_.setScanned(countText("Scanned ", ++scanned_, " files"));
        pump_();
        const int now = files_.count();
        view_.setGaugeTotal(now > 0 ? percent(r, now) : 100);
        if (runFlag_ == "2") {
            end(Ending::StopInFiles);
            return false;
        }
    }
    return true;
}

int HarvestRun::extractFile(const std::string& path, const std::function<bool(int s, int c)>& perIcon)
{
    const platform::IconSource source = platform::IconSource::open(path, {}, {.cursors = settings_.cursors});
    if (!source.readable()) report(HarvestProblem::Kind::File, path, source.error());
    const int c = source.count();
    for (int s = 1; s <= c; ++s) {
        addIcon(source, path, s - 1);
        if (!perIcon(s, c)) break;
    }
    return c;
}

void HarvestRun::addIcon(const platform::IconSource& source, const std::string& path, int index)
{
    if (unique_ && duplicates_.seenBefore(source, path, index)) {
        ++hidden_;
        return;
    }
    // An index that yields no icon adds nothing, so images, items and records
    // stay in step.
    if (const auto icon = source.icon(index)) {
        const int at = catalogue_.add(*icon, index, path, imageSummaries(source, index), source.isCursor(index));
        ++n_;
        if (unique_) duplicates_.added(at);
    }
}

std::string HarvestRun::extractedText() const
{
    std::string text = countText("Extracted ", n_, " icons");
    if (unique_ && hidden_ > 0)
        text += countText(" (", hidden_, hidden_ == 1 ? " duplicate hidden)" : " duplicates hidden)");
    return text;
}

bool HarvestRun::foldersPhase()
{
    view_.setGaugeCurrent(0);
    view_.setGaugeTotal(0);
    const platform::RecycleRule recycle = recycle_ ? *recycle_ : platform::RecycleRule::current();
    search_.onProcess = [this](const std::string& dir, std::int32_t, std::int32_t) { view_.setSearchFolder(dir); };
    search_.onError = [this](const std::string& dir, const std::string& reason) {
        report(HarvestProblem::Kind::Folder, dir, reason);
    };
    search_.onChanged = [this, &recycle](std::int32_t countFiles, std::int32_t) {
        for (const FilePack& pack : search_.list()) {
            const std::string path = pack.dir + pack.name;
            if (settings_.recycle || !recycle.inRecycleFolder(path)) foundFiles_.push_back(path);
        }
        filesFound_ += countFiles;
        // Found: the files this run will read, so far.
        view_.setFound(countText("", found_ + static_cast<long long>(foundFiles_.size()), " files"));
    };

    const int folders = folders_.count();
    for (int d = 1; d <= folders; ++d) {
        // Entries deleted while the run pumped are never read, and after Stop
        // the remaining folders are not searched.
        if (d > folders_.count() || runFlag_ == "2") break;
        search_.fileMask = settings_.fileMask();
        search_.doRecursive = settings_.subFolder;
        view_.setStatus("Searching for files...");
        search_.scanDir = folders_.at(d - 1);
        search_.execute();
    }

    const std::size_t found = foundFiles_.size();
    for (std::size_t r = 1; r <= found; ++r) {
        const std::string path = foundFiles_[r - 1];
        // A file limit of N extracts the first N - 1 files.
        if (settings_.fileLimitOn() && static_cast<long long>(r) >= settings_.fileNumber) {
            limitReached_ = Limit::Files;
            end(Ending::Limit);
            return false;
        }
        const platform::IconSource source = platform::IconSource::open(path, {}, {.cursors = settings_.cursors});
        if (!source.readable() && !isSpecialEntry(path)) report(HarvestProblem::Kind::File, path, source.error());
        const int c = source.count();
        view_.setStatus("Extracting icons from folders...");
        for (int s = 1; s <= c; ++s) {
            if (settings_.iconLimitOn() && n_ >= settings_.iconNumber) {
                limitReached_ = Limit::Icons;
                end(Ending::Limit);
                return false;
            }
            addIcon(source, path, s - 1);
            view_.setGaugeCurrent(percent(s, c));
            view_.setExtracted(extractedText());
            if (s == c) view_.setScanned(countText("Scanned ", ++scanned_, " files"));
            pump_();
            if (runFlag_ == "2") {
                end(Ending::StopInFolders);
                return false;
            }
        }
        // A file without icons is read all the same.
        if (c <= 0) {
            view_.setScanned(countText("Scanned ", ++scanned_, " files"));
            pump_();
            if (runFlag_ == "2") {
                end(Ending::StopInFolders);
                return false;
            }
        }
        view_.setGaugeTotal(percent(static_cast<long long>(r), static_cast<long long>(foundFiles_.size())));
    }
    return true;
}

void HarvestRun::report(HarvestProblem::Kind kind, const std::string& path, const std::string& reason)
{
    problems_.push_back({kind, path, reason});
    if (onProblem) onProblem(problems_.back());
}

void HarvestRun::stop()
{
    view_.setStartMenuEnabled(true);
    search_.stop();
    view_.setStartButtonEnabled(true);
    view_.setGaugeCurrent(100);
    runFlag_ = "2";
    view_.setGaugeTotal(100);
}

void HarvestRun::end(Ending ending)
{
    // However the run ends, there is nothing left for Stop to stop.
    view_.setStopMenuEnabled(false);
    switch (ending) {
    case Ending::Normal:
        view_.setStartMenuEnabled(true);
        view_.endFoundListUpdate();
        view_.setStartButtonEnabled(true);
        view_.setGaugeCurrent(0);
        // All is done, though an empty list or a folder with nothing to read
        // never moved the gauge.
        view_.setGaugeTotal(100);
        view_.endIconListUpdate();
        view_.setStatus("Finished");
        break;
    case Ending::StopInFiles:
        view_.setStartMenuEnabled(true);
        view_.endIconListUpdate();
        view_.setStartButtonEnabled(true);
        view_.endFoundListUpdate();
        view_.setStatus("Finished");
        break;
    case Ending::StopInFolders:
        view_.endFoundListUpdate();
        view_.setStartMenuEnabled(true);
        view_.setStartButtonEnabled(true);
        view_.setStatus("Finished");
        view_.endIconListUpdate();
        view_.setGaugeTotal(100);
        break;
    case Ending::Limit:
        view_.setStartMenuEnabled(true);
        view_.endIconListUpdate();
        view_.setStartButtonEnabled(true);
        view_.endFoundListUpdate();
        view_.setGaugeCurrent(100);
        view_.setGaugeTotal(100);
        view_.setStatus("Finished");
        break;
    }
    // The hashes and the file kept open for comparisons are of no use after the run.
    duplicates_.clear();
    active_ = false;
}

} // namespace vextral
