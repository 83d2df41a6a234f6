#include "gui/app/RecentMenu.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>

namespace vextral::gui {

namespace {

// The widest an item's path is shown; the status bar shows it whole.
constexpr int kItemTextWidth = 480;

// "&1 /path" ... "1&0 /path": the path's own ampersands are no mnemonics.
QString itemText(std::size_t number, const QString& shown)
{
    QString escaped = shown;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const QString prefix = number < 10 ? QStringLiteral("&%1").arg(number) : QStringLiteral("1&0");
    return prefix + QLatin1Char(' ') + escaped;
}

} // namespace

bool recentSourceExists(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() || info.isDir();
}

RecentMenu::RecentMenu(QMenu& menu, settings::RecentSources& recent, std::function<void(const QString&)> open)
    : QObject(&menu), menu_(menu), recent_(recent), open_(std::move(open))
{
    for (std::size_t i = 1; i <= settings::RecentSources::kMaxRecent; ++i) {
        auto* item = new QAction(&menu_);
        item->setObjectName(QStringLiteral("menuRecent%1").arg(i));
        connect(item, &QAction::triggered, this, [this, item] {
            // An item with no source (hidden) does nothing, even when triggered from outside.
            if (const QString path = item->data().toString(); !path.isEmpty()) open_(path);
        });
        menu_.addAction(item);
        items_.push_back(item);
    }
    menu_.addSeparator();
    clear_ = new QAction(QStringLiteral("&Clear Recent"), &menu_);
    clear_->setObjectName(QStringLiteral("menuClearRecent"));
    clear_->setStatusTip(QStringLiteral("Empty the list of recent files and folders"));
    connect(clear_, &QAction::triggered, this, [this] {
        recent_.clear();
        refresh();
    });
    menu_.addAction(clear_);
    connect(&menu_, &QMenu::aboutToShow, this, &RecentMenu::refresh);
    refresh();
}

void RecentMenu::refresh()
{
    const std::vector<std::string>& paths = recent_.paths();
    const QFontMetrics metrics(menu_.font());
    for (std::size_t i = 0; i < items_.size(); ++i) {
        QAction* item = items_[i];
        if (i >= paths.size()) {
            item->setVisible(false);
            item->setText(QString());
            item->setData(QString());
            continue;
        }
        const QString path = QFile::decodeName(paths[i].c_str());
        const bool exists = recentSourceExists(path);
        item->setText(itemText(i + 1, metrics.elidedText(path, Qt::ElideMiddle, kItemTextWidth)));
        item->setData(path);
        item->setStatusTip(exists ? path : path + QStringLiteral(" (no longer there)"));
        item->setEnabled(exists);
        item->setVisible(true);
    }
    clear_->setEnabled(!paths.empty());
}

} // namespace vextral::gui
