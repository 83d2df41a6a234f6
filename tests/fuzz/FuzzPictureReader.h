#pragma once

#include "codecs/GifLzw.h"
#include "codecs/ImageBuffer.h"
#include "codecs/PictureReader.h"
#include "core/Error.h"
#include "platform/PictureFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace vextral::fuzz {

// The first byte of an input chooses the extension among the converter's
// "All Images" list; the rest is the file handed to loadPicture, which must
// neither crash, hang nor allocate beyond reason on it. Shared by the fuzzer
// and by the test that replays the saved corpus.
inline std::size_t exercisePictureReader(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const auto extensions = codecs::allImagesExtensions();
    const std::string ext = extensions[data[0] % extensions.size()];
    static const std::string folder = [] {
        std::string pattern = "/tmp/vextral-fuzz-XXXXXX";
        return mkdtemp(pattern.data()) ? pattern : std::string("/tmp");
    }();
    const std::string file = folder + "/input." + ext;
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    }
    codecs::ImageBuffer buffer;
    codecs::attachLzwCoders(buffer.params());
    std::size_t touched = 0;
    try {
        platform::loadPicture(buffer, file);
        touched = buffer.picture().pixels.size();
    } catch (const Error&) {}
    std::remove(file.c_str());
    return touched;
}

} // namespace vextral::fuzz
