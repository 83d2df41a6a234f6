#include "platform/PictureFile.h"

#include "codecs/GifReader.h"
#include "platform/IconExtractor.h"

#include <new>

namespace vextral::platform {

namespace {

using codecs::PictureReaderKind;

constexpr std::uint32_t kWhite = 0xFFFFFF;

// A black and white GIF is read as a 1-bit picture.
ReadStatus asTrueColour(codecs::ImageBuffer& buffer, ReadStatus read)
{
    if (read && buffer.picture().bits != 24) buffer.picture() = codecs::to24Bit(buffer.picture());
    return read;
}

// The icon of an icon file as the desktop draws it over white.
ReadStatus drawIcon(codecs::ImageBuffer& buffer, const IconSource& source, const codecs::PictureInput& input)
{
    std::optional<Icon> icon;
    if (source.kind() == IconFileKind::Ico || source.kind() == IconFileKind::Cur) icon = source.icon(0);
    if (!icon) return readFailure(input.invalid);
    codecs::Picture picture = codecs::Picture::make(Icon::kSize, Icon::kSize);
    for (int y = 0; y < Icon::kSize; ++y) {
        for (int x = 0; x < Icon::kSize; ++x)
            picture.setPixel(x, y, codecs::Bgr::fromRgb(icon->drawnOver(x, y, kWhite)));
    }
    buffer.picture() = std::move(picture);
    return {};
}

// Runs an icon read: an icon within the limits that finds no room in this
// process is the readers' usual refusal, as for every other picture.
template <typename Read>
ReadStatus refusingNoRoom(Read read)
{
    try {
        return read();
    } catch (const std::bad_alloc&) {
        return readFailure(codecs::kNotEnoughMemory);
    }
}

ReadStatus takePicture(codecs::ImageBuffer& buffer, ReadResult<codecs::Picture> read)
{
    if (!read) return readFailure(read.reason());
    buffer.picture() = std::move(read).value();
    return {};
}

} // namespace

ReadStatus loadPicture(codecs::ImageBuffer& buffer, const std::string& fileName, const ReaderLimits& limits)
{
    const std::optional<codecs::PictureInput> input = codecs::pictureInputFor(fileName);
    if (!input) return readFailure(unknownExtensionMessage(fileName));
    switch (input->kind) {
    case PictureReaderKind::Gif:
        return asTrueColour(buffer, codecs::readGifFile(buffer, fileName, limits, codecs::GifTransparency::OverWhite));
    case PictureReaderKind::Icon: {
        if (ReadStatus file = codecs::checkPictureFile(fileName, limits); !file) return file;
        return refusingNoRoom([&]() -> ReadStatus {
            const IconSource source = IconSource::open(fileName, limits);
            if (!source.readable()) return readFailure("Cannot open file " + fileName + ": " + source.error());
            return drawIcon(buffer, source, *input);
        });
    }
    default: return takePicture(buffer, codecs::readPictureFile(fileName, *input, limits));
    }
}

ReadStatus loadPicture(codecs::ImageBuffer& buffer, std::span<const std::uint8_t> bytes,
                       const codecs::PictureInput& input, const ReaderLimits& limits)
{
    switch (input.kind) {
    case PictureReaderKind::Gif:
        return asTrueColour(buffer, codecs::readGif(buffer, bytes, limits, codecs::GifTransparency::OverWhite));
    case PictureReaderKind::Icon:
        return refusingNoRoom([&]() -> ReadStatus {
            return drawIcon(buffer, IconSource::fromBytes({bytes.begin(), bytes.end()}, limits), input);
        });
    default: return takePicture(buffer, codecs::readPicture(codecs::FileBytes::copyOf(bytes), input, limits));
    }
}

} // namespace vextral::platform
