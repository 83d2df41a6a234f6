#include "gui/update/CheckDialog.h"

#include "gui/common/ButtonRow.h"
#include "gui/common/DesktopHandOff.h"
#include "gui/common/Prompts.h"
#include "gui/common/TitleWidth.h"
#include "net/UpdateCheck.h"
#include "settings/ProfileFile.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include <exception>
#include <optional>

namespace vextral::gui {

namespace {

// A label whose text is shown as written: what a server sends is never markup.
QLabel* label(const char* name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);
    return l;
}

QPushButton* button(const char* name, const char* caption, QStyle::StandardPixmap picture, QWidget* parent)
{
    auto* b = new QPushButton(parent->style()->standardIcon(picture), QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QGroupBox* group(const char* name, const char* title, QLabel* first, QLabel* second, QWidget* parent)
{
    auto* box = new QGroupBox(QString::fromLatin1(title), parent);
    box->setObjectName(QString::fromLatin1(name));
    first->setParent(box);
    second->setParent(box);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(first);
    layout->addWidget(second);
    return box;
}

} // namespace

CheckDialog::CheckDialog(const std::string& programFolder, const std::string& settingsPath, Prompts& prompts,
                         QWidget* parent, std::string url)
    : QDialog(parent), prompts_(prompts), url_(std::move(url))
{
    setObjectName(QStringLiteral("FormCheck"));
    setWindowTitle(QStringLiteral("Check for the latest version"));
    // A fixed dialog box: a close box, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(268, 259);
    fitTitle(*this);
    if (const QScreen* screen = parent ? parent->screen() : this->screen())
        move(screen->availableGeometry().center() - rect().center());

    const auto connection = net::UpdateConnection::load(settings::ProfileFile(settingsPath).read());
    check_ = std::make_shared<net::UpdateCheck>(programFolder, connection, [] { QCoreApplication::processEvents(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group("GroupBox1", "Current version",
                            label("labCurrentVer", QStringLiteral("Version number: ") + product::kVersion, this),
                            label("labCurrentDate", QStringLiteral("Release date: ") + product::kReleaseDate, this),
                            this));
    labLatestVer_ = label("labLatestVer", QStringLiteral("Version number: "), this);
    labLatestDate_ = label("labLatestDate", QStringLiteral("Release date: "), this);
    layout->addWidget(group("GroupBox2", "Latest version", labLatestVer_, labLatestDate_, this));
    layout->addStretch();

    lstCheck_ = new QListWidget(this);
    lstCheck_->setObjectName(QStringLiteral("LstCheck"));
    lstCheck_->hide();

    auto* buttons = buttonRow(this);
    spbCheck_ = button("spbCheck", "C&heck", QStyle::SP_BrowserReload, this);
    spbDownload_ = button("spbDownload", "&Download", QStyle::SP_ArrowDown, this);
    spbDownload_->setEnabled(false);
    buttons->addButton(spbCheck_, QDialogButtonBox::ActionRole);
    buttons->addButton(spbDownload_, QDialogButtonBox::ActionRole);
    buttons->addButton(button("spbCancel", "&Cancel", QStyle::SP_DialogCancelButton, this),
                       QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(spbCheck_, &QPushButton::clicked, this, &CheckDialog::check);
    connect(spbDownload_, &QPushButton::clicked, this, &CheckDialog::download);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CheckDialog::~CheckDialog() = default;

void CheckDialog::check()
{
    if (running_) return;
    running_ = true;
    spbCheck_->setEnabled(false);
    // Nothing of an earlier check stays on show while this one runs or should it fail.
    fLocation_.clear();
    labLatestVer_->setText(QStringLiteral("Version number: "));
    labLatestDate_->setText(QStringLiteral("Release date: "));
    spbDownload_->setEnabled(false);
    // The check keeps its engine alive should the dialog go while events are handled.
    const std::shared_ptr<net::UpdateCheck> check = check_;
    QPointer<CheckDialog> self(this);
    std::optional<net::UpdateInfo> info;
    std::optional<QString> failure;
    try {
        info = check->check(url_);
    } catch (const std::exception& e) {
        failure = QString::fromStdString(e.what());
    }
    if (!self) return;
    running_ = false;
    spbCheck_->setEnabled(true);
    // Every body fetched is kept, even when update.ini could not be written.
    for (std::size_t i = static_cast<std::size_t>(lstCheck_->count()); i < check->bodies().size(); ++i)
        lstCheck_->addItem(QString::fromStdString(check->bodies()[i]));
    if (!isVisible()) return; // closed during the check
    if (failure) {
        prompts_.error(this, *failure);
        return;
    }
    fLocation_ = info->location;
    labLatestVer_->setText(QStringLiteral("Version number: ") + QString::fromStdString(info->version));
    labLatestDate_->setText(QStringLiteral("Release date: ") + QString::fromStdString(info->release));
    spbDownload_->setEnabled(true);
}

void CheckDialog::download()
{
    // The location comes from a server nobody vouches for: only a web page is opened.
    const QUrl url(QString::fromStdString(fLocation_), QUrl::StrictMode);
    if (!net::isWebAddress(fLocation_) || !url.isValid()) {
        prompts_.error(
            this,
            QStringLiteral("The download location is not a web address: %1").arg(QString::fromStdString(fLocation_)));
        return;
    }
    openWithDesktop(this, prompts_, url);
}

void CheckDialog::hideEvent(QHideEvent* e)
{
    if (running_) check_->cancel();
    QDialog::hideEvent(e);
}

} // namespace vextral::gui
