#include "export/SaveAll.h"

#include "codecs/GifLzw.h"
#include "codecs/ImageBuffer.h"
#include "core/Error.h"
#include "core/FileName.h"
#include "core/Percent.h"
#include "core/Text.h"
#include "export/IconFile.h"

namespace vextral::exporting {

std::string saveAllName(const SaveAllNaming& naming, const IconRecord& record, int k, codecs::OutputFormat format)
{
    const std::string extension = std::string(".") + codecs::outputFormat(format).extension;
    if (naming.byFilename) return fileNamePart(record.sourceFile) + "_" + std::to_string(record.iconIndex) + extension;
    const std::string prefix = naming.prefix.empty() ? "Icon" : naming.prefix;
    return prefix + std::to_string(k) + extension;
}

int saveAll(const IconCatalogue& catalogue, const std::string& folder, SaveAllJob& job)
{
    if (folder.empty()) throw Error("Please select a folder to save icons.");
    codecs::ImageBuffer buffer;
    codecs::attachLzwCoders(buffer.params());
    buffer.setBackground(settings::kWhite);
    if (!job.naming.byFilename && job.naming.prefix.empty()) job.naming.prefix = "Icon";
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    int written = 0;
    for (int k = 1; k <= catalogue.itemCount(); ++k) {
        const std::string path = prefix + saveAllName(job.naming, catalogue.record(k - 1), k, job.format);
        buffer.drawIcon(catalogue.image(k - 1));
        const int width = integerFromText(job.widthText());
        const int height = integerFromText(job.heightText());
        buffer.resample(width, height);
        buffer.params().jpegQuality = job.jpegQuality;
        writeCatalogueIcon(catalogue, k - 1, buffer, {job.format, codecs::SaveRoute::Writer}, path);
        ++written;
        if (job.progress) job.progress(percent(k, catalogue.itemCount()));
    }
    return written;
}

} // namespace vextral::exporting
