#pragma once

#include "codecs/OutputFormats.h"
#include "harvest/IconCatalogue.h"
#include "settings/Settings.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vextral::exporting {

// One gallery run: numbered pictures of a range of catalogue icons and the
// page index.htm that shows them in a table, all in one folder. The texts are
// the dialog's fields as typed; the number fields are converted when used.
struct WebPageJob {
    std::string folder;
    std::string title;
    std::string borderText = "1";
    // The column count, read anew at the start of every row.
    std::function<std::string()> columnsText = [] { return std::string("5"); };
    // "All icons", or the 1-based positions typed for "From" and "To".
    bool allIcons = true;
    std::string fromText, toText;
    // When not empty, the icons of the page in their order, as catalogue
    // positions counted from 0, in place of allIcons or From and To; those
    // outside the catalogue are passed over. The pictures are numbered by
    // their place in the page (1.gif, 2.gif, ...), as those of a range are.
    std::vector<int> positions;
    // Index into codecs::webPageFormats(): 0 Bmp, 1 Jpg, 2 Gif.
    int typeIndex = 2;
    // The picture size, read anew for every picture; the cell carries the
    // texts read for its picture.
    std::function<std::string()> widthText = [] { return std::string("32"); };
    std::function<std::string()> heightText = [] { return std::string("32"); };
    settings::Colour background = settings::kWhite;
    int jpegQuality = 86;
    // Draw each icon's picture from its own best image for the size (see
    // BestImage.h) rather than stretch the 32 x 32 picture.
    bool bestImage = false;

    // Called after each picture with the percentage done.
    std::function<void(int percent)> progress;
    // Lets the caller handle its events after each picture; when cancelled()
    // then answers true the run ends without writing the page.
    std::function<void()> pump;
    std::function<bool()> cancelled;

    // What the run did, kept up to date as it goes.
    int written = 0;
    std::vector<std::string> lines; // the page, one entry per line
};

// A field whose text never changes.
inline std::function<std::string()> constantText(std::string text)
{
    return [text = std::move(text)] { return text; };
}

enum class WebPageOutcome { Finished, Cancelled };

// The first position and the number of pictures of the job's range, or the
// listed positions that the catalogue holds. Raises "No icon." when the range
// holds no icon of the catalogue (an empty catalogue, "To" below "From", a
// range wholly past the last icon, a list with no position in the
// catalogue), and the integer conversion error for a position that is not a
// number.
struct WebPageRange {
    long long first = 1, count = 0;
    // The listed icons (0-based), count of them; empty for a range.
    std::vector<int> positions;
};
WebPageRange webPageRange(const IconCatalogue& catalogue, const WebPageJob& job);

// The page's file: the folder and "index.htm" joined by "/".
std::string webPagePath(const std::string& folder);

// Runs the gallery. Refuses an empty folder ("Please select a directory to
// save the web file.") and a range with no icon before writing anything.
// Range positions past the last icon give pictures of plain background colour.
// Stops at the first error (a number that does not convert, a size out of
// range, a file that cannot be created), keeping the pictures written; the
// page is written last, atomically, only when every picture was written.
WebPageOutcome writeWebPage(const IconCatalogue& catalogue, WebPageJob& job);

} // namespace vextral::exporting
