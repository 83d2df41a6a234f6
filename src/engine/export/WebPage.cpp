#include "export/WebPage.h"

#include "codecs/ImageBuffer.h"
#include "codecs/Picture.h"
#include "codecs/Writers.h"
#include "core/Error.h"
#include "core/FileName.h"
#include "core/OutputFolder.h"
#include "core/OutputNames.h"
#include "core/Percent.h"
#include "core/ReplacingFile.h"
#include "core/Text.h"
#include "export/BestImage.h"

#include <algorithm>
#include <set>

namespace vextral::exporting {

namespace {

constexpr const char* kEol = "\r\n";
// The page is UTF-8; the mark lets a browser know it without a meta tag.
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

// A picture's file name as the page's src: blanks (of a renamed "3 (2).bmp") as %20.
std::string cellSource(const std::string& name)
{
    std::string out;
    for (const char c : name) {
        if (c == ' ') {
            out += "%20";
        } else {
            out += c;
        }
    }
    return markupEscaped(out);
}

void writePage(const std::string& path, const std::vector<std::string>& lines)
{
    std::string text = kByteOrderMark;
    for (const std::string& line : lines) text += line + kEol;
    writeFileAtomically(path, text);
}

void finishPage(WebPageJob& job)
{
    job.lines.push_back("</table>");
    job.lines.push_back("</body>");
    job.lines.push_back("</html>");
    writePage(webPagePath(job.folder), job.lines);
}

} // namespace

std::string webPagePath(const std::string& folder)
{
    return (!folder.empty() && folder.back() == '/' ? folder : folder + "/") + "index.htm";
}

WebPageRange webPageRange(const IconCatalogue& catalogue, const WebPageJob& job)
{
    WebPageRange range;
    const long long icons = catalogue.itemCount();
    if (!job.positions.empty()) {
        for (const int i : job.positions) {
            if (i >= 0 && i < icons) range.positions.push_back(i);
        }
        range.count = static_cast<long long>(range.positions.size());
        if (range.count == 0) throw Error("No icon.");
        return range;
    }
    if (job.allIcons) {
        range.count = icons;
    } else {
        range.first = integerFromText(job.fromText, "From");
        range.count = static_cast<long long>(integerFromText(job.toText, "To")) - range.first + 1;
    }
    const long long last = range.first + range.count - 1;
    if (range.count < 1 || range.first > icons || last < 1) throw Error("No icon.");
    return range;
}

WebPageOutcome writeWebPage(const IconCatalogue& catalogue, WebPageJob& job)
{
    // The icons of one file, drawn one after another, share its source.
    const BestImageRun run;
    job.written = 0;
    job.lines.clear();
    if (job.folder.empty()) throw Error("Please select a directory to save the web file.");
    const auto formats = codecs::webPageFormats();
    if (job.typeIndex < 0 || job.typeIndex >= static_cast<int>(formats.size())) {
        throw Error("Unknown picture type " + std::to_string(job.typeIndex));
    }
    const codecs::OutputFormat format = formats[static_cast<std::size_t>(job.typeIndex)];
    const codecs::OutputFormatRow& row = codecs::outputFormat(format);
    const WebPageRange range = webPageRange(catalogue, job);
    // A folder typed that is not there yet is made; one that cannot be used
    // is refused before any picture is drawn.
    if (const std::string problem = prepareOutputFolder(job.folder); !problem.empty())
        throw Error("Cannot use folder " + job.folder + ": " + problem);

    OutputNames names;
    std::set<std::string> sources;
    for (int k = 0; k < std::min(catalogue.itemCount(), catalogue.recordCount()); ++k) {
        if (sources.insert(catalogue.record(k).sourceFile).second) names.addInput(catalogue.record(k).sourceFile);
    }

    codecs::ImageBuffer buffer;
    buffer.setBackground(job.background);
    buffer.params().jpegQuality = job.jpegQuality;
    const std::string folder = job.folder.back() == '/' ? job.folder : job.folder + "/";

    job.lines = {"<html>",
                 "<head>",
                 "<title>" + markupEscaped(job.title) + "</title>",
                 "<meta name=\"Icon Web Page\" content=\"Vextral 2.0\">",
                 "</head>",
                 "<table border=\"" + markupEscaped(job.borderText) + "\">"};
    long long n = 0;
    for (long long r = 0; r <= range.count; ++r) {
        job.lines.push_back("<tr>");
        const std::string columnsText = job.columnsText();
        const int columns = integerFromText(columnsText, "Column Count");
        // Rows without cells would only grow the page, never finish it.
        if (columns < 1) throw Error("The column count " + columnsText + " is too small: at least 1 is needed");
        for (int c = 0; c < columns; ++c) {
            ++n;
            const long long position = range.positions.empty() ? range.first + n - 1 // 1-based
                                                               : range.positions[static_cast<std::size_t>(n - 1)] + 1;
            const bool isIcon = position >= 1 && position <= catalogue.itemCount();
            const bool sharp = isIcon && job.bestImage;
            // A best image is drawn below, at the size read for the picture.
            if (isIcon && !sharp) {
                buffer.drawIcon(catalogue.image(static_cast<int>(position - 1)));
            } else {
                buffer.picture() = codecs::Picture::make(Icon::kSize, Icon::kSize, 24);
                buffer.clear();
            }
            const std::string widthText = job.widthText(), heightText = job.heightText();
            const int width = integerFromText(widthText, "Width");
            const int height = integerFromText(heightText, "Height");
            if (width < 1 || height < 1) {
                throw Error("The picture size " + std::to_string(width) + " x " + std::to_string(height) +
                            " is too small: each side must be at least 1 pixel");
            }
            codecs::checkPictureSize(width, height);
            if (sharp) {
                drawBestImage(buffer, catalogue, static_cast<int>(position - 1), width, height);
            } else {
                buffer.resample(width, height);
            }
            // A harvested file of the folder that bears the picture's name keeps
            // it: the picture is written as "n (2).ext" and the cell says so.
            const std::string picture = names.claim(folder + std::to_string(n) + "." + row.extension).path;
            codecs::writeToFile(row.writer, buffer, picture);
            ++job.written;
            job.lines.push_back("<th><img src=\"" + cellSource(fileNamePart(picture)) + "\" height=" +
                                markupEscaped(heightText) + " width=" + markupEscaped(widthText) + "></th>");
            if (job.pump) job.pump();
            if (job.cancelled && job.cancelled()) return WebPageOutcome::Cancelled;
            if (job.progress) job.progress(percent(n, range.count));
            if (n >= range.count) {
                finishPage(job);
                return WebPageOutcome::Finished;
            }
        }
        job.lines.push_back("</tr>");
    }
    finishPage(job);
    return WebPageOutcome::Finished;
}

} // namespace vextral::exporting
