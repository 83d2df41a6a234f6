#include "export/SaveAll.h"

#include "codecs/ImageBuffer.h"
#include "core/Error.h"
#include "core/FileName.h"
#include "core/OutputNames.h"
#include "core/Percent.h"
#include "core/Text.h"
#include "export/BestImage.h"
#include "export/IconFile.h"

#include <set>

namespace vextral::exporting {

std::string saveAllName(const SaveAllNaming& naming, const IconRecord& record, int k, codecs::OutputFormat format)
{
    const std::string extension = std::string(".") + codecs::outputFormat(format).extension;
    if (naming.byFilename) return fileNamePart(record.sourceFile) + "_" + std::to_string(record.iconIndex) + extension;
    const std::string prefix = naming.prefix.empty() ? "Icon" : naming.prefix;
    return prefix + std::to_string(k) + extension;
}

void checkSaveAllPrefix(const std::string& prefix)
{
    if (prefix.find('/') != std::string::npos) {
        throw Error("The name prefix '" + prefix + "' cannot contain \"/\": the files are saved in the folder chosen");
    }
}

int saveAll(const IconCatalogue& catalogue, const std::string& folder, SaveAllJob& job)
{
    if (folder.empty()) throw Error("Please select a folder to save icons.");
    job.written = job.renamed = job.renamedForInputs = 0;
    job.stopped = false;
    codecs::ImageBuffer buffer;
    buffer.setBackground(settings::kWhite);
    if (!job.naming.byFilename && job.naming.prefix.empty()) job.naming.prefix = "Icon";
    if (!job.naming.byFilename) checkSaveAllPrefix(job.naming.prefix);
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    // The icons of one file, drawn one after another, share its source.
    const BestImageRun run;
    // Every harvested file is kept from harm, not only those of icons saved so far.
    OutputNames names;
    std::set<std::string> sources;
    for (int k = 0; k < catalogue.itemCount(); ++k) {
        if (sources.insert(catalogue.record(k).sourceFile).second) names.addInput(catalogue.record(k).sourceFile);
    }
    const int total = catalogue.itemCount();
    for (int k = 1; k <= total; ++k) {
        const std::string name = saveAllName(job.naming, catalogue.record(k - 1), k, job.format);
        const int width = integerFromText(job.widthText(), "Width");
        const int height = integerFromText(job.heightText(), "Height");
        // The original-icon format writes the source's own images: nothing to draw from them.
        if (job.bestImage && codecs::outputFormat(job.format).writes != codecs::Writes::OriginalIcon) {
            drawBestImage(buffer, catalogue, k - 1, width, height);
        } else {
            buffer.drawIcon(catalogue.image(k - 1));
            buffer.resample(width, height);
        }
        buffer.params().jpegQuality = job.jpegQuality;
        const OutputNames::Choice choice = names.claim(prefix + name);
        if (choice.clash == OutputNames::Clash::Output) ++job.renamed;
        if (choice.clash == OutputNames::Clash::Input) ++job.renamedForInputs;
        writeCatalogueIcon(catalogue, k - 1, buffer, {job.format}, choice.path);
        ++job.written;
        if (job.progress) job.progress(percent(k, total));
        if (job.pump) job.pump();
        // Nothing of the catalogue is touched once the user has cancelled:
        // the window may already have let it change.
        if (k < total && job.cancelled && job.cancelled()) {
            job.stopped = true;
            break;
        }
    }
    return job.written;
}

} // namespace vextral::exporting
