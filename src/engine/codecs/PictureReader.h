#pragma once

#include "codecs/Picture.h"
#include "core/FileName.h" // unknownExtensionMessage
#include "core/ReadResult.h"
#include "core/ReaderLimits.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace vextral::codecs {

// How the converter reads each of its input formats.
enum class PictureReaderKind {
    Gif,         // the GIF reader of the image buffer, whose table stays in its parameters
    Icon,        // the icon reader of the platform layer
    Png,         // libpng
    Jpeg,        // libjpeg
    Rla,         // our own reader of Alias/Wavefront files
    Eps,         // the TIFF preview inside a DOS EPS file, read by ImageMagick
    Magick,      // ImageMagick, always told the format
    Unavailable, // nothing on this system reads it
};

// One input format of the converter, found by a file name's extension.
struct PictureInput {
    std::string extension; // lower case, without the dot
    const char* family;    // names the format in messages: "Truevision Targa"
    PictureReaderKind kind;
    const char* magick;  // ImageMagick's name of the format (Magick and Eps rows)
    const char* invalid; // the error for a damaged file: "Bitmap image is not valid"
    bool firstFrameOnly; // of files that hold several images, read the first alone
};

// Every reader's refusal when a picture within the limits finds no room in
// this process (never a bare std::bad_alloc).
inline constexpr char kNotEnoughMemory[] = "Not enough memory to read the picture";

// The input format of a file name, by its extension (letter case ignored);
// nothing when the extension has no reader (.cur among them).
std::optional<PictureInput> pictureInputFor(const std::string& fileName);

// The extensions of the converter's "All Images" filter, in its order.
std::span<const char* const> allImagesExtensions();

// A whole file in memory, in a block from malloc (ImageMagick takes such
// blocks over without a copy).
struct FileBytes {
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<std::uint8_t, Free> data;
    std::size_t size = 0;
    std::span<const std::uint8_t> span() const { return {data.get(), size}; }
    // A copy of bytes (raises std::bad_alloc when there is no room).
    static FileBytes copyOf(std::span<const std::uint8_t> bytes);
};

// Fails with "Cannot open file %s: <reason>" unless the file is a regular
// file that can be opened for reading and is at most
// limits.pictureFileBytes long.
ReadStatus checkPictureFile(const std::string& fileName, const ReaderLimits& limits = {});
// The whole of such a file, with the same failures.
ReadResult<FileBytes> readPictureBytes(const std::string& fileName, const ReaderLimits& limits = {});

// Reads a picture of any input format but GIF and icon (which need the image
// buffer and the platform layer) as a 24-bit picture; transparent pixels are
// drawn over white. The reasons it fails with: the picture size error of
// checkPictureSize (limits.pictureSide), the input's invalid text for a
// damaged file (with the library's reason where the text is ours), "Not
// enough memory to read the picture ...", "<family> pictures (.ext)
// cannot be read: ..." when nothing here reads the format, or "<family>
// pictures need ImageMagick (package ...)" when ImageMagick, which reads it,
// is not installed. bytes is taken over.
ReadResult<Picture> readPicture(FileBytes bytes, const PictureInput& input, const ReaderLimits& limits = {});
// The same for a file, which may also fail with "Cannot open file %s: <reason>".
ReadResult<Picture> readPictureFile(const std::string& fileName, const PictureInput& input,
                                    const ReaderLimits& limits = {});

} // namespace vextral::codecs
