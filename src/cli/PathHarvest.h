#pragma once

#include "cli/FrontDoor.h"
#include "cli/ProgressLine.h"
#include "cli/StandardInput.h"
#include "harvest/HarvestRun.h"
#include "harvest/IconCatalogue.h"
#include "settings/Settings.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vextral::cli {

// The harvest of the paths named on a command line, shared by the commands
// that harvest: files are read as they are, folders searched. Paths and
// folders or files met in the run that cannot be read are said on err with
// the system's reason and counted. The progress line is drawn on the
// command's err when that is a terminal; the command draws its saving there
// too. A path "-" harvests the bytes of standard input as one file, through
// a copy in the temporary folder that lives as long as this object (the
// catalogue reads its pictures from it again); its messages name it "-".
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
    // The message of a problem met in the run, the copy of standard input named "-".
    std::string problemMessage(const HarvestProblem& p) const;
    // The file that stands for standard input, or nothing when it cannot be
    // read (said on err and counted).
    std::optional<std::string> standardInputFile();

    std::unique_ptr<StandardInputCopy> standardInput_;
    std::ostream& err_;
    std::string command_;
};

} // namespace vextral::cli
