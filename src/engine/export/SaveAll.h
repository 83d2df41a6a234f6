#pragma once

#include "codecs/OutputFormats.h"
#include "harvest/IconCatalogue.h"

#include <functional>
#include <string>

namespace vextral::exporting {

// How the files are named: the source file's name, "_", the icon's index; or
// a prefix ("Icon" when empty) and the icon's 1-based position.
struct SaveAllNaming {
    bool byFilename = true;
    std::string prefix;
};

// The file name for the icon at 1-based position k of the list, with the
// format's extension.
std::string saveAllName(const SaveAllNaming& naming, const IconRecord& record, int k, codecs::OutputFormat format);

struct SaveAllJob {
    codecs::OutputFormat format = codecs::OutputFormat::OriginalIcon;
    SaveAllNaming naming;
    // The width and height texts, read anew for each icon as the user typed them.
    std::function<std::string()> widthText = [] { return std::string("32"); };
    std::function<std::string()> heightText = [] { return std::string("32"); };
    int jpegQuality = 86;
    // Called after each file with the percentage done.
    std::function<void(int percent)> progress;
};

// Writes every listed icon of the catalogue to folder (which must not be
// empty). Each picture is drawn over white and stretched to the size typed;
// the original-icon format writes the icon as its source holds it. Stops at
// the first error (an integer that does not convert, a file that cannot be
// created), keeping the files already written. Returns the number of files
// written.
int saveAll(const IconCatalogue& catalogue, const std::string& folder, SaveAllJob& job);

} // namespace vextral::exporting
