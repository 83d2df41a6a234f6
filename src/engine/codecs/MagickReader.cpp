#include "codecs/Readers.h"

#include "core/Error.h"

#include <Magick++.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

// The formats that ImageMagick reads for us. It is always told the format and
// given the file's bytes (never the name, whose characters it would
// interpret), so it neither guesses from the content nor runs a delegate
// program. Its resources are bounded once, for the whole process.

namespace vextral::codecs {

namespace {

// Rows exported at a time for pictures with alpha.
constexpr std::size_t kStripRows = 64;
// Metafiles are drawn at the size they have on a screen of 96 dots per inch.
constexpr double kScreenDpi = 96;

void startMagick()
{
    static const bool started = [] {
        Magick::InitializeMagick(nullptr);
        Magick::ResourceLimits::disk(0);
        return true;
    }();
    (void)started;
}

// ImageMagick's resource limits are the process's: they are set from the
// reader's limits before each read (a test may lower them, and the next read
// with the defaults puts them back). The side bounds the area too: a picture
// of pictureSide x pictureSide pixels at most.
void applyLimits(const ReaderLimits& limits)
{
    using Limits = Magick::ResourceLimits;
    const auto side = static_cast<MagickCore::MagickSizeType>(limits.pictureSide);
    Limits::width(side);
    Limits::height(side);
    Limits::area(side * side);
    Limits::memory(limits.magickCacheBytes);
    Limits::map(limits.magickCacheBytes);
    Limits::listLength(limits.magickImages);
}

// ImageMagick's reason without the program name before it and the file name
// and source position after it: "improper image header".
std::string reasonOf(const Magick::Exception& e)
{
    std::string text = e.what();
    if (const std::size_t colon = text.find(": "); colon != std::string::npos) text.erase(0, colon + 2);
    for (const char* tail : {" `", " @ "}) {
        if (const std::size_t at = text.find(tail); at != std::string::npos) text.erase(at);
    }
    return text;
}

// Runs one ImageMagick step. A warning leaves the step done (a file with an
// odd tag is still a picture), unless it says that the data is corrupt or
// cut short; every error is a damaged file, but for the limits on memory
// (where size, when known, is " of W x H pixels").
template <typename Step>
void step(Step&& run, const std::string& size = "")
{
    try {
        run();
    } catch (const Magick::WarningCorruptImage& e) {
        throw DamagedPicture(reasonOf(e));
    } catch (const Magick::Warning&) {
    } catch (const Magick::ErrorResourceLimit& e) {
        throw Error("Not enough memory to read the picture" + size + " (" + reasonOf(e) + ")");
    } catch (const Magick::ErrorCache& e) {
        throw Error("Not enough memory to read the picture" + size + " (" + reasonOf(e) + ")");
    } catch (const Magick::Exception& e) {
        throw DamagedPicture(reasonOf(e));
    }
}

bool keepsColourValues(MagickCore::ColorspaceType space)
{
    return space == MagickCore::sRGBColorspace || space == MagickCore::GRAYColorspace;
}

} // namespace

bool magickReads(const char* magick)
{
    startMagick();
    try {
        return Magick::CoderInfo(magick).isReadable();
    } catch (const Magick::Exception&) {
        return false;
    }
}

Picture readMagickPicture(FileBytes bytes, const char* magick, bool firstFrameOnly, const ReaderLimits& limits,
                          bool sizeChecked)
{
    startMagick();
    applyLimits(limits);
    Magick::Blob blob;
    const std::size_t length = bytes.size;
    blob.updateNoCopy(bytes.data.release(), length, Magick::Blob::MallocAllocator);

    Magick::Image image;
    step([&] {
        image.quiet(false);
        image.magick(magick);
        if (std::strcmp(magick, "WMF") == 0 || std::strcmp(magick, "EMF") == 0) {
            image.density(Magick::Geometry(kScreenDpi, kScreenDpi));
        }
        if (firstFrameOnly) {
            image.subImage(0);
            image.subRange(1);
        }
    });
    // The size is checked before any pixel is decoded.
    std::string size;
    if (!sizeChecked) {
        step([&] { image.ping(blob); });
        const auto columns = static_cast<long long>(image.columns()), rows = static_cast<long long>(image.rows());
        checkPictureSize(columns, rows, limits.pictureSide);
        size = " of " + std::to_string(columns) + " x " + std::to_string(rows) + " pixels";
    }
    step(
        [&] {
            image.magick(magick);
            image.read(blob);
        },
        size);
    blob = Magick::Blob();
    const auto width = static_cast<std::size_t>(image.columns());
    const auto height = static_cast<std::size_t>(image.rows());
    if (width == 0 || height == 0) throw DamagedPicture("no picture in the file");
    checkPictureSize(static_cast<long long>(width), static_cast<long long>(height), limits.pictureSide);

    // CMYK, Photo CD's YCC, Lab, linear RGB and the like become sRGB values.
    if (!keepsColourValues(image.colorSpace())) step([&] { image.colorSpace(MagickCore::sRGBColorspace); });
    Picture picture = Picture::make(static_cast<int>(width), static_cast<int>(height));
    if (!image.matte()) {
        step([&] { image.write(0, 0, width, height, "BGR", Magick::CharPixel, picture.pixels.data()); });
        return picture;
    }
    std::vector<std::uint8_t> strip(width * 4 * std::min(kStripRows, height));
    for (std::size_t top = 0; top < height; top += kStripRows) {
        const std::size_t rows = std::min(kStripRows, height - top);
        step([&] { image.write(0, static_cast<ssize_t>(top), width, rows, "BGRA", Magick::CharPixel, strip.data()); });
        for (std::size_t y = 0; y < rows; ++y) {
            drawRowOverWhite(strip.data() + width * 4 * y, width, picture.row(static_cast<int>(top + y)));
        }
    }
    return picture;
}

} // namespace vextral::codecs
