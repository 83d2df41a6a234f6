#include "gui/app/WindowMemory.h"

#include "core/Error.h"
#include "gui/app/MainView.h"
#include "gui/app/RecentMenu.h"
#include "gui/common/Prompts.h"
#include "gui/iconlist/ListWidgetSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QSplitter>

#include <stdexcept>

namespace vextral::gui {

namespace {

using settings::ScreenRect;
using settings::ViewLayout;

std::string toStd(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString toQt(const std::string& path) { return QFile::decodeName(path.c_str()); }

std::vector<std::string> entriesOf(const QListWidget& list)
{
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(list.count()));
    for (int i = 0; i < list.count(); ++i) entries.push_back(toStd(list.item(i)->text()));
    return entries;
}

IconLayout iconLayoutOf(ViewLayout layout)
{
    switch (layout) {
    case ViewLayout::LargeIcon: return IconLayout::LargeIcon;
    case ViewLayout::List: return IconLayout::List;
    case ViewLayout::Details: return IconLayout::Details;
    }
    return IconLayout::LargeIcon;
}

ViewLayout viewLayoutOf(IconLayout layout)
{
    switch (layout) {
    case IconLayout::LargeIcon: return ViewLayout::LargeIcon;
    case IconLayout::List: return ViewLayout::List;
    case IconLayout::Details: return ViewLayout::Details;
    }
    return ViewLayout::LargeIcon;
}

// The screens' areas without their panels, the primary first.
std::vector<ScreenRect> availableScreens()
{
    std::vector<ScreenRect> screens;
    const auto add = [&screens](const QScreen* screen) {
        const QRect r = screen->availableGeometry();
        screens.push_back({r.x(), r.y(), r.width(), r.height()});
    };
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) add(primary);
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) add(screen);
    }
    return screens;
}

} // namespace

WindowMemory::WindowMemory(QMainWindow& window, MainView& view)
    : window_(window), view_(view), splitter_(window.findChild<QSplitter*>(QStringLiteral("Splitter1")))
{
    auto* menu = window.findChild<QMenu*>(QStringLiteral("menuRecent"));
    if (!splitter_ || !menu) throw std::logic_error("the main window has no splitter or no Recent menu");
    menu_ = std::make_unique<RecentMenu>(*menu, recent_, [this](const QString& path) { openRecent(path); });
}

WindowMemory::~WindowMemory() = default;

void WindowMemory::restore()
{
    stored_ = settings::WindowState::load(settings::ProfileFile(view_.settingsPath()));
    const ScreenRect place = settings::placeWindow(stored_.geometry, availableScreens());
    // The position is the frame's, as move() takes it (on a desktop with window
    // frames, a position given with setGeometry() is the inside's, and the
    // window would come back lower by its title bar each session); the size
    // is the inside's.
    window_.resize(place.width, place.height);
    window_.move(place.x, place.y);
    if (stored_.maximized) window_.setWindowState(window_.windowState() | Qt::WindowMaximized);
    if (stored_.splitterSizes.size() == static_cast<std::size_t>(splitter_->count()))
        splitter_->setSizes(QList<int>(stored_.splitterSizes.begin(), stored_.splitterSizes.end()));
    if (stored_.layout) view_.showIcons(iconLayoutOf(*stored_.layout));
    if (stored_.zoom) view_.setIconZoom(*stored_.zoom);
    Prompts& prompts = view_.prompts();
    for (std::size_t c = 0; c < settings::kChooserCount; ++c)
        prompts.chooserFolders[c] = toQt(stored_.chooserFolders[c]);
    recent_ = stored_.recent;
    menu_->refresh();
}

void WindowMemory::restoreSourceLists()
{
    for (const std::string& folder : stored_.folders) addSourceEntry(view_.folderList(), toQt(folder));
    for (const std::string& file : stored_.files) addSourceEntry(view_.fileList(), toQt(file));
}

void WindowMemory::save()
{
    settings::WindowState state;
    // A maximized window keeps the geometry it goes back to, its position
    // taken to the frame's as far as the frame is known now.
    QRect normal(window_.pos(), window_.size());
    if (window_.isMaximized() || window_.isMinimized()) {
        const QRect inside = window_.normalGeometry();
        normal = QRect(inside.topLeft() - (window_.geometry().topLeft() - window_.pos()), inside.size());
    }
    if (normal.isValid()) state.geometry = ScreenRect {normal.x(), normal.y(), normal.width(), normal.height()};
    state.maximized = window_.isMaximized();
    const QList<int> sizes = splitter_->sizes();
    state.splitterSizes.assign(sizes.begin(), sizes.end());
    state.folders = entriesOf(view_.folderList());
    state.files = entriesOf(view_.fileList());
    state.layout = viewLayoutOf(view_.iconLayout());
    state.zoom = view_.iconZoom();
    const Prompts& prompts = view_.prompts();
    for (std::size_t c = 0; c < settings::kChooserCount; ++c)
        state.chooserFolders[c] = toStd(prompts.chooserFolders[c]);
    state.recent = recent_;
    try {
        state.save(settings::ProfileFile(view_.settingsPath()));
    } catch (const Error& e) {
        view_.prompts().error(&window_, QString::fromStdString(e.what()));
    }
}

void WindowMemory::noteRecent(const QString& path)
{
    recent_.add(toStd(QDir::cleanPath(path)));
    menu_->refresh();
}

void WindowMemory::openRecent(const QString& path)
{
    const QFileInfo info(path);
    if (!recentSourceExists(path)) {
        view_.prompts().information(&window_, QStringLiteral("%1 is no longer there.").arg(path));
        menu_->refresh();
        return;
    }
    addSourceEntry(info.isFile() ? view_.fileList() : view_.folderList(), path);
    noteRecent(path);
}

} // namespace vextral::gui
