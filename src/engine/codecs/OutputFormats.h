#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>

namespace vextral {
class Sink;
}

namespace vextral::codecs {

class ImageBuffer;

// Every format Vextral writes. One row each in outputFormats(); adding a
// format is one row there plus its writer.
enum class OutputFormat { OriginalIcon, Bmp, Jpeg, Gif, Pcx, Tga, Png, Tiff, Ico, Cur, Wmf, EachImage };

// What a format's file holds: a picture (the image buffer's, drawn over a
// background and sized), the icon itself as its source file holds it, or
// each image of the icon as a PNG file of its own (several files an icon).
enum class Writes { Picture, OriginalIcon, EachImage };

// A writer of an image buffer's picture into a sink (see Writers.h).
using PictureWriter = void (*)(ImageBuffer& buffer, Sink& sink);

struct OutputFormatRow {
    OutputFormat id;
    const char* name;           // command-line type name: "standard-icon", "bmp", "jpg", ...
    const char* filterEntry;    // save dialog filter entry: "Bmp File(*.bmp)"; empty when not offered
    const char* extension;      // written extension, without its dot: "bmp"
    const char* alsoExtensions; // further extensions save-by-extension accepts (";"-separated), or ""
    Writes writes;
    // Writes the buffer's picture. For an original icon it writes the picture
    // as an icon of the standard sides, for when the source can no longer be
    // read; for each image, the picture as a PNG file.
    PictureWriter writer;
};

std::span<const OutputFormatRow> outputFormats();
const OutputFormatRow& outputFormat(OutputFormat id);
// The format whose command-line name is name (letter case ignored).
std::optional<OutputFormat> outputFormatNamed(const std::string& name);
// The picture format that writes files of this extension (".jpeg", "PNG",
// with or without the dot, letter case ignored); nothing when none does.
std::optional<OutputFormat> pictureFormatForExtension(const std::string& extension);

// A save dialog's chosen filter entry. What it writes follows the name the
// user typed (savedFormat): the entry decides only for a name without an
// extension, to which the dialog adds the entry's own.
struct SaveFilterChoice {
    OutputFormat format; // the entry's format; its extension is the dialog's next default
};

// The format a save under filter entry writes to fileName: the entry's own
// when the name has no extension or one of the entry's; else the picture
// format of the name's extension ("x.png" under "Bmp File" is a PNG file);
// nothing for an extension no format writes.
std::optional<OutputFormat> savedFormat(OutputFormat entry, const std::string& fileName);

// The programs' windows that share the one save-picture dialog. Its nine
// filter entries are the same for all; what each entry writes differs.
enum class SaveDialogUser { MainWindow, Editor, Converter, Capture };
constexpr int kSaveFilterCount = 9;
// The formats of the nine filter entries, in the dialog's order.
const std::array<OutputFormat, kSaveFilterCount>& saveFilterFormats();
// What the 1-based filter index writes for that user; nothing outside 1 to 9.
std::optional<SaveFilterChoice> saveFilterChoice(SaveDialogUser user, int filterIndex);

// The eleven file types of Save all, in the order the dialog lists them.
struct SaveAllTypeRow {
    OutputFormat format;
    const char* caption; // "&Standard Icon", "&Bmp File", ...
};
std::span<const SaveAllTypeRow> saveAllTypes();

// The three picture types of the web gallery, in the dialog's order.
std::span<const OutputFormat> webPageFormats();

} // namespace vextral::codecs
