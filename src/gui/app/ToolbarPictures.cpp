#include "gui/app/ToolbarPictures.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <array>

// The resource lives in the static GUI library: naming its loader here keeps
// the linker from leaving it out.
static void loadToolbarResource() { Q_INIT_RESOURCE(toolbar); }

namespace vextral::gui {

namespace {

// The picture files of app/toolbar/, in the order of Picture.
constexpr std::array kFiles = {
    "files",
    "folders",
    "start",
    "stop",
    "save",
    "save-all",
    "print",
    "edit",
    "options",
    "convert",
    "capture",
    "share",
    "web-page",
    "help",
    "add-folder",
    "delete-folder",
    "delete-all-folders",
    "add-file",
    "delete-file",
    "delete-all-files",
    "browse",
};
static_assert(kFiles.size() == static_cast<std::size_t>(Picture::Browse) + 1, "a file for every picture");

} // namespace

QString toolbarPicturePath(Picture picture)
{
    return QStringLiteral(":/toolbar/%1.svg").arg(QLatin1String(kFiles[static_cast<std::size_t>(picture)]));
}

QIcon toolbarPicture(Picture picture)
{
    static const bool loaded = (loadToolbarResource(), true);
    (void)loaded;
    QSvgRenderer renderer(toolbarPicturePath(picture));
    const QSize size = renderer.defaultSize();
    QIcon icon;
    if (!renderer.isValid()) return icon;
    // Drawn at the screen's size and at twice it, for screens that scale.
    for (int scale : {1, 2}) {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        renderer.render(&p, QRectF(QPointF(0, 0), size));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace vextral::gui
