#include "platform/PictureFile.h"

#include "codecs/GifLzw.h"
#include "codecs/PictureReader.h"
#include "core/Error.h"
#include "platform/IconExtractor.h"

namespace vextral::platform {

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

void loadGif(codecs::ImageBuffer& buffer, const std::string& fileName, const codecs::PictureInput& input)
{
    codecs::checkPictureFile(fileName);
    // The reader stores what it finds as it goes; a failed read puts it all back.
    const codecs::IOParams params = buffer.params();
    const settings::Colour background = buffer.background();
    try {
        if (!buffer.params().gifDecoder) codecs::attachLzwCoders(buffer.params());
        buffer.loadFromFile(fileName);
        if (buffer.aborting) throw Error(input.invalid);
    } catch (...) {
        buffer.params() = params;
        buffer.setBackground(background);
        throw;
    }
    // A black and white GIF is read as a 1-bit picture.
    if (buffer.picture().bits != 24) buffer.picture() = codecs::to24Bit(buffer.picture());
}

codecs::Picture readIcon(const std::string& fileName, const codecs::PictureInput& input)
{
    codecs::checkPictureFile(fileName);
    const IconSource source = IconSource::open(fileName);
    if (!source.readable()) throw Error("Cannot open file " + fileName + ": " + source.error());
    std::optional<Icon> icon;
    if (source.kind() == IconFileKind::Ico || source.kind() == IconFileKind::Cur) icon = source.icon(0);
    if (!icon) throw Error(input.invalid);
    codecs::Picture picture = codecs::Picture::make(Icon::kSize, Icon::kSize);
    for (int y = 0; y < Icon::kSize; ++y) {
        for (int x = 0; x < Icon::kSize; ++x)
            picture.setPixel(x, y, codecs::Bgr::fromRgb(icon->drawnOver(x, y, kWhite)));
    }
    return picture;
}

} // namespace

void loadPicture(codecs::ImageBuffer& buffer, const std::string& fileName)
{
    const std::optional<codecs::PictureInput> input = codecs::pictureInputFor(fileName);
    if (!input) throw Error(unknownExtensionMessage(fileName));
    switch (input->kind) {
    case codecs::PictureReaderKind::Gif: loadGif(buffer, fileName, *input); return;
    case codecs::PictureReaderKind::Icon: buffer.picture() = readIcon(fileName, *input); return;
    default: buffer.picture() = codecs::readPictureFile(fileName, *input); return;
    }
}

} // namespace vextral::platform
