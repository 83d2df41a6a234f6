#include "export/SaveAll.h"

#include "codecs/GifLzw.h"
#include "codecs/IconFileWriter.h"
#include "codecs/ImageBuffer.h"
#include "codecs/Writers.h"
#include "core/Error.h"
#include "harvest/Percent.h"
#include "settings/ProfileFile.h"

namespace vextral::exporting {

namespace {

constexpr const char* kExtensions[kSaveAllTypes] = {".ico", ".bmp", ".jpg", ".gif", ".ico",
                                                    ".cur", ".pcx", ".wmf", ".png", ".tga"};

std::string fileNamePart(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

const char* saveAllExtension(SaveAllType type) { return kExtensions[static_cast<int>(type)]; }

std::string saveAllName(const SaveAllNaming& naming, const IconRecord& record, int k, SaveAllType type)
{
    if (naming.byFilename) {
        return fileNamePart(record.sourceFile) + "_" + std::to_string(record.iconIndex) + saveAllExtension(type);
    }
    const std::string prefix = naming.prefix.empty() ? "Icon" : naming.prefix;
    return prefix + std::to_string(k) + saveAllExtension(type);
}

int integerFromText(const std::string& text)
{
    const auto value = settings::parseInteger(text);
    if (!value) throw Error("'" + text + "' is not a valid integer value");
    return *value;
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
        const IconRecord& record = catalogue.record(k - 1);
        const std::string path = prefix + saveAllName(job.naming, record, k, job.type);
        buffer.drawIcon(catalogue.image(k - 1));
        const int width = integerFromText(job.widthText());
        const int height = integerFromText(job.heightText());
        buffer.resample(width, height);
        buffer.params().jpegQuality = job.jpegQuality;
        switch (job.type) {
        case SaveAllType::StandardIcon:
            codecs::writeIconFile(catalogue.image(k - 1), record.sourceFile, record.iconIndex, path);
            break;
        case SaveAllType::Bmp: codecs::writeBmp(buffer, path); break;
        case SaveAllType::Jpg: codecs::writeJpeg(buffer, path); break;
        case SaveAllType::Gif: codecs::writeGif(buffer, path); break;
        case SaveAllType::Pcx: codecs::writePcx(buffer, path); break;
        case SaveAllType::Png: codecs::writePng(buffer, path); break;
        case SaveAllType::Tga: codecs::writeTga(buffer, path); break;
        case SaveAllType::Icon:
        case SaveAllType::Cur:
        case SaveAllType::Wmf: buffer.saveToFile(path); break;
        }
        ++written;
        if (job.progress) job.progress(percent(k, catalogue.itemCount()));
    }
    return written;
}

} // namespace vextral::exporting
