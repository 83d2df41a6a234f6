#include "gui/iconlist/IconToolTip.h"

#include "platform/IconExtractor.h"

#include <QFile>

namespace vextral::gui {

namespace {

// An icon may list any number of images; the tip stays readable.
constexpr int kMostImages = 24;

QString imageLine(const IconImageSummary& image)
{
    // An unreadable image is told by what its directory entry says.
    return QStringLiteral("%1 x %2, %3 bits%4")
        .arg(image.width)
        .arg(image.height)
        .arg(image.bits)
        .arg(!image.readable ? QStringLiteral(", unreadable")
             : image.png     ? QStringLiteral(", PNG")
                             : QString());
}

} // namespace

QString imageLines(const std::vector<IconImageSummary>& images, int listed, const QString& separator)
{
    QStringList lines;
    for (std::size_t i = 0; i < images.size() && lines.size() < kMostImages; ++i) lines << imageLine(images[i]);
    if (listed > lines.size()) lines << QStringLiteral("(%1 more)").arg(listed - lines.size());
    return lines.join(separator);
}

QString iconToolTip(const IconRecord& record)
{
    QString tip = QStringLiteral("%1, icon %2").arg(QFile::decodeName(record.sourceFile.c_str())).arg(record.iconIndex);
    const platform::IconSource source = platform::reopenIconSource(record.sourceFile);
    if (record.iconIndex < 0 || record.iconIndex >= source.count()) return tip;
    const std::vector<IconImageSummary> images = imageSummaries(source, record.iconIndex);
    if (!images.empty())
        tip += QLatin1Char('\n') + imageLines(images, static_cast<int>(images.size()), QStringLiteral("\n"));
    return tip;
}

} // namespace vextral::gui
