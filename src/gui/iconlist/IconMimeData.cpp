#include "gui/iconlist/IconMimeData.h"

#include "export/IconHandOut.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>

namespace vextral::gui {

namespace {

QByteArray fileBytes(const std::string& path)
{
    QFile file(QFile::decodeName(path.c_str()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QMimeData* iconMimeData(const IconCatalogue& catalogue, const std::vector<int>& positions, int side,
                        const QString& folder)
{
    const exporting::HandOutFiles files =
        exporting::writeHandOutFiles(catalogue, positions, side, QFile::encodeName(folder).toStdString());
    if (files.pngs.empty()) return nullptr;
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray copied("copy");
    for (const std::string& png : files.pngs) {
        const QUrl url = QUrl::fromLocalFile(QFile::decodeName(png.c_str()));
        urls << url;
        copied += '\n' + url.toEncoded();
    }
    data->setUrls(urls);
    data->setData(QStringLiteral("x-special/gnome-copied-files"), copied);
    data->setData(QStringLiteral("image/png"), fileBytes(files.pngs.front()));
    data->setData(QStringLiteral("image/vnd.microsoft.icon"), fileBytes(files.icos.front()));
    return data;
}

} // namespace vextral::gui
