#pragma once

#include "cli/ProgressLine.h"
#include "harvest/HarvestRun.h"
#include "harvest/IconCatalogue.h"
#include "settings/Settings.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vextral::cli {

// The settings a command runs with: FILE when --settings named one, else the
// Option.ini the desktop program reads. A FILE that cannot be read is said
// on err and gives nothing (a usage error); a background that is no colour is
// said and white is used.
std::optional<settings::Settings> loadCommandSettings(const std::optional<std::string>& file, std::ostream& err,
                                                      const std::string& command);

// The harvest of the paths named on a command line, shared by the commands
// that harvest: files are read as they are, folders searched. Paths and
// folders or files met in the run that cannot be read are said on err with
// the system's reason and counted.
class PathHarvest {
public:
    PathHarvest(ProgressLine& view, std::ostream& err, std::string command)
        : view_(view), err_(err), command_(std::move(command))
    {}

    void run(const std::vector<std::string>& paths, const settings::Settings& settings);

    IconCatalogue catalogue;
    int unreadable = 0;
    int files = 0;          // files named
    int folders = 0;        // folders named
    std::size_t found = 0;  // files found in the folders
    std::string limitText;  // ", stopped at the ... limit (...)" or empty
    int hidden = 0;         // icons left out as duplicates
    std::string hiddenText; // ", N duplicates hidden" when duplicates were looked for, or empty

private:
    ProgressLine& view_;
    std::ostream& err_;
    std::string command_;
};

} // namespace vextral::cli
