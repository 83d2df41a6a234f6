#include "export/EachImage.h"

#include "codecs/IconPicture.h"
#include "codecs/Writers.h"
#include "core/FileName.h"
#include "core/Sink.h"

#include <set>

namespace vextral::exporting {

namespace {

void writeArgbPng(const codecs::IconPicture& picture, const std::string& wanted, OutputNames& names,
                  EachImageCounts& counts)
{
    const OutputNames::Choice target = names.claim(wanted);
    FileSink sink(target.path);
    codecs::writePngArgb(picture.width, picture.height, picture.argb(), sink);
    sink.commit();
    ++counts.written;
    if (target.clash == OutputNames::Clash::Output) ++counts.renamed;
    if (target.clash == OutputNames::Clash::Input) ++counts.renamedForInputs;
}

std::string inFolder(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

std::string eachImageName(const std::string& sourceFile, int iconIndex, const codecs::ImageInfo& image)
{
    return fileNamePart(sourceFile) + "_" + std::to_string(iconIndex) + "_" + std::to_string(image.width) + "x" +
           std::to_string(image.height) + "x" + std::to_string(image.bits) + ".png";
}

void writeEachImage(const platform::IconSource& source, const std::string& sourceFile, int index,
                    const std::string& folder, OutputNames& names, EachImageCounts& counts)
{
    // A bitmap file's one image is the picture the harvest makes of it.
    if (source.kind() == platform::IconFileKind::Bmp) {
        if (const auto icon = source.icon(index)) {
            const codecs::ImageInfo info {Icon::kSize, Icon::kSize, 24};
            writeArgbPng(codecs::pictureOfIcon(*icon), inFolder(folder, eachImageName(sourceFile, index, info)), names,
                         counts);
        } else {
            ++counts.unreadable;
        }
        return;
    }
    const std::vector<platform::IconImageEntry> entries = source.images(index);
    // Entries naming one image give one file, as the icon file rebuilt from
    // a group holds each image once.
    std::set<int> done;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const platform::IconImageEntry& entry = entries[k];
        if (entry.image >= 0 && !done.insert(entry.image).second) continue;
        const auto picture = entry.info ? source.imagePicture(index, static_cast<int>(k)) : std::nullopt;
        if (!picture) {
            ++counts.unreadable;
            continue;
        }
        writeArgbPng(*picture, inFolder(folder, eachImageName(sourceFile, index, *entry.info)), names, counts);
    }
}

void writeCatalogueEachImage(const IconCatalogue& catalogue, int i, const std::string& folder, OutputNames& names,
                             EachImageCounts& counts)
{
    const IconRecord& record = catalogue.record(i);
    const Icon shown = catalogue.image(i);
    const platform::IconSource source = platform::reopenIconSource(record.sourceFile);
    if (source.icon(record.iconIndex) == shown) {
        const int before = counts.written + counts.unreadable;
        writeEachImage(source, record.sourceFile, record.iconIndex, folder, names, counts);
        if (counts.written + counts.unreadable > before) return;
    }
    const codecs::ImageInfo info {Icon::kSize, Icon::kSize, shown.hasAlpha ? 32 : 24};
    writeArgbPng(codecs::pictureOfIcon(shown),
                 inFolder(folder, eachImageName(record.sourceFile, record.iconIndex, info)), names, counts);
}

} // namespace vextral::exporting
