#include "export/IconFile.h"

#include "codecs/ImageBuffer.h"
#include "codecs/Writers.h"
#include "core/Bytes.h"
#include "core/Error.h"
#include "core/FileName.h"
#include "core/ReplacingFile.h"
#include "platform/IconExtractor.h"

#include <algorithm>

namespace vextral::exporting {

void cursorToIcon(std::vector<std::uint8_t>& file)
{
    constexpr std::size_t kHeader = 6, kEntry = 16;
    if (file.size() < kHeader || le16(file.data()) != 0 || le16(file.data() + 2) != 2) return;
    file[2] = 1;
    const std::size_t count = std::min<std::size_t>(le16(file.data() + 4), (file.size() - kHeader) / kEntry);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* e = file.data() + kHeader + i * kEntry;
        // A cursor keeps its hotspot where an icon keeps its planes and depth:
        // the depth comes from the image's own header (PNG images are 32-bit).
        std::uint16_t bits = 0;
        const std::uint64_t size = le32(e + 8), offset = le32(e + 12);
        if (offset + 16 <= file.size() && size >= 16) {
            const std::uint8_t* image = file.data() + offset;
            bits = image[0] == 0x89 && image[1] == 'P' ? 32 : le16(image + 14);
        }
        e[4] = 1;
        e[5] = 0;
        e[6] = static_cast<std::uint8_t>(bits);
        e[7] = static_cast<std::uint8_t>(bits >> 8);
    }
}

void writeIconFile(const Icon& icon, const std::string& sourceFile, int iconIndex, const std::string& fileName)
{
    const platform::IconSource source = platform::reopenIconSource(sourceFile);
    // The file must still hold the icon the user sees, not whatever now
    // stands at its index.
    std::vector<std::uint8_t> bytes;
    if (source.icon(iconIndex) == icon) bytes = source.originalIco(iconIndex);
    if (bytes.empty()) bytes = platform::iconToIcoBytes(icon);
    // A cursor saved under a cursor's name stays a cursor, hotspots and all.
    if (lowerExtension(fileName) != ".cur") cursorToIcon(bytes);
    writeFileAtomically(fileName, bytes);
}

void writeSaveChoice(codecs::ImageBuffer& picture, const OriginalIcon* original, codecs::SaveFilterChoice choice,
                     const std::string& fileName)
{
    std::optional<codecs::OutputFormat> format = codecs::savedFormat(choice.format, fileName);
    if (!format) throw Error(unknownExtensionMessage(fileName));
    // A name ending .ico typed under another entry: the icon itself, as its
    // own entry would write it.
    if (*format != choice.format && *format == codecs::OutputFormat::Ico && original)
        format = codecs::OutputFormat::OriginalIcon;
    // A harvested cursor saved as a cursor file is the cursor itself.
    if (*format == codecs::OutputFormat::Cur && original && original->cursor)
        format = codecs::OutputFormat::OriginalIcon;
    const codecs::OutputFormatRow& row = codecs::outputFormat(*format);
    if (row.writes == codecs::Writes::OriginalIcon && original) {
        writeIconFile(original->icon, original->sourceFile, original->iconIndex, fileName);
    } else {
        codecs::writeToFile(row.writer, picture, fileName);
    }
}

void writeCatalogueIcon(const IconCatalogue& catalogue, int i, codecs::ImageBuffer& picture,
                        codecs::SaveFilterChoice choice, const std::string& fileName)
{
    const IconRecord& record = catalogue.record(i);
    const OriginalIcon original {catalogue.image(i), record.sourceFile, record.iconIndex, record.cursor};
    writeSaveChoice(picture, &original, choice, fileName);
}

} // namespace vextral::exporting
