#pragma once

#include "codecs/ImageBuffer.h"

#include <string>

namespace vextral::platform {

// Reads a picture file of any of the converter's input formats into the
// buffer's picture, as 24 bits a pixel; transparent parts are drawn over
// white. The extension (letter case ignored) chooses the reader:
//
//   .gif   the buffer's own GIF reader (load-by-extension). It leaves the
//          file's depth and colour table in the buffer's parameters, so
//          later writes through this buffer keep the palette depth (a PCX of
//          a 16-colour GIF is a 4-bit PCX). The GIF coders are attached to
//          the buffer when it has none.
//   .ico   the icon as the desktop draws it at its natural (large-icon)
//          size: 32 x 32 from the image it picks, as the harvest shows it.
//   others codecs::readPictureFile, by codecs::pictureInputFor.
//
// Every failure throws vextral::Error and leaves the buffer's picture,
// background and parameters as they were: "Unknown picture file extension
// (.%s)" for an extension without a reader (.cur among them), "Cannot open
// file %s: <reason>", the picture size error, "unrecognized GIF", "Icon
// image is not valid", or the reader's own text.
void loadPicture(codecs::ImageBuffer& buffer, const std::string& fileName);

} // namespace vextral::platform
