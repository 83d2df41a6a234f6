#pragma once

#include "cli/FrontDoor.h"
#include "cli/ProgressLine.h"
#include "harvest/HarvestRun.h"
#include "harvest/IconCatalogue.h"
#include "settings/Settings.h"

#include <ostream>
#include <string>
#include <vector>

namespace vextral::cli {

// The harvest of the paths named on a command line, shared by the commands
// that harvest: files are read as they are, folders searched. Paths and
// folders or files met in the run that cannot be read are said on err with
// the system's reason and counted. The progress line is drawn on the
// command's err when that is a terminal; the command draws its saving there
// too.
class PathHarvest {
public:
    PathHarvest(const CommandIo& io, std::string command);

    void run(const std::vector<std::string>& paths, const settings::Settings& settings);

    // The commands read the pictures once, right after the run, while the
    // files are as they were: they are read from the files again rather
    // than kept, so a whole system's icons take a few hundred bytes each.
    IconCatalogue catalogue {IconCatalogue::Pictures::ReadAgain};
    int unreadable = 0;
    int files = 0;          // files named
    int folders = 0;        // folders named
    std::size_t found = 0;  // files found in the folders
    std::string limitText;  // ", stopped at the ... limit (...)" or empty
    int hidden = 0;         // icons left out as duplicates
    std::string hiddenText; // ", N duplicates hidden" when duplicates were looked for, or empty
    ProgressLine view;

private:
    std::ostream& err_;
    std::string command_;
};

} // namespace vextral::cli
