#pragma once

#include "codecs/ImageBuffer.h"
#include "core/ReadResult.h"
#include "core/ReaderLimits.h"

#include <cstdint>
#include <span>
#include <string>

namespace vextral::codecs {

// What the reader does with the pixels of the image's transparent index.
enum class GifTransparency {
    // They hold the table's colour there, and the image stays transparent.
    TableColour,
    // They are white, as the converter draws every transparent part: the
    // picture is opaque (gifTransparent false), its background white.
    OverWhite,
};

// Reads image params().gifImageIndex of the GIF in bytes into the buffer's
// picture (1 bit a pixel for a black and white table, else 24) and its
// parameters: version, screen size, background and aspect, the image's
// place, delay, transparency and interlacing, its colour table and depth.
// The file type becomes GIF's (2) and the buffer's background the
// transparent colour when the image has one (white when drawn over white),
// else the screen's background.
// Pixels the data does not reach, and indices past the table, are black.
// The image data is decoded once. A read that fails changes nothing of the
// buffer and gives "unrecognized GIF" (not a GIF, damaged, or the image is
// not in the file), the picture size error (limits.pictureSide), or "Not
// enough memory to read the picture" when the process has no room for it.
ReadStatus readGif(ImageBuffer& buffer, std::span<const std::uint8_t> bytes, const ReaderLimits& limits = {},
                   GifTransparency transparency = GifTransparency::TableColour);
// The same for a file, which becomes the parameters' last file name; it may
// also fail with "Cannot open file %s: <reason>".
ReadStatus readGifFile(ImageBuffer& buffer, const std::string& fileName, const ReaderLimits& limits = {},
                       GifTransparency transparency = GifTransparency::TableColour);

} // namespace vextral::codecs
