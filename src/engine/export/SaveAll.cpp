#include "export/SaveAll.h"

#include "codecs/ImageBuffer.h"
#include "core/Error.h"
#include "core/FileName.h"
#include "core/OutputNames.h"
#include "core/Percent.h"
#include "core/Text.h"
#include "export/BestImage.h"
#include "export/EachImage.h"
#include "export/IconFile.h"

#include <set>

namespace vextral::exporting {

namespace {

// The catalogue positions a run saves: every icon, or those listed that the
// catalogue holds, in the list's order.
std::vector<int> savedPositions(const IconCatalogue& catalogue, const std::vector<int>& listed)
{
    std::vector<int> chosen;
    if (listed.empty()) {
        chosen.resize(static_cast<std::size_t>(catalogue.itemCount()));
        for (std::size_t i = 0; i < chosen.size(); ++i) chosen[i] = static_cast<int>(i);
        return chosen;
    }
    for (const int i : listed) {
        if (i >= 0 && i < catalogue.itemCount()) chosen.push_back(i);
    }
    if (chosen.empty()) throw Error("No icon.");
    return chosen;
}

void countEachImage(SaveAllJob& job, const EachImageCounts& counts)
{
    job.written += counts.written;
    job.renamed += counts.renamed;
    job.renamedForInputs += counts.renamedForInputs;
    job.unreadableImages += counts.unreadable;
}

} // namespace

std::string saveAllName(const SaveAllNaming& naming, const IconRecord& record, int k, codecs::OutputFormat format)
{
    // A cursor in its original form is a cursor file.
    const bool cursorFile = record.cursor && codecs::outputFormat(format).writes == codecs::Writes::OriginalIcon;
    const std::string extension =
        cursorFile ? std::string(".cur") : std::string(".") + codecs::outputFormat(format).extension;
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
    job.total = job.written = job.iconsSaved = job.renamed = job.renamedForInputs = job.unreadableImages = 0;
    job.stopped = false;
    codecs::ImageBuffer buffer;
    buffer.setBackground(settings::kWhite);
    buffer.setKeepTransparency(job.transparent);
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
    const std::vector<int> chosen = savedPositions(catalogue, job.positions);
    const int total = static_cast<int>(chosen.size());
    job.total = total;
    for (int done = 1; done <= total; ++done) {
        const int i = chosen[static_cast<std::size_t>(done - 1)];
        const codecs::Writes writes = codecs::outputFormat(job.format).writes;
        if (writes == codecs::Writes::EachImage) {
            // Several files an icon, at their own sizes: nothing to draw.
            EachImageCounts counts;
            try {
                writeCatalogueEachImage(catalogue, i, prefix, names, counts);
            } catch (...) {
                countEachImage(job, counts);
                throw;
            }
            countEachImage(job, counts);
        } else {
            const std::string name = saveAllName(job.naming, catalogue.record(i), i + 1, job.format);
            const int width = integerFromText(job.widthText(), "Width");
            const int height = integerFromText(job.heightText(), "Height");
            // The original-icon format writes the source's own images: nothing to draw from them.
            if (job.bestImage && writes != codecs::Writes::OriginalIcon) {
                drawBestImage(buffer, catalogue, i, width, height);
            } else {
                buffer.drawIcon(catalogue.image(i));
                buffer.resample(width, height);
            }
            buffer.params().jpegQuality = job.jpegQuality;
            const OutputNames::Choice choice = names.claim(prefix + name);
            if (choice.clash == OutputNames::Clash::Output) ++job.renamed;
            if (choice.clash == OutputNames::Clash::Input) ++job.renamedForInputs;
            writeCatalogueIcon(catalogue, i, buffer, {job.format}, choice.path);
            ++job.written;
        }
        ++job.iconsSaved;
        if (job.progress) job.progress(percent(done, total));
        if (job.pump) job.pump();
        // Nothing of the catalogue is touched once the user has cancelled:
        // the window may already have let it change.
        if (done < total && job.cancelled && job.cancelled()) {
            job.stopped = true;
            break;
        }
    }
    return job.written;
}

} // namespace vextral::exporting
