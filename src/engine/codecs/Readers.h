#pragma once

#include "codecs/PictureReader.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>

// The readers behind readPicture (PictureReader.h), one file each, private to
// it. Every one returns a 24-bit picture with transparent pixels drawn over
// white, and raises DamagedPicture for a file it cannot make sense of; the
// picture size error (checkPictureSize) and the memory errors come through
// as vextral::Error. readPicture turns both into its reason: neither leaves
// the codecs.

namespace vextral::codecs {

// A file that its reader refuses; what() is the library's reason, or empty.
class DamagedPicture : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A row of blue, green, red, alpha pixels drawn over white as blue, green, red.
inline void drawRowOverWhite(const std::uint8_t* bgra, std::size_t width, std::uint8_t* bgr)
{
    const auto over = [](unsigned value, unsigned alpha) {
        return static_cast<std::uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
    };
    for (std::size_t x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        bgr[0] = over(bgra[0], bgra[3]);
        bgr[1] = over(bgra[1], bgra[3]);
        bgr[2] = over(bgra[2], bgra[3]);
    }
}

Picture readPngPicture(std::span<const std::uint8_t> bytes, const ReaderLimits& limits);
Picture readJpegPicture(std::span<const std::uint8_t> bytes, const ReaderLimits& limits);
Picture readRlaPicture(std::span<const std::uint8_t> bytes, const ReaderLimits& limits);
// magick is ImageMagick's name of the format; firstFrameOnly asks for the
// first image of files that hold several (the merged image of a Photoshop
// file, the first page of a TIFF file). The picture's size is checked from
// its header before it is decoded, unless sizeChecked says the caller did.
// bytes is taken over. ImageMagick must be available (magickAvailability):
// else this raises vextral::Error.
Picture readMagickPicture(FileBytes bytes, const char* magick, bool firstFrameOnly, const ReaderLimits& limits,
                          bool sizeChecked = false);
// The width and height in a portable map's header (P1 to P7); nothing when
// the header cannot be read.
std::optional<std::pair<long long, long long>> portableMapSize(std::span<const std::uint8_t> bytes);
// Whether ImageMagick is there to read for us: it comes from the program's
// plugin (codecs/MagickPlugin.h), loaded and started the first time this or
// any other ImageMagick function below is called.
struct MagickAvailability {
    bool available = false;
    // When it is not: empty when the plugin or ImageMagick is not installed,
    // else what is wrong ("the plugin ... cannot be used: ...").
    std::string problem;
};
const MagickAvailability& magickAvailability();
// Whether ImageMagick on this system has a reader for the format (false
// when ImageMagick is not available).
bool magickReads(const char* magick);

} // namespace vextral::codecs
