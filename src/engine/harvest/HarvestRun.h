#pragma once

#include "harvest/DuplicateIcons.h"
#include "harvest/HarvestView.h"
#include "harvest/IconCatalogue.h"
#include "harvest/SearchFolders.h"
#include "platform/MountTable.h"
#include "settings/Settings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vextral {

// Something a harvest run could not read: a folder its search could not list
// or a file it could not open. The run goes on without it.
struct HarvestProblem {
    enum class Kind { Folder, File };
    Kind kind;
    std::string path;
    std::string reason; // the system's words, such as "Permission denied"
};

// The harvest run: empties the catalogue, extracts the icons of every file of
// the file list (the files phase), then those of the files found under the
// folder list (the folders phase), showing its progress through a HarvestView.
//
// It runs on the caller's thread and calls the pump between units of work, so
// the user can press Stop (stop()) and use other commands; Stop takes effect at
// the run's checkpoints, through the run flag.
class HarvestRun {
public:
    using Pump = std::function<void()>;

    HarvestRun(IconCatalogue& catalogue, HarvestView& view, const SourceList& files, const SourceList& folders,
               Pump pump);
    virtual ~HarvestRun() = default;

    // Start: returns when the run has ended. Ignored while an earlier run is
    // still active (after Stop it may still be unwinding), so a run never fills
    // a catalogue that a newer run cleared and runs never nest.
    void start(bool scanFiles, bool scanFolders);
    // Stop: accepted at any time; outside a run it only sets the controls and the flag.
    void stop();

    // The settings the folders phase obeys (file types, subfolders, recycle
    // bin, icon and file limits).
    void setSettings(const settings::Settings& s) { settings_ = s; }
    const settings::Settings& settings() const { return settings_; }
    // Which found files count as the recycle bin's; the system's when not set.
    void setRecycleRule(platform::RecycleRule rule) { recycle_ = std::move(rule); }
    SearchFolders& search() { return search_; }

    bool active() const { return active_; }
    // "" before the first run, "1" while one goes, "2" after Stop.
    const std::string& runFlag() const { return runFlag_; }
    // The icon counter n: icons added by this run, the index of the next entry.
    int iconCount() const { return n_; }
    int filesFound() const { return filesFound_; }
    // The icons this run left out because an identical one was shown before
    // (settings' unique switch, taken when the run starts).
    int hiddenCount() const { return hidden_; }
    // The files that the folder searches of this run found, in order.
    const std::vector<std::string>& foundFiles() const { return foundFiles_; }

    // What this run could not read, in the order met: folders the search
    // could not list, files of the file list that could not be opened, and
    // found regular files that could not be opened (found folders and other
    // special entries that match the mask are passed over quietly).
    const std::vector<HarvestProblem>& problems() const { return problems_; }
    // Told of each problem as the run meets it; optional.
    std::function<void(const HarvestProblem&)> onProblem;

    // The limit of the settings that ended this run, if one did: the icon
    // limit, or the file limit, when files or icons were left out because of it.
    enum class Limit { None, Icons, Files };
    Limit limitReached() const { return limitReached_; }

protected:
    enum class Ending { Normal, StopInFiles, StopInFolders, Limit };

    // The folders phase; returns false when it ended the run itself.
    virtual bool foldersPhase();

    // Extracts the icons of path into the catalogue: the count and each icon,
    // opening the file once. Calls perIcon after each icon added (s of c);
    // perIcon returns false to end the file early.
    int extractFile(const std::string& path, const std::function<bool(int s, int c)>& perIcon);
    // Adds icon index of source to the catalogue unless it yields no icon or,
    // with duplicates hidden, its original form is one shown before.
    void addIcon(const platform::IconSource& source, const std::string& path, int index);
    // "Extracted n icons", followed by the duplicates hidden when they are.
    std::string extractedText() const;
    void end(Ending ending);
    void report(HarvestProblem::Kind kind, const std::string& path, const std::string& reason);

    IconCatalogue& catalogue_;
    HarvestView& view_;
    const SourceList& files_;
    const SourceList& folders_;
    Pump pump_;
    std::string runFlag_;
    int n_ = 0;
    int filesFound_ = 0;
    long long found_ = 0;   // files this run has to read, as far as known (Found)
    long long scanned_ = 0; // files it has read (Scanned)
    int hidden_ = 0;
    bool unique_ = false;
    std::vector<std::string> foundFiles_;
    std::vector<HarvestProblem> problems_;
    Limit limitReached_ = Limit::None;
    bool active_ = false;
    settings::Settings settings_;
    SearchFolders search_;
    std::optional<platform::RecycleRule> recycle_;
    DuplicateIcons duplicates_ {catalogue_};

private:
    bool filesPhase();
};

std::string countText(const char* prefix, long long count, const char* suffix);

} // namespace vextral
