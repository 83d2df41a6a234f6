#include "gui/commands/DesktopCommands.h"

#include "codecs/ImageBuffer.h"
#include "codecs/Writers.h"
#include "core/Error.h"
#include "core/ProductInfo.h"
#include "core/Sink.h"
#include "desktop/Wallpaper.h"
#include "gui/app/MainView.h"
#include "gui/common/DesktopHandOff.h"
#include "gui/common/PictureImage.h"
#include "gui/common/Prompts.h"
#include "gui/iconlist/IconMimeData.h"
#include "harvest/IconCatalogue.h"
#include "settings/Settings.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace vextral::gui {

namespace {

// The selected icon's position, or -1 when no icon is selected.
int selectedIcon(MainView& view)
{
    const int i = view.selectedIndex();
    return i >= 0 && i < view.catalogue().itemCount() ? i : -1;
}

// A file of the program folder, as the engine takes file names.
std::string programFile(MainView& view, const char* name) { return view.programFolder() + "/" + name; }

// The settings' editor, or the desktop's program for the file when it names none.
QString editorProgram(const settings::Settings& s)
{
    const QString editor = QString::fromStdString(s.editor).trimmed();
    return editor.isEmpty() ? QString::fromLatin1(settings::kDefaultEditor) : editor;
}

// The wait cursor while the desktop's programs run.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

void setWallpaper(MainView& view, desktop::WallpaperMode mode)
{
    const int i = selectedIcon(view);
    if (i < 0) return;
    try {
        // The desktop first, so that nothing is written where there is none to take it.
        const desktop::DesktopKind kind = desktop::wallpaperDesktop(desktop::sessionFacts());
        // The icon at 32 x 32 over white.
        codecs::ImageBuffer picture;
        picture.drawIcon(view.catalogue().image(i));
        const std::string file = programFile(view, "Vextral.bmp");
        codecs::writeBmp(picture, file);
        WaitCursor wait;
        desktop::applyWallpaper(kind, file, mode);
    } catch (const Error& e) {
        view.prompts().error(view.windowWidget(), QString::fromStdString(e.what()));
    }
}

void openAddress(MainView& view, const QUrl& url) { openWithDesktop(view.windowWidget(), view.prompts(), url); }

} // namespace

void DesktopCommands::copyToClipboard()
{
    const int i = selectedIcon(view_);
    if (i < 0) {
        view_.prompts().information(view_.windowWidget(),
                                    QStringLiteral("Please select an icon to copy to clipboard."));
        return;
    }
    const std::vector<int> selected = view_.selectedPositions();
    if (selected.size() > 1) {
        // Several icons go as files, as a drag of them does: a file manager
        // pastes the PNG files, an image editor the first picture.
        try {
            const QString folder = view_.handOutFolder();
            if (folder.isEmpty()) throw Error("Cannot make a temporary folder for the icons");
            if (QMimeData* data = iconMimeData(view_.catalogue(), selected, view_.iconZoom(), folder))
                QGuiApplication::clipboard()->setMimeData(data);
        } catch (const Error& e) {
            view_.prompts().error(view_.windowWidget(), QString::fromStdString(e.what()));
        }
        return;
    }
    codecs::ImageBuffer& picture = view_.imgIcon();
    picture.setBackground(view_.settings().background);
    picture.setKeepTransparency(view_.settings().transparent);
    picture.drawIcon(view_.catalogue().image(i));
    if (!picture.picture().keepsTransparency()) {
        QGuiApplication::clipboard()->setImage(toQImage(picture.picture()));
        return;
    }
    // A program that takes PNG gets the icon with its alpha; one that takes
    // only a bitmap gets it drawn over the background.
    auto* data = new QMimeData;
    data->setImageData(toQImage(picture.picture()));
    MemorySink png;
    codecs::writePng(picture, png);
    data->setData(QStringLiteral("image/png"), QByteArray(reinterpret_cast<const char*>(png.bytes().data()),
                                                          static_cast<qsizetype>(png.bytes().size())));
    QGuiApplication::clipboard()->setMimeData(data);
}

void DesktopCommands::wallpaperCentred() { setWallpaper(view_, desktop::WallpaperMode::Center); }
void DesktopCommands::wallpaperTiled() { setWallpaper(view_, desktop::WallpaperMode::Tile); }
void DesktopCommands::wallpaperStretched() { setWallpaper(view_, desktop::WallpaperMode::Stretch); }

void DesktopCommands::runEditor()
{
    const int i = selectedIcon(view_);
    if (i < 0) {
        view_.prompts().information(view_.windowWidget(), QStringLiteral("Please select an icon to edit."));
        return;
    }
    codecs::ImageBuffer& picture = view_.imgIcon();
    picture.setBackground(view_.settings().background);
    picture.drawIcon(view_.catalogue().image(i));
    const std::string file = programFile(view_, "Image.bmp");
    try {
        codecs::writeBmp(picture, file);
    } catch (const Error& e) {
        view_.prompts().error(view_.windowWidget(), QString::fromStdString(e.what()));
        return;
    }
    // The file is one argument, whatever spaces its path holds; the editor runs on its own.
    const QString editor = editorProgram(view_.settings());
    handOff(view_.windowWidget(), view_.prompts(), editor, {QFile::decodeName(file.c_str())},
            QStringLiteral("Cannot start the editor \"%1\"").arg(editor));
}

void DesktopCommands::openHelp() { openUserGuide(view_, userGuidePlaces(QCoreApplication::applicationDirPath())); }

void DesktopCommands::openHomepage() { openAddress(view_, QUrl(QString::fromLatin1(product::kHomePage))); }

void DesktopCommands::mailAuthor() { openAddress(view_, QUrl(QString::fromLatin1(product::kAuthorMail))); }

QStringList userGuidePlaces(const QString& programFolder)
{
    return {QDir::cleanPath(QDir(programFolder).filePath(QStringLiteral("../share/vextral/help/index.html"))),
            QStringLiteral(VEXTRAL_SOURCE_HELP_DIR "/index.html")};
}

void openUserGuide(MainView& view, const QStringList& places)
{
    for (const QString& place : places) {
        if (QFileInfo(place).isFile()) {
            openAddress(view, QUrl::fromLocalFile(place));
            return;
        }
    }
    view.prompts().error(view.windowWidget(),
                         QStringLiteral("The user guide was not found: %1").arg(places.join(QStringLiteral(", "))));
}

} // namespace vextral::gui
