#pragma once

#include "codecs/ImageBuffer.h"

#include <string>

namespace vextral::codecs {

// The writers of an image buffer, one file each. Every one starts with
// beginWrite (Cannot write an empty picture), converts the picture to 24 bits
// unless it is 24- or 1-bit, creates the file (Cannot create file %s) and
// closes it however the writing ends.
void writeBmp(ImageBuffer& buffer, const std::string& fileName);
void writeJpeg(ImageBuffer& buffer, const std::string& fileName);
void writePng(ImageBuffer& buffer, const std::string& fileName);
void writeTiff(ImageBuffer& buffer, const std::string& fileName);
void writeGif(ImageBuffer& buffer, const std::string& fileName);
void writePcx(ImageBuffer& buffer, const std::string& fileName);
void writeTga(ImageBuffer& buffer, const std::string& fileName);
// The picture as a one-image 32-bit icon, as a cursor with hotspot 0, 0, and
// as a placeable Windows metafile holding one stretched DIB.
void writeIco(ImageBuffer& buffer, const std::string& fileName);
void writeCur(ImageBuffer& buffer, const std::string& fileName);
void writeWmf(ImageBuffer& buffer, const std::string& fileName);

} // namespace vextral::codecs
