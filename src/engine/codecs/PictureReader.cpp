#include "codecs/PictureReader.h"

#include "codecs/MagickPlugin.h" // kMagickPackage
#include "codecs/Readers.h"
#include "core/Bytes.h"
#include "core/Error.h"
#include "core/FileDescriptor.h"
#include "core/FileName.h"
#include "core/Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vextral::codecs {

namespace {

using K = PictureReaderKind;

constexpr char kBitmap[] = "Bitmap image is not valid";
constexpr char kMetafile[] = "Metafile is not valid";

// Every format family the converter reads, with its extensions. The readers
// of the Windows toolkit (bitmap, icon, metafile) have their own fixed texts
// for a damaged file; the other texts get the library's reason added.
struct FamilyRow {
    const char* extensions; // ";"-separated, lower case
    const char* family;
    PictureReaderKind kind;
    const char* magick;
    const char* invalid;
    bool firstFrameOnly;
};
constexpr FamilyRow kFamilies[] = {
    {"png", "PNG", K::Png, "", "PNG image is not valid", false},
    {"psp", "Paintshop Pro", K::Unavailable, "", "", false},
    {"cut", "Dr. Halo", K::Magick, "CUT", "Dr. Halo image is not valid", false},
    {"pcd", "Kodak Photo-CD", K::Magick, "PCD", "Photo-CD image is not valid", false},
    {"pic;cel", "Autodesk", K::Unavailable, "", "", false},
    // Any of the portable formats under any of the three names.
    {"pbm", "Portable bitmap", K::Magick, "PNM", "Portable bitmap image is not valid", true},
    {"pgm", "Portable graymap", K::Magick, "PNM", "Portable graymap image is not valid", true},
    {"ppm", "Portable pixmap", K::Magick, "PNM", "Portable pixmap image is not valid", true},
    {"pdd;psd", "Photoshop", K::Magick, "PSD", "Photoshop image is not valid", true},
    // SGI images under all their names (never raw samples, which ImageMagick
    // would otherwise make of .rgb and .rgba).
    {"bw;rgb;rgba;sgi", "SGI", K::Magick, "SGI", "SGI image is not valid", false},
    {"rla;rpf", "Alias/Wavefront", K::Rla, "", "Alias/Wavefront image is not valid", false},
    // .scr and .pcc are Paintbrush files too (not ZX Spectrum screens).
    {"scr;pcc;pcx", "ZSoft Paintbrush", K::Magick, "PCX", "Paintbrush image is not valid", false},
    // Fax pictures are TIFF class F files.
    {"fax;tif;tiff", "TIFF", K::Magick, "TIFF", "TIFF image is not valid", true},
    {"icb;tga;vda;vst;win", "Truevision Targa", K::Magick, "TGA", "Targa image is not valid", false},
    {"bmp;dib;rle", "Windows bitmap", K::Magick, "BMP", kBitmap, false},
    {"jpeg;jpg;jpe;jfif", "JPEG", K::Jpeg, "", "JPEG image is not valid", false},
    {"gif", "GIF", K::Gif, "", "unrecognized GIF", false},
    {"ico", "Windows icon", K::Icon, "", "Icon image is not valid", false},
    {"emf", "Enhanced Windows metafile", K::Magick, "EMF", kMetafile, false},
    {"wmf", "Windows metafile", K::Magick, "WMF", kMetafile, false},
    {"eps", "Encapsulated PostScript", K::Eps, "TIFF", "EPS image is not valid", false},
};

constexpr const char* kAllImages[] = {"png", "psp",  "cut",  "pcd",  "pic", "cel", "pbm", "pgm", "ppm", "pdd",
                                      "psd", "bw",   "rgb",  "rgba", "sgi", "rla", "rpf", "scr", "pcc", "pcx",
                                      "fax", "tif",  "tiff", "icb",  "tga", "vda", "vst", "win", "bmp", "dib",
                                      "rle", "jpeg", "jpg",  "gif",  "cur", "ico", "emf", "wmf"};

bool isToolkitText(const char* text) { return text == kBitmap || text == kMetafile; }

std::string damagedText(const PictureInput& input, const std::string& reason)
{
    std::string message = input.invalid;
    if (!isToolkitText(input.invalid) && !reason.empty()) message += " (" + reason + ")";
    return message;
}

// Thrown inside this file only, for a format nothing here reads; the reason
// is the whole text.
struct Unavailable {
    std::string text;
};

[[noreturn]] void unavailable(const PictureInput& input, const std::string& why)
{
    throw Unavailable {std::string(input.family) + " pictures (." + input.extension + ") cannot be read: " + why};
}

// Raises the reason when ImageMagick, which reads the input's format, is
// not there: its plugin, or the ImageMagick library the plugin needs, is not
// installed (the package recommends ImageMagick, it does not require it).
void requireMagick(const PictureInput& input)
{
    const MagickAvailability& magick = magickAvailability();
    if (magick.available) return;
    std::string text = std::string(input.family) + " pictures need ImageMagick (package " + kMagickPackage + ")";
    if (!magick.problem.empty()) text += ": " + magick.problem;
    throw Unavailable {text};
}

// Whether the input's format cannot be read here at all, whatever the file.
bool unreadableFormat(const PictureInput& input)
{
    switch (input.kind) {
    case K::Unavailable: return true;
    case K::Eps: return !magickAvailability().available;
    case K::Magick: return !magickReads(input.magick);
    default: return false;
    }
}

ReadFailure cannotOpen(const std::string& fileName, const std::string& reason)
{
    return readFailure("Cannot open file " + fileName + ": " + reason);
}

// Opens a regular file for reading (never blocking on a FIFO) and tells its size.
ReadResult<FileDescriptor> openPictureFile(const std::string& fileName, std::uint64_t& size, const ReaderLimits& limits)
{
    FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return cannotOpen(fileName, std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return cannotOpen(fileName, std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return cannotOpen(fileName, std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode)) return cannotOpen(fileName, "not a regular file");
    size = static_cast<std::uint64_t>(st.st_size);
    if (size > limits.pictureFileBytes) {
        return cannotOpen(fileName,
                          "the file is larger than " + std::to_string(limits.pictureFileBytes >> 20) + " MiB");
    }
    return fd;
}

// A DOS EPS file: a 30-byte header giving where the PostScript and the
// Windows metafile or TIFF previews lie. Only a preview is read: PostScript
// is never run.
Picture readEpsPreview(const FileBytes& file, const PictureInput& input, const ReaderLimits& limits)
{
    const std::span<const std::uint8_t> bytes = file.span();
    requireMagick(input);
    constexpr char kNoPreview[] = "only those with a TIFF or metafile preview are, as PostScript is not interpreted";
    if (bytes.size() < 30 || le32(bytes.data()) != 0xC6D3D0C5u) unavailable(input, kNoPreview);
    const auto slice = [&bytes](std::size_t at) -> std::span<const std::uint8_t> {
        const std::uint32_t offset = le32(bytes.data() + at);
        const std::uint32_t length = le32(bytes.data() + at + 4);
        if (length == 0) return {};
        if (offset > bytes.size() || length > bytes.size() - offset)
            throw DamagedPicture("the preview lies outside the file");
        return bytes.subspan(offset, length);
    };
    std::span<const std::uint8_t> preview = slice(20);
    const char* magick = "TIFF";
    if (preview.empty()) {
        preview = slice(12);
        magick = "WMF";
    }
    if (preview.empty()) unavailable(input, kNoPreview);
    return readMagickPicture(FileBytes::copyOf(preview), magick, true, limits);
}

} // namespace

std::optional<std::pair<long long, long long>> portableMapSize(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '7') return std::nullopt;
    std::size_t at = 2;
    // The next number, passing over white space and "#" comments; -1 when there is none.
    const auto number = [&]() -> long long {
        for (;;) {
            while (at < bytes.size() && std::isspace(bytes[at])) ++at;
            if (at < bytes.size() && bytes[at] == '#') {
                while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != '\r') ++at;
                continue;
            }
            break;
        }
        long long value = -1;
        while (at < bytes.size() && std::isdigit(bytes[at]) && value < (1LL << 40)) {
            value = (value < 0 ? 0 : value * 10) + (bytes[at++] - '0');
        }
        return value;
    };
    if (bytes[1] != '7') {
        const long long width = number(), height = number();
        if (width < 0 || height < 0) return std::nullopt;
        return std::pair(width, height);
    }
    // P7: "WIDTH w" and "HEIGHT h" lines before ENDHDR.
    const std::string header(bytes.begin(),
                             bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), 4096)));
    const auto field = [&header](const char* name) -> long long {
        const std::size_t found = header.find(std::string("\n") + name + " ");
        if (found == std::string::npos) return -1;
        return std::strtoll(header.c_str() + found + std::strlen(name) + 2, nullptr, 10);
    };
    const long long width = field("WIDTH"), height = field("HEIGHT");
    if (width < 0 || height < 0) return std::nullopt;
    return std::pair(width, height);
}

std::optional<PictureInput> pictureInputFor(const std::string& fileName)
{
    const std::string ext = lowerExtension(fileName);
    if (ext.size() < 2) return std::nullopt;
    const std::string want = ext.substr(1);
    for (const FamilyRow& row : kFamilies) {
        const std::string_view list = row.extensions;
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t end = std::min(list.find(';', start), list.size());
            if (list.substr(start, end - start) == want) {
                return PictureInput {want, row.family, row.kind, row.magick, row.invalid, row.firstFrameOnly};
            }
            start = end + 1;
        }
    }
    return std::nullopt;
}

std::span<const char* const> allImagesExtensions() { return kAllImages; }

FileBytes FileBytes::copyOf(std::span<const std::uint8_t> bytes)
{
    FileBytes copy;
    copy.data.reset(static_cast<std::uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size())));
    if (!copy.data) throw std::bad_alloc();
    if (!bytes.empty()) std::memcpy(copy.data.get(), bytes.data(), bytes.size());
    copy.size = bytes.size();
    return copy;
}

ReadStatus checkPictureFile(const std::string& fileName, const ReaderLimits& limits)
{
    std::uint64_t size = 0;
    if (auto fd = openPictureFile(fileName, size, limits); !fd) return readFailure(fd.reason());
    return {};
}

ReadResult<FileBytes> readPictureBytes(const std::string& fileName, const ReaderLimits& limits)
{
    std::uint64_t size = 0;
    auto fd = openPictureFile(fileName, size, limits);
    if (!fd) return readFailure(fd.reason());
    FileBytes bytes;
    bytes.data.reset(static_cast<std::uint8_t*>(std::malloc(size ? static_cast<std::size_t>(size) : 1)));
    if (!bytes.data) return cannotOpen(fileName, std::strerror(ENOMEM));
    while (bytes.size < size) {
        const ssize_t n = ::read(fd->get(), bytes.data.get() + bytes.size, static_cast<std::size_t>(size - bytes.size));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return cannotOpen(fileName, std::strerror(errno));
        if (n == 0) break; // the file shrank: what is there is read
        bytes.size += static_cast<std::size_t>(n);
    }
    return bytes;
}

namespace {

Picture readMagickInput(FileBytes bytes, const PictureInput& input, const ReaderLimits& limits)
{
    requireMagick(input);
    if (!magickReads(input.magick)) unavailable(input, "ImageMagick on this system has no reader for them");
    // A .bmp, .dib or .rle file without the "BM" file header is a bare DIB.
    const char* magick = input.magick;
    if (std::strcmp(magick, "BMP") == 0 &&
        (bytes.size < 2 || bytes.data.get()[0] != 'B' || bytes.data.get()[1] != 'M')) {
        magick = "DIB";
    }
    // ImageMagick's portable map reader loses memory when it only reads the
    // header: their size is read here instead.
    bool sizeChecked = false;
    if (std::strcmp(magick, "PNM") == 0) {
        const auto size = portableMapSize(bytes.span());
        if (!size) throw DamagedPicture("improper image header");
        checkPictureSize(size->first, size->second, limits.pictureSide);
        sizeChecked = true;
    }
    return readMagickPicture(std::move(bytes), magick, input.firstFrameOnly, limits, sizeChecked);
}

} // namespace

ReadResult<Picture> readPicture(FileBytes bytes, const PictureInput& input, const ReaderLimits& limits)
{
    if (input.kind == K::Gif || input.kind == K::Icon) {
        throw std::invalid_argument(std::string(input.family) + " pictures are read through the image buffer");
    }
    try {
        switch (input.kind) {
        case K::Png: return readPngPicture(bytes.span(), limits);
        case K::Jpeg: return readJpegPicture(bytes.span(), limits);
        case K::Rla: return readRlaPicture(bytes.span(), limits);
        case K::Eps: return readEpsPreview(bytes, input, limits);
        case K::Magick: return readMagickInput(std::move(bytes), input, limits);
        case K::Unavailable: unavailable(input, "no reader for the format is available");
        case K::Gif:
        case K::Icon: break;
        }
    } catch (const DamagedPicture& e) {
        return readFailure(damagedText(input, e.what()));
    } catch (const Unavailable& e) {
        return readFailure(e.text);
    } catch (const Error& e) {
        // The picture size error and the memory limits.
        return readFailure(e.what());
    } catch (const std::bad_alloc&) {
        // A picture within the limits that this process has no room for.
        return readFailure(kNotEnoughMemory);
    }
    throw std::invalid_argument("no reader kind");
}

ReadResult<Picture> readPictureFile(const std::string& fileName, const PictureInput& input, const ReaderLimits& limits)
{
    // Formats nothing here reads say so whether or not the file is there.
    if (unreadableFormat(input)) {
        return readPicture(FileBytes {}, input, limits);
    }
    ReadResult<FileBytes> bytes = readPictureBytes(fileName, limits);
    if (!bytes) return readFailure(bytes.reason());
    return readPicture(std::move(bytes).value(), input, limits);
}

} // namespace vextral::codecs
