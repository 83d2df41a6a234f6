#include "cli/CliConvert.h"

#include "cli/Arguments.h"
#include "cli/CliSupport.h"
#include "cli/FrontDoor.h"
#include "cli/ShownText.h"
#include "cli/StandardInput.h"
#include "codecs/ImageBuffer.h"
#include "codecs/OutputFormats.h"
#include "codecs/Writers.h"
#include "core/FileName.h"
#include "core/OutputNames.h"
#include "platform/PictureFile.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string_view>

namespace vextral::cli {

const char* const kConvertUsage = "Usage: vextral-cli convert --to FORMAT|OUT [options] FILE...\n"
                                  "\n"
                                  "Converts pictures into another format. FILE may be any picture the desktop\n"
                                  "program's converter loads, chosen by its extension (letter case ignored):\n"
                                  "png, cut, pcd, pbm, pgm, ppm, pdd, psd, bw, rgb, rgba, sgi, rla, rpf, scr,\n"
                                  "pcc, pcx, fax, tif, tiff, icb, tga, vda, vst, win, bmp, dib, rle, jpeg, jpg,\n"
                                  "jpe, jfif, eps (its TIFF preview), gif, ico, wmf. Transparent parts are\n"
                                  "drawn over white; an icon is drawn at 32x32 as the desktop shows it. A GIF\n"
                                  "keeps its colour depth: a 16-colour GIF becomes a 4-bit PCX, for example.\n"
                                  "Options that take a value may also be written --option=VALUE.\n"
                                  "\n"
                                  "A FILE of \"-\" is standard input (once; up to 1 GiB; \"./-\" is the file\n"
                                  "\"-\"), listed as \"-\". Its format is told by its first bytes (png, jpg,\n"
                                  "gif, bmp, tif, ico, psd, sgi, pbm, pgm, ppm) or named with --from; with\n"
                                  "--to FORMAT it is written as stdin.<format>.\n"
                                  "\n"
                                  "  --to OUT        write the one FILE as OUT, in the format of OUT's extension:\n"
                                  "                  bmp, jpg, jpeg, gif, pcx, tga, png, tif, tiff, ico, cur, wmf\n"
                                  "  --to FORMAT     write every FILE in FORMAT (one of those extensions, written\n"
                                  "                  without a dot), named after the FILE with the format's\n"
                                  "                  extension: photo.png becomes photo.gif\n"
                                  "  --out DIR       with --to FORMAT: write into DIR (created if missing)\n"
                                  "                  instead of the current folder\n"
                                  "  --quality N     JPEG quality from 0 to 100 (default 86)\n"
                                  "  --from EXT      read standard input (\"-\") as a file of extension EXT,\n"
                                  "                  any of those above (tga, pcx, ...)\n"
                                  "  --version       show the version\n"
                                  "  --help          show this help\n"
                                  "\n"
                                  "Each converted file is listed as FILE -> OUT. Existing files are replaced,\n"
                                  "but never a FILE of the run (also through a link) nor a file the run\n"
                                  "wrote before: such an OUT gets \" (2)\", \" (3)\", ... before its\n"
                                  "extension, and a last line tells how many were renamed.\n"
                                  "\n"
                                  "Exit status: 0 when every file was converted, 1 when a file could not be\n"
                                  "read or written, 2 for a usage error.\n";

namespace {

constexpr const char* kCommand = "vextral-cli convert";
constexpr int kDefaultQuality = 86;

// What --to names: one output file, or a format for every input.
struct Target {
    std::optional<std::string> file;
    codecs::OutputFormat format = codecs::OutputFormat::Png;
};

// A value with a dot or a slash is a file name; anything else a format.
Target targetOf(const std::string& to, std::size_t files, bool outDir)
{
    Target t;
    if (to.find_first_of("./") == std::string::npos) {
        const auto format = codecs::pictureFormatForExtension(to);
        if (!format) throw UsageError("unknown format '" + to + "' for --to");
        t.format = *format;
        return t;
    }
    const auto format = codecs::pictureFormatForExtension(lowerExtension(to));
    if (!format) {
        throw UsageError("--to " + to + ": the extension names no format Vextral writes " +
                         "(bmp, jpg, jpeg, gif, pcx, tga, png, tif, tiff, ico, cur, wmf)");
    }
    if (files > 1) throw UsageError("--to FILE takes one input; convert several with --to FORMAT");
    if (outDir) throw UsageError("--out DIR goes with --to FORMAT, not with an output file name");
    t.file = to;
    t.format = *format;
    return t;
}

struct Options final : CommandOptions {
    std::optional<std::string> to;
    std::optional<std::string> outDir;
    int quality = kDefaultQuality;
    std::optional<codecs::PictureInput> from;
    Target target;

    bool option(Arguments& a) override
    {
        const std::string& name = a.name();
        if (name == "--to") {
            to = a.value();
        } else if (name == "--out") {
            outDir = a.folderValue();
        } else if (name == "--quality") {
            quality = a.intValue(0, 100);
        } else if (name == "--from") {
            const std::string extension = a.value();
            from = codecs::pictureInputFor("stdin." + extension);
            if (extension.find_first_of("./") != std::string::npos || !from)
                throw UsageError("unknown picture format '" + extension + "' for --from");
        } else {
            return false;
        }
        return true;
    }
    void check() override
    {
        if (!to) throw UsageError("say what to convert to with --to FORMAT or --to OUT");
        if (operands.empty()) throw UsageError("name at least one file to convert");
        checkStandardInputOnce(operands);
        target = targetOf(*to, operands.size(), outDir.has_value());
    }
};

// The name part of path without its last extension: "dir/photo.png" -> "photo".
std::string baseName(const std::string& path)
{
    if (namesStandardInput(path)) return kStandardInputName;
    const std::string name = fileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Where --to FORMAT writes path's picture, before any renaming.
std::string outputName(const std::string& path, const std::string& dir, const char* extension)
{
    const std::string name = baseName(path) + "." + extension;
    return dir.empty() ? name : (std::filesystem::path(dir) / name).string();
}

// The input format of a picture's first bytes, for the formats that say
// theirs; nothing for the others.
std::optional<codecs::PictureInput> sniffedInput(std::span<const std::uint8_t> bytes)
{
    // string_view literals, so that the NUL bytes of a magic count.
    using namespace std::string_view_literals;
    const auto starts = [&](std::string_view magic) {
        return bytes.size() >= magic.size() && std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
    };
    const char* extension = nullptr;
    if (starts("\x89PNG\r\n\x1a\n"sv)) {
        extension = "png";
    } else if (starts("\xff\xd8\xff"sv)) {
        extension = "jpg";
    } else if (starts("GIF87a"sv) || starts("GIF89a"sv)) {
        extension = "gif";
    } else if (starts("BM"sv)) {
        extension = "bmp";
    } else if (starts("II*\0"sv) || starts("MM\0*"sv)) {
        extension = "tif";
    } else if (starts("\0\0\1\0"sv)) {
        extension = "ico";
    } else if (starts("8BPS"sv)) {
        extension = "psd";
    } else if (starts("\x01\xda"sv)) {
        extension = "sgi";
    } else if (starts("P1"sv) || starts("P4"sv)) {
        extension = "pbm";
    } else if (starts("P2"sv) || starts("P5"sv)) {
        extension = "pgm";
    } else if (starts("P3"sv) || starts("P6"sv)) {
        extension = "ppm";
    }
    if (!extension) return std::nullopt;
    return codecs::pictureInputFor(std::string("stdin.") + extension);
}

// Loads the picture of in, a file or standard input ("-", read as from says
// or as its first bytes tell).
ReadStatus loadInput(codecs::ImageBuffer& buffer, const std::string& in,
                     const std::optional<codecs::PictureInput>& from)
{
    if (!namesStandardInput(in)) return platform::loadPicture(buffer, in);
    const auto bytes = readStandardInput();
    if (!bytes) return readFailure(bytes.reason());
    const auto input = from ? from : sniffedInput(*bytes);
    if (!input) return readFailure("cannot tell the picture format of standard input; name it with --from EXT");
    return platform::loadPicture(buffer, *bytes, *input);
}

// What the run did, for its last line.
struct Tally {
    int converted = 0, renamed = 0, renamedForInputs = 0;
};

// Reads one file and writes it under the name names gives for wanted; a
// message on err when either fails. The name is claimed once the picture is
// read, so a file that cannot be read takes none.
bool convert(const std::string& in, const std::string& wanted, const Options& o, OutputNames& names, Tally& tally,
             std::ostream& output, std::ostream& err)
{
    // A buffer of its own for every file: what a GIF leaves in the
    // parameters applies to its own output only.
    codecs::ImageBuffer buffer;
    buffer.params().jpegQuality = o.quality;
    OutputNames::Choice out;
    try {
        loadInput(buffer, in, o.from).raiseIfFailed();
        out = names.claim(wanted);
        codecs::writeToFile(codecs::outputFormat(o.target.format).writer, buffer, out.path);
    } catch (const std::exception& e) {
        err << kCommand << ": " << shownText(in) << ": " << shownText(e.what()) << "\n";
        return false;
    }
    output << shownText(in) << " -> " << shownText(out.path) << "\n";
    ++tally.converted;
    if (out.clash == OutputNames::Clash::Output) ++tally.renamed;
    if (out.clash == OutputNames::Clash::Input) ++tally.renamedForInputs;
    return true;
}

// Converts every file named.
int convertFiles(const Options& o, std::ostream& out, std::ostream& err)
{
    // Every input is known before anything is written: a later one is kept as
    // safe as the first.
    OutputNames names;
    for (const std::string& in : o.operands) {
        if (!namesStandardInput(in)) names.addInput(in);
    }
    const Target& t = o.target;
    if (o.outDir && !prepareOutputFolder(*o.outDir, err, kCommand)) return 1;
    const char* extension = codecs::outputFormat(t.format).extension;
    Tally tally;
    int status = 0;
    for (const std::string& in : o.operands) {
        const std::string wanted = t.file ? *t.file : outputName(in, o.outDir.value_or(""), extension);
        if (!convert(in, wanted, o, names, tally, out, err)) status = 1;
    }
    // Said only when names were changed.
    if (tally.renamed + tally.renamedForInputs > 0) {
        out << "Converted " << counted(tally.converted, "file")
            << renamedText(tally.renamed, "because an earlier file was converted to the same name")
            << renamedText(tally.renamedForInputs, "so as not to overwrite an input file") << "\n";
    }
    return status;
}

} // namespace

int runConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressToTerminal)
{
    Options o;
    return runCommand("convert", kConvertUsage, args, o, {out, err, progressToTerminal},
                      [&] { return convertFiles(o, out, err); });
}

} // namespace vextral::cli
