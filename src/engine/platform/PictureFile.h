#pragma once

#include "codecs/ImageBuffer.h"
#include "codecs/PictureReader.h"
#include "core/ReadResult.h"
#include "core/ReaderLimits.h"

#include <cstdint>
#include <span>
#include <string>

namespace vextral::platform {

// Reads a picture file of any of the converter's input formats into the
// buffer's picture, as 24 bits a pixel; transparent parts are drawn over
// white. The extension (letter case ignored) chooses the reader:
//
//   .gif   the GIF reader (codecs/GifReader.h), its transparent pixels
//          white. It leaves the file's depth and colour table in the
//          buffer's parameters, so later writes through this buffer keep the
//          palette depth (a PCX of a 16-colour GIF is a 4-bit PCX); a caller
//          that loads other pictures after it uses a buffer for each, as the
//          converter and the command line do.
//   .ico   the icon as the desktop draws it at its natural (large-icon)
//          size: 32 x 32 from the image it picks, as the harvest shows it.
//   others codecs::readPicture, by codecs::pictureInputFor.
//
// A failure leaves the buffer's picture, background and parameters as they
// were, and gives the reason the user is shown: "Unknown picture file
// extension (.%s)" for an extension without a reader (.cur among them),
// "Cannot open file %s: <reason>", the picture size error, "unrecognized
// GIF", "Icon image is not valid", or the reader's own text.
ReadStatus loadPicture(codecs::ImageBuffer& buffer, const std::string& fileName, const ReaderLimits& limits = {});
// The same for a picture's bytes in memory, read as the format of input.
ReadStatus loadPicture(codecs::ImageBuffer& buffer, std::span<const std::uint8_t> bytes,
                       const codecs::PictureInput& input, const ReaderLimits& limits = {});

} // namespace vextral::platform
