#include "harvest/HarvestRun.h"

#include "harvest/Percent.h"
#include "platform/IconExtractor.h"

namespace vextral {

std::string countText(const char* prefix, long long count, const char* suffix)
{
    return std::string(prefix) + std::to_string(count) + suffix;
}

HarvestRun::HarvestRun(IconCatalogue& catalogue, HarvestView& view, const SourceList& files,
                       const SourceList& folders, Pump pump)
    : catalogue_(catalogue), view_(view), files_(files), folders_(folders), pump_(std::move(pump))
{
    if (!pump_) pump_ = [] {};
}

void HarvestRun::start(bool scanFiles, bool scanFolders)
{
    if (active_) return;
    active_ = true;
    filesFound_ = 0;
    view_.showProgressPage();
    view_.setStatus("Cleaning extracted information...");
    view_.beginIconListUpdate();
    view_.setGaugeCurrent(0);
    view_.setGaugeTotal(0);
    view_.setScanned("Scanned ");
    view_.setExtracted("Extracted ");
    n_ = 0;
    catalogue_.clearItems();
    view_.beginFoundListUpdate();
    view_.setStartButtonEnabled(false);
    view_.setStartMenuEnabled(false);
    foundFiles_.clear();
    runFlag_ = "1";
    catalogue_.clearImages();
    view_.setStopMenuEnabled(true);

    if (scanFiles && !filesPhase()) return;
    if (scanFolders && !foldersPhase()) return;
    end(Ending::Normal);
}

bool HarvestRun::filesPhase()
{
    view_.setStatus("Extracting icons from files...");
    view_.setFound(countText("", files_.count(), " files"));
    const int total = files_.count();
    for (int r = 1; r <= total; ++r) {
        // Entries deleted while the run pumped are never read.
        if (r > files_.count()) break;
        extractFile(files_.at(r - 1), [this](int s, int c) {
            view_.setGaugeCurrent(percent(s, c));
            view_.setExtracted(countText("Extracted ", n_, " icons"));
            return true;
        });
        pump_();
        const int now = files_.count();
        view_.setGaugeTotal(now > 0 ? percent(r, now) : 100);
        if (runFlag_ == "2") {
            end(Ending::StopInFiles);
            return false;
        }
        view_.setScanned(countText("Scanned ", r, " files"));
    }
    return true;
}

int HarvestRun::extractFile(const std::string& path, const std::function<bool(int s, int c)>& perIcon)
{
    const platform::IconSource source = platform::IconSource::open(path);
    const int c = source.count();
    for (int s = 1; s <= c; ++s) {
        // An index that yields no icon adds nothing, so images, items and
        // records stay in step.
        if (const auto icon = source.icon(s - 1)) {
            catalogue_.add(*icon, s - 1, path);
            ++n_;
        }
        if (!perIcon(s, c)) break;
    }
    return c;
}

void HarvestRun::stop()
{
    view_.setStartMenuEnabled(true);
    stopSearch();
    view_.setStartButtonEnabled(true);
    view_.setGaugeCurrent(100);
    runFlag_ = "2";
    view_.setGaugeTotal(100);
}

void HarvestRun::end(Ending ending)
{
    switch (ending) {
    case Ending::Normal:
        view_.setStartMenuEnabled(true);
        view_.endFoundListUpdate();
        view_.setStartButtonEnabled(true);
        view_.setGaugeCurrent(0);
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
    active_ = false;
}

} // namespace vextral
