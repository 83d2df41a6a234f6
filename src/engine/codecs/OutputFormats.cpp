#include "codecs/OutputFormats.h"

#include "codecs/Writers.h"
#include "core/Error.h"
#include "core/FileName.h"
#include "core/Text.h"

#include <stdexcept>

namespace vextral::codecs {

namespace {

constexpr std::array<OutputFormatRow, 12> kFormats = {{
    {OutputFormat::OriginalIcon, "standard-icon", "", "ico", "", Writes::OriginalIcon, writeIco},
    {OutputFormat::Bmp, "bmp", "Bmp File(*.bmp)", "bmp", "", Writes::Picture, writeBmp},
    {OutputFormat::Jpeg, "jpg", "Jpg File(*.jpg)", "jpg", "jpeg", Writes::Picture, writeJpeg},
    {OutputFormat::Gif, "gif", "Gif File(*.gif)", "gif", "", Writes::Picture, writeGif},
    {OutputFormat::Pcx, "pcx", "Pcx File(*.pcx)", "pcx", "", Writes::Picture, writePcx},
    {OutputFormat::Tga, "tga", "Tga File(*.tga)", "tga", "", Writes::Picture, writeTga},
    {OutputFormat::Png, "png", "Png File(*.png)", "png", "", Writes::Picture, writePng},
    {OutputFormat::Tiff, "tif", "", "tif", "tiff", Writes::Picture, writeTiff},
    {OutputFormat::Ico, "ico", "Icon File(*.ico)", "ico", "", Writes::Picture, writeIco},
    {OutputFormat::Cur, "cur", "Cur File(*.cur)", "cur", "", Writes::Picture, writeCur},
    {OutputFormat::Wmf, "wmf", "Wmf File(*.wmf)", "wmf", "", Writes::Picture, writeWmf},
    {OutputFormat::EachImage, "each-image", "", "png", "", Writes::EachImage, writePng},
}};

constexpr std::array<OutputFormat, kSaveFilterCount> kSaveFilters = {
    OutputFormat::Bmp, OutputFormat::Jpeg, OutputFormat::Gif, OutputFormat::Pcx, OutputFormat::Ico,
    OutputFormat::Cur, OutputFormat::Wmf,  OutputFormat::Tga, OutputFormat::Png};

// What each filter entry writes, by user. Where there is a harvested icon
// (main window, editor) "Icon File" writes the icon itself; elsewhere the
// picture as an icon of the standard sides (writeIco).
using O = OutputFormat;
constexpr std::array<SaveFilterChoice, kSaveFilterCount> kWithIcon = {
    {{O::Bmp}, {O::Jpeg}, {O::Gif}, {O::Pcx}, {O::OriginalIcon}, {O::Cur}, {O::Wmf}, {O::Tga}, {O::Png}}};
constexpr std::array<SaveFilterChoice, kSaveFilterCount> kPictureOnly = {
    {{O::Bmp}, {O::Jpeg}, {O::Gif}, {O::Pcx}, {O::Ico}, {O::Cur}, {O::Wmf}, {O::Tga}, {O::Png}}};

constexpr std::array<SaveAllTypeRow, 11> kSaveAllTypes = {{
    {O::OriginalIcon, "&Standard Icon"},
    {O::Bmp, "&Bmp File"},
    {O::Jpeg, "&Jpg File"},
    {O::Gif, "&Gif File"},
    {O::Ico, "&Icon File"},
    {O::Cur, "C&ur File"},
    {O::Pcx, "&Pcx File"},
    {O::Wmf, "W&mf File"},
    {O::Png, "Png Fi&le"},
    {O::Tga, "&Tga File"},
    {O::EachImage, "&Each image (PNG)"},
}};

constexpr std::array<OutputFormat, 3> kWebPage = {O::Bmp, O::Jpeg, O::Gif};

bool listHas(const char* list, const std::string& want)
{
    const std::string all = list;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find(';', start);
        if (end == std::string::npos) end = all.size();
        if (all.compare(start, end - start, want) == 0 && end - start == want.size()) return true;
        start = end + 1;
    }
    return false;
}

} // namespace

std::span<const OutputFormatRow> outputFormats() { return kFormats; }

const OutputFormatRow& outputFormat(OutputFormat id)
{
    for (const OutputFormatRow& row : kFormats) {
        if (row.id == id) return row;
    }
    throw std::logic_error("output format without a row");
}

std::optional<OutputFormat> outputFormatNamed(const std::string& name)
{
    for (const OutputFormatRow& row : kFormats) {
        if (sameName(name, row.name)) return row.id;
    }
    return std::nullopt;
}

std::optional<OutputFormat> pictureFormatForExtension(const std::string& extension)
{
    const std::string ext = lowerAscii(!extension.empty() && extension[0] == '.' ? extension.substr(1) : extension);
    if (ext.empty()) return std::nullopt;
    for (const OutputFormatRow& row : kFormats) {
        if (row.writes == Writes::Picture && (ext == row.extension || listHas(row.alsoExtensions, ext))) return row.id;
    }
    return std::nullopt;
}

std::optional<OutputFormat> savedFormat(OutputFormat entry, const std::string& fileName)
{
    std::string ext = lowerExtension(fileName);
    if (!ext.empty()) ext.erase(0, 1); // its dot
    const OutputFormatRow& row = outputFormat(entry);
    if (ext.empty() || ext == row.extension || listHas(row.alsoExtensions, ext)) return entry;
    return pictureFormatForExtension(ext);
}

const std::array<OutputFormat, kSaveFilterCount>& saveFilterFormats() { return kSaveFilters; }

std::optional<SaveFilterChoice> saveFilterChoice(SaveDialogUser user, int filterIndex)
{
    if (filterIndex < 1 || filterIndex > kSaveFilterCount) return std::nullopt;
    const bool withIcon = user == SaveDialogUser::MainWindow || user == SaveDialogUser::Editor;
    const auto& table = withIcon ? kWithIcon : kPictureOnly;
    return table[static_cast<std::size_t>(filterIndex - 1)];
}

// Save-by-extension lives beside the table it reads, so that a program
// using one writer does not link every other.
void ImageBuffer::saveToFile(const std::string& fileName)
{
    const auto format = pictureFormatForExtension(lowerExtension(fileName));
    if (!format) throw Error(unknownExtensionMessage(fileName));
    writeToFile(outputFormat(*format).writer, *this, fileName);
}

std::span<const SaveAllTypeRow> saveAllTypes() { return kSaveAllTypes; }

std::span<const OutputFormat> webPageFormats() { return kWebPage; }

} // namespace vextral::codecs
