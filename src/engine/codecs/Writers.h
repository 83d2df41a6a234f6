#pragma once

#include "codecs/ImageBuffer.h"
#include "codecs/OutputFormats.h"
#include "core/Sink.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vextral::codecs {

// The writers of an image buffer. Each one's main form writes the file's
// bytes to a sink: it starts with beginWrite (Cannot write an empty picture),
// converts the picture to 24 bits unless it is 24- or 1-bit and writes;
// messages name the file by the sink's name. A writer stopped by the buffer's
// progress callback ends the file after the rows written so far.

void writeBmp(ImageBuffer& buffer, Sink& sink);
void writeJpeg(ImageBuffer& buffer, Sink& sink);
void writePng(ImageBuffer& buffer, Sink& sink);
void writeTiff(ImageBuffer& buffer, Sink& sink);
void writeGif(ImageBuffer& buffer, Sink& sink);
void writePcx(ImageBuffer& buffer, Sink& sink);
void writeTga(ImageBuffer& buffer, Sink& sink);
// The picture as an icon and as a cursor (every hotspot 0, 0): a 32-bit
// image with its AND mask of each standard side (16, 24, 32, 48, 64, 128,
// 256) up to the picture's longest side, 16 at least, the 256 one PNG
// compressed; each the picture fitted into its square (proportions kept,
// centred, the rest transparent), its alpha from picture.argb when it keeps
// its transparency, else opaque. A picture of at most 16 colours also gets a
// classic 4-bit 32 x 32 image, listed before the 32-bit one of that side.
// And as a placeable Windows metafile holding one stretched DIB.
void writeIco(ImageBuffer& buffer, Sink& sink);
void writeCur(ImageBuffer& buffer, Sink& sink);
void writeWmf(ImageBuffer& buffer, Sink& sink);

// A picture with straight alpha (0xAARRGGBB, rows top to bottom) as an 8-bit
// RGBA PNG file without interlace, through the PNG writer's encoder.
void writePngArgb(int width, int height, const std::vector<std::uint32_t>& argb, Sink& sink);

// Writes the file fileName through a writer: a FileSink, the writer, the
// commit. A writer that throws leaves the file as it was.
void writeToFile(PictureWriter writer, ImageBuffer& buffer, const std::string& fileName);

// The writers by file name.
inline void writeBmp(ImageBuffer& b, const std::string& f) { writeToFile(writeBmp, b, f); }
inline void writeJpeg(ImageBuffer& b, const std::string& f) { writeToFile(writeJpeg, b, f); }
inline void writePng(ImageBuffer& b, const std::string& f) { writeToFile(writePng, b, f); }
inline void writeTiff(ImageBuffer& b, const std::string& f) { writeToFile(writeTiff, b, f); }
inline void writeGif(ImageBuffer& b, const std::string& f) { writeToFile(writeGif, b, f); }
inline void writePcx(ImageBuffer& b, const std::string& f) { writeToFile(writePcx, b, f); }
inline void writeTga(ImageBuffer& b, const std::string& f) { writeToFile(writeTga, b, f); }
inline void writeIco(ImageBuffer& b, const std::string& f) { writeToFile(writeIco, b, f); }
inline void writeCur(ImageBuffer& b, const std::string& f) { writeToFile(writeCur, b, f); }
inline void writeWmf(ImageBuffer& b, const std::string& f) { writeToFile(writeWmf, b, f); }

} // namespace vextral::codecs
