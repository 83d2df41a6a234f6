#pragma once

#include "codecs/ImageBuffer.h"
#include "codecs/PictureReader.h"
#include "platform/PictureFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace vextral::fuzz {

// The first byte of an input chooses the extension among the converter's
// "All Images" list; the rest is the picture's bytes, handed to loadPicture
// in memory (nothing is written anywhere), which must neither crash, hang,
// throw nor allocate beyond reason on it, and gives a reason whenever it
// fails. Shared by the fuzzer and by the test that replays the saved corpus.
inline std::size_t exercisePictureReader(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const auto extensions = codecs::allImagesExtensions();
    const auto input = codecs::pictureInputFor(std::string("input.") + extensions[data[0] % extensions.size()]);
    if (!input) return 0; // .cur: no reader
    codecs::ImageBuffer buffer;
    const ReadStatus read = platform::loadPicture(buffer, {data + 1, size - 1}, *input);
    if (!read) {
        if (read.reason().empty()) __builtin_trap();
        return 0;
    }
    return buffer.picture().pixels.size();
}

} // namespace vextral::fuzz
