#include "export/IconFile.h"

#include "codecs/ImageBuffer.h"
#include "platform/IconExtractor.h"

namespace vextral::exporting {

void writeIconFile(const Icon& icon, const std::string& sourceFile, int iconIndex, const std::string& fileName)
{
    std::vector<std::uint8_t> bytes = platform::IconSource::open(sourceFile).originalIco(iconIndex);
    if (bytes.empty()) bytes = platform::iconToIcoBytes(icon);
    codecs::FileSink file(fileName);
    file.write(bytes);
    file.close();
}

void writeCatalogueIcon(const IconCatalogue& catalogue, int i, codecs::ImageBuffer& picture,
                        codecs::SaveFilterChoice choice, const std::string& fileName)
{
    const codecs::OutputFormatRow& format = codecs::outputFormat(choice.format);
    if (format.writes == codecs::Writes::OriginalIcon) {
        const IconRecord& record = catalogue.record(i);
        writeIconFile(catalogue.image(i), record.sourceFile, record.iconIndex, fileName);
    } else if (choice.route == codecs::SaveRoute::ByExtension) {
        picture.saveToFile(fileName);
    } else {
        format.writer(picture, fileName);
    }
}

} // namespace vextral::exporting
