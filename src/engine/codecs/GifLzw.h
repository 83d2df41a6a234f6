#pragma once

#include "codecs/IOParams.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vextral::codecs {

// GIF LZW encoder (compress-style: hashed string table, code size grown one
// code late, a clear code when the table is full). Appends to out the minimum
// code size byte, the data sub-blocks (254 bytes each but the last) and the
// zero-length block for width x height palette indices, rows top to bottom,
// walked in the four GIF passes when interlaced. Indices are taken modulo
// 2^bitsPerPixel.
void encodeGif(std::vector<std::uint8_t>& out, int height, int width, bool interlaced, const std::uint8_t* pixels,
               int bitsPerPixel);

// GIF LZW decoder. Reads the image data at the reader's position (minimum code
// size byte, sub-blocks, zero-length block) into width x height indices, rows
// top to bottom (de-interlaced when asked), and leaves the reader after the
// image data. Data that ends early leaves the remaining pixels untouched.
// Damaged data (a sub-block longer than what is left, a code chain that
// refers back into itself, a minimum code size above 8) throws vextral::Error
// "unrecognized GIF". Returns how many pixels were filled, in fill order.
std::size_t decodeGif(ByteReader& in, int height, int width, bool interlaced, std::uint8_t* pixels);

// The row order of a GIF picture of the given height: rows in storage order,
// or the four interlace passes (0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...).
std::vector<int> gifRowOrder(int height, bool interlaced);

// How many times decodeGif has been called in this process (so a test can
// tell that a reader decodes an image once).
std::uint64_t gifImagesDecoded();

} // namespace vextral::codecs
