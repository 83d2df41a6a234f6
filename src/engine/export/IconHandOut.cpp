#include "export/IconHandOut.h"

#include "codecs/Writers.h"
#include "core/FileName.h"
#include "core/OutputNames.h"
#include "core/Sink.h"
#include "export/BestImage.h"
#include "export/IconFile.h"

#include <algorithm>

namespace vextral::exporting {

HandOutFiles writeHandOutFiles(const IconCatalogue& catalogue, const std::vector<int>& positions, int side,
                               const std::string& folder)
{
    HandOutFiles files;
    OutputNames names;
    const BestImageRun run; // the icons of one file share its source
    for (const int i : positions) {
        if (i < 0 || i >= catalogue.itemCount() || i >= catalogue.imageCount()) continue;
        const IconRecord& record = catalogue.record(i);
        const std::string stem =
            folder + "/" + fileNamePart(record.sourceFile) + "_" + std::to_string(record.iconIndex);

        const std::string png = names.claim(stem + ".png").path;
        const codecs::IconPicture picture = renderCatalogueBestImage(catalogue, i, side, side);
        FileSink sink(png);
        codecs::writePngArgb(picture.width, picture.height, picture.argb(), sink);
        sink.commit();
        files.pngs.push_back(png);

        const std::string ico = names.claim(stem + ".ico").path;
        writeIconFile(catalogue.image(i), record.sourceFile, record.iconIndex, ico);
        files.icos.push_back(ico);
    }
    return files;
}

} // namespace vextral::exporting
