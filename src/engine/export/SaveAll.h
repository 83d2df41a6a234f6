#pragma once

#include "harvest/IconCatalogue.h"

#include <functional>
#include <string>

namespace vextral::exporting {

// The ten file types of Save all, in the order the dialog lists them.
enum class SaveAllType { StandardIcon, Bmp, Jpg, Gif, Icon, Cur, Pcx, Wmf, Png, Tga };
constexpr int kSaveAllTypes = 10;

// ".ico", ".bmp", ...
const char* saveAllExtension(SaveAllType type);

// How the files are named: the source file's name, "_", the icon's index; or
// a prefix ("Icon" when empty) and the icon's 1-based position.
struct SaveAllNaming {
    bool byFilename = true;
    std::string prefix;
};

// The file name for the icon at 1-based position k of the list.
std::string saveAllName(const SaveAllNaming& naming, const IconRecord& record, int k, SaveAllType type);

struct SaveAllJob {
    SaveAllType type = SaveAllType::StandardIcon;
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
// Standard Icon writes the icon as its source holds it. Stops at the first
// error (an integer that does not convert, a file that cannot be created),
// keeping the files already written. Returns the number of files written.
int saveAll(const IconCatalogue& catalogue, const std::string& folder, SaveAllJob& job);

// Text typed into a numeric field, converted when used:
// "'%s' is not a valid integer value" when it is not an integer.
int integerFromText(const std::string& text);

} // namespace vextral::exporting
