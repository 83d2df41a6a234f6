#pragma once

#include "codecs/OutputFormats.h"
#include "harvest/IconCatalogue.h"

#include <functional>
#include <string>
#include <vector>

namespace vextral::exporting {

// How the files are named: the source file's name, "_", the icon's index; or
// a prefix ("Icon" when empty) and the icon's 1-based position.
struct SaveAllNaming {
    bool byFilename = true;
    std::string prefix;
};

// The file name for the icon at 1-based catalogue position k, with the
// format's extension.
std::string saveAllName(const SaveAllNaming& naming, const IconRecord& record, int k, codecs::OutputFormat format);

struct SaveAllJob {
    codecs::OutputFormat format = codecs::OutputFormat::OriginalIcon;
    SaveAllNaming naming;
    // The icons to save, in this order, as catalogue positions counted from 0;
    // empty saves every icon. Positions outside the catalogue are passed over.
    std::vector<int> positions;
    // The width and height texts, read anew for each icon as the user typed them.
    std::function<std::string()> widthText = [] { return std::string("32"); };
    std::function<std::string()> heightText = [] { return std::string("32"); };
    int jpegQuality = 86;
    // Draw each picture from the icon's own best image for the size (see
    // BestImage.h) rather than stretch the 32 x 32 picture.
    bool bestImage = false;
    // Keep each icon's transparency in the formats that hold alpha (PNG,
    // TGA, TIFF, ICO, CUR) instead of drawing it over white.
    bool transparent = false;
    // Called after each file with the percentage done.
    std::function<void(int percent)> progress;
    // Called after each file, after progress, so a window can paint and take
    // its user's clicks; then cancelled is asked whether to go on. Both optional.
    std::function<void()> pump;
    std::function<bool()> cancelled;

    // What the run did, kept up to date as it goes, so that a run stopped by
    // an error still tells how many files it wrote.
    int total = 0;      // the icons it set out to save
    int written = 0;    // files: each image is a file of its own for EachImage
    int iconsSaved = 0; // icons done, which is written but for EachImage
    // Icons whose name an earlier icon of the same run already took, saved
    // under the name with " (2)", " (3)", ... before the extension.
    int renamed = 0;
    // Icons whose name was that of a harvested file (the same path, or the
    // same file through a link), saved under the numbered name instead.
    int renamedForInputs = 0;
    // Images that could not be decoded, so were not written (EachImage).
    int unreadableImages = 0;
    // The run ended because cancelled said so, before every icon was saved.
    bool stopped = false;
};

// Writes every icon of the catalogue, or those of job.positions, to folder
// (which must not be empty). A numbered name is the icon's catalogue position
// whichever icons are saved, so "Icon7.png" is always the seventh icon. A
// list of positions none of which is in the catalogue is refused with "No
// icon." before any file is written. Each picture is drawn over white and
// stretched to the size typed (or drawn from the icon's best image when
// job.bestImage); the original-icon format writes the icon as its source
// holds it. Two icons of one run never share a file: the later one is renamed
// (job.renamed); nor is a harvested file written over (job.renamedForInputs),
// whether its icons are saved or not. Other files of earlier runs are
// replaced. Stops at the first error (an integer that does not convert, a
// size above the limit, a file that cannot be created), keeping the files
// already written, and when cancelled says so (job.stopped). Returns
// job.written.
int saveAll(const IconCatalogue& catalogue, const std::string& folder, SaveAllJob& job);

// A prefix for numbered names may not hold "/": the files stay in the folder
// chosen. Raises the error the run would raise; nothing when it is fine.
void checkSaveAllPrefix(const std::string& prefix);

} // namespace vextral::exporting
