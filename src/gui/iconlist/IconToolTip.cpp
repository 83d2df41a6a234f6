#include "gui/iconlist/IconToolTip.h"

#include "platform/IconExtractor.h"

#include <QFile>

namespace vextral::gui {

namespace {

// An icon may list any number of images; the tip stays readable.
constexpr std::size_t kMostImages = 24;

QString imageLine(const platform::IconImageEntry& image)
{
    if (image.info) {
        return QStringLiteral("%1 x %2, %3 bits%4")
            .arg(image.info->width)
            .arg(image.info->height)
            .arg(image.info->bits)
            .arg(image.info->png ? QStringLiteral(", PNG") : QString());
    }
    // What the directory says of an image that cannot be read.
    return QStringLiteral("%1 x %2, %3 bits, unreadable")
        .arg(image.entryWidth)
        .arg(image.entryHeight)
        .arg(image.entryBits);
}

} // namespace

QString iconToolTip(const IconRecord& record)
{
    QString tip = QStringLiteral("%1, icon %2").arg(QFile::decodeName(record.sourceFile.c_str())).arg(record.iconIndex);
    const platform::IconSource source = platform::IconSource::open(record.sourceFile);
    if (record.iconIndex < 0 || record.iconIndex >= source.count()) return tip;
    const std::vector<platform::IconImageEntry> images = source.images(record.iconIndex);
    for (std::size_t i = 0; i < images.size() && i < kMostImages; ++i) tip += QLatin1Char('\n') + imageLine(images[i]);
    if (images.size() > kMostImages) tip += QStringLiteral("\n(%1 more)").arg(images.size() - kMostImages);
    return tip;
}

} // namespace vextral::gui
