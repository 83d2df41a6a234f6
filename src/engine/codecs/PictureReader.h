#pragma once

#include "codecs/Picture.h"
#include "core/FileName.h" // unknownExtensionMessage

#include <cstdint>
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

// The input format of a file name, by its extension (letter case ignored);
// nothing when the extension has no reader (.cur among them).
std::optional<PictureInput> pictureInputFor(const std::string& fileName);

// The extensions of the converter's "All Images" filter, in its order.
std::span<const char* const> allImagesExtensions();

// Files larger than this are refused before they are read.
constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t {1} << 30;

// Raises "Cannot open file %s: <reason>" unless the file is a regular file
// that can be opened for reading and is at most kMaxPictureFileBytes long.
void checkPictureFile(const std::string& fileName);

// Reads a picture file of any input format but GIF and icon (which need the
// image buffer and the platform layer) as a 24-bit picture; transparent
// pixels are drawn over white. Throws vextral::Error: "Cannot open file %s:
// <reason>", the picture size error of checkPictureSize, the input's
// invalid text for a damaged file (with the library's reason where the text
// is ours), or "<family> pictures (.ext) cannot be read: ..." when nothing
// here reads the format.
Picture readPictureFile(const std::string& fileName, const PictureInput& input);

} // namespace vextral::codecs
