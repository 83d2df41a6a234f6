#include "gui/mail/FriendDialog.h"

#include "core/Error.h"
#include "core/Text.h"
#include "gui/common/ButtonRow.h"
#include "gui/common/Choosers.h"
#include "gui/common/Prompts.h"
#include "gui/common/TitleWidth.h"
#include "gui/options/OptionsDialog.h"
#include "net/MoxMsg.h"
#include "net/MoxSmtp.h"
#include "settings/OptionsForm.h"
#include "settings/ProfileFile.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace vextral::gui {

namespace {

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton* button(const char* name, const char* caption, QWidget* parent)
{
    auto* b = named(new QPushButton(QString::fromLatin1(caption), parent), name);
    b->setAutoDefault(false);
    return b;
}

QLabel* caption(const char* text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setBuddy(buddy);
    return l;
}

net::SmtpSecurity securityOf(const settings::InternetOptions& o)
{
    switch (o.smtpSecurityIndex()) {
    case 1: return net::SmtpSecurity::StartTls;
    case 2: return net::SmtpSecurity::Tls;
    default: return net::SmtpSecurity::None;
    }
}

// The time limit of every wait: "Connection" seconds, 20 when it is no
// positive number (a limit of nothing would fail every step).
std::uint32_t timeOutOf(const settings::InternetOptions& o)
{
    const std::optional<std::int32_t> seconds = parseInteger(o.connection);
    const std::int32_t s = seconds && *seconds > 0 ? std::min(*seconds, 3600) : 20;
    return static_cast<std::uint32_t>(s) * 1000u;
}

} // namespace

FriendDialog::FriendDialog(std::string settingsPath, Prompts& prompts, std::function<void(QDialog*)> showDialog,
                           std::function<void()> reload, QWidget* parent)
    : QDialog(parent), settingsPath_(std::move(settingsPath)), prompts_(prompts), showDialog_(std::move(showDialog)),
      reload_(std::move(reload)), netSmtp_(std::make_shared<net::MoxSmtp>([] { QCoreApplication::processEvents(); }))
{
    setObjectName(QStringLiteral("FormFriend"));
    setWindowTitle(QStringLiteral("Email your friends"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(430, 369);
    fitTitle(*this);
    if (const QScreen* screen = parent ? parent->screen() : this->screen())
        move(screen->availableGeometry().center() - rect().center());

    editTo_ = named(new QLineEdit(this), "editTo");
    editSubject_ = named(new QLineEdit(this), "editSubject");
    memText_ = named(new QPlainTextEdit(this), "memText");
    labStatus_ = named(new QLabel(QStringLiteral("Status:"), this), "labStatus");
    labStatus_->setTextFormat(Qt::PlainText); // a server's answer is never markup
    // A long answer is cut at the dialog's edge (and shown whole as the tip)
    // rather than stretching the fixed-size dialog.
    labStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lstWallpaper_ = named(new QListWidget(this), "LstWallpaper");
    labTotal_ = named(new QLabel(QStringLiteral("Total:"), this), "labTotal");

    // Left: the mail itself.
    auto* left = new QGridLayout;
    left->setVerticalSpacing(2);
    left->addWidget(caption("&To:", editTo_, this), 0, 0, 1, 2);
    left->addWidget(editTo_, 1, 0, 1, 2);
    left->addWidget(caption("Su&bject:", editSubject_, this), 2, 0, 1, 2);
    left->addWidget(editSubject_, 3, 0, 1, 2);
    left->addWidget(caption("&Message Text:", memText_, this), 4, 0);
    left->addWidget(labStatus_, 4, 1);
    left->addWidget(memText_, 5, 0, 1, 2);
    left->setColumnStretch(1, 1);
    left->setRowStretch(5, 1);

    // Right: the attachments and the encoding.
    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    right->addWidget(caption("&Icon:", lstWallpaper_, this));
    right->addWidget(lstWallpaper_, 1);
    auto* listButtons = new QHBoxLayout;
    auto* spbAdd = button("spbAdd", "&Add", this);
    auto* spbDelete = button("spbDelete", "&Delete", this);
    listButtons->addWidget(spbAdd);
    listButtons->addWidget(spbDelete);
    right->addLayout(listButtons);
    right->addWidget(labTotal_);
    auto* rgpEncoding = named(new QGroupBox(QStringLiteral("Encoding"), this), "rgpEncoding");
    auto* encodingLayout = new QHBoxLayout(rgpEncoding);
    mime_ = new QRadioButton(QStringLiteral("MIM&E"), rgpEncoding);
    uuEncode_ = new QRadioButton(QStringLiteral("&UUEncode"), rgpEncoding);
    mime_->setChecked(true);
    encodingLayout->addWidget(mime_);
    encodingLayout->addWidget(uuEncode_);
    right->addWidget(rgpEncoding);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);

    // Send keeps the dialog open; Internet Settings stands apart from the two.
    auto* buttons = buttonRow(this);
    spbSend_ = button("spbSend", "&Send", this);
    spbSend_->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    auto* spbSettings = button("spbSettings", "I&nternet Settings", this);
    buttons->addButton(spbSend_, QDialogButtonBox::ActionRole);
    buttons->addButton(button("spbClose", "&Close", this), QDialogButtonBox::RejectRole);
    buttons->addButton(spbSettings, QDialogButtonBox::HelpRole);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons);

    connect(spbAdd, &QPushButton::clicked, this, &FriendDialog::addAttachment);
    connect(spbDelete, &QPushButton::clicked, this, &FriendDialog::deleteAttachment);
    connect(spbSend_, &QPushButton::clicked, this, &FriendDialog::send);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    connect(spbSettings, &QPushButton::clicked, this, &FriendDialog::openInternetSettings);

    // The status label follows the client. The label is watched: a send
    // outlives a dialog closed during it.
    QPointer<QLabel> status(labStatus_);
    const auto show = [status](const QString& text) {
        if (!status) return;
        status->setText(text);
        status->setToolTip(text);
    };
    net::MoxSmtp& smtp = *netSmtp_;
    smtp.sendProgressStep = 10;
    smtp.onConnect = [show] { show(QStringLiteral("Connected to the Smtp server.")); };
    smtp.onSendProgress = [show](int percent) {
        show(QStringLiteral("Sending E_mail... %1% completed.").arg(percent));
    };
    smtp.onAfterSend = [show] { show(QStringLiteral("Send completed.")); };
    smtp.onEncodeStart = [show](const std::string&, std::int64_t) { show(QStringLiteral("Encode starting... ")); };
    smtp.onEncodeProgress = [show](int percent) {
        show(QStringLiteral("Encode progressing... %1% completed.").arg(percent));
    };
    smtp.onEncodeEnd = [show] { show(QStringLiteral("Encode completed.")); };
    smtp.onError = [show](int, const std::string& msg) { show(QString::fromStdString(msg)); };
}

FriendDialog::~FriendDialog() = default;

void FriendDialog::setStatus(const QString& text)
{
    labStatus_->setText(text);
    labStatus_->setToolTip(text);
}

void FriendDialog::showTotal()
{
    labTotal_->setText(
        (lstWallpaper_->count() == 1 ? QStringLiteral("Total: %1 image") : QStringLiteral("Total: %1 images"))
            .arg(lstWallpaper_->count()));
}

void FriendDialog::addAttachment()
{
    // Any file may be attached: the open dialog has no type filter.
    const QString file = chooseFile(prompts_, settings::Chooser::Attach, this, QStringLiteral("Open"), {});
    if (!file.isEmpty()) lstWallpaper_->addItem(file);
    showTotal();
}

void FriendDialog::deleteAttachment()
{
    const int row = lstWallpaper_->currentRow();
    if (row >= 0 && lstWallpaper_->currentItem() && lstWallpaper_->currentItem()->isSelected())
        delete lstWallpaper_->takeItem(row);
    showTotal();
}

void FriendDialog::openInternetSettings()
{
    auto* options = new OptionsDialog(settings::ProfileFile(settingsPath_), prompts_, reload_,
                                      parentWidget() ? parentWidget() : this);
    // Opened on its Internet page.
    auto* pages = options->findChild<QTabWidget*>(QStringLiteral("pctOption"));
    auto* internet = options->findChild<QWidget*>(QStringLiteral("TabSheet3"));
    if (pages && internet) pages->setCurrentWidget(internet);
    if (showDialog_) {
        showDialog_(options);
    } else {
        options->setAttribute(Qt::WA_DeleteOnClose);
        options->show();
    }
    if (const auto& problem = options->loadProblem()) prompts_.error(options, QString::fromStdString(*problem));
}

void FriendDialog::send()
{
    if (sending_) return;
    const settings::InternetOptions settings = settings::InternetOptions::load(settings::ProfileFile(settingsPath_));
    if (settings.replyTo.empty() || settings.smtp.empty()) {
        prompts_.information(this, QStringLiteral("Please enter your email settings first."));
        openInternetSettings();
        return;
    }
    if (editTo_->text().isEmpty() || editSubject_->text().isEmpty()) {
        prompts_.information(this,
                             QStringLiteral("Please enter the person who the mail will be sent to and the subject."));
        return;
    }
    // The password of the server's user, asked once per server and user.
    const std::string account = settings.smtpUser + "@" + settings.smtp;
    if (settings.smtpUser.empty()) {
        password_.reset();
    } else if (!password_ || passwordFor_ != account) {
        const auto typed = prompts_.password(
            this, QStringLiteral("Password of %1 on %2:")
                      .arg(QString::fromStdString(settings.smtpUser), QString::fromStdString(settings.smtp)));
        if (!typed) return;
        password_ = typed->toStdString();
        passwordFor_ = account;
    }

    // The message, made afresh at every send: the files listed now, once each.
    net::MoxMsg msg;
    msg.textEncoding = uuEncode_->isChecked() ? net::TextEncoding::teBase64 : net::TextEncoding::te8Bit;
    msg.replyTo = settings.replyTo;
    msg.from = settings.replyTo;
    msg.sendTo = editTo_->text().toStdString();
    for (int i = 0; i < lstWallpaper_->count(); ++i)
        msg.attachedFiles.add(lstWallpaper_->item(i)->text().toStdString());
    msg.subject = editSubject_->text().toStdString();
    const QString text = memText_->toPlainText();
    if (!text.isEmpty())
        for (const QString& line : text.split(QLatin1Char('\n'))) msg.text.push_back(line.toStdString());

    const std::shared_ptr<net::MoxSmtp> smtp = netSmtp_;
    smtp->host = settings.smtp;
    smtp->port = settings.smtpPort;
    smtp->security = securityOf(settings);
    smtp->userName = settings.smtpUser;
    smtp->password = password_.value_or(std::string());
    smtp->timeOut = timeOutOf(settings);

    QPointer<FriendDialog> self(this);
    sending_ = true;
    spbSend_->setEnabled(false);
    std::optional<QString> failure;
    std::string reason;
    try {
        smtp->connect();
        smtp->sendMessage(msg);
    } catch (const net::SmtpError& e) {
        failure = QString::fromStdString(e.what());
        reason = e.reason();
    } catch (const std::exception& e) {
        failure = QString::fromStdString(e.what());
    }
    if (!self) return; // the dialog went during the send
    sending_ = false;
    spbSend_->setEnabled(true);
    // A password the server refused (535) is asked again at the next send.
    if (smtp->replyCode() == "535") password_.reset();
    if (!isVisible()) return;
    if (failure) {
        // "Not connected." says little on its own: the box and the label
        // tell why (the server's reply, or what went wrong on the way).
        if (!reason.empty()) {
            const QString why = QString::fromStdString(reason);
            setStatus(why);
            if (!failure->contains(why)) *failure += QStringLiteral("\n\n") + why;
        }
        prompts_.error(this, *failure);
    }
}

void FriendDialog::hideEvent(QHideEvent* e)
{
    // Ends a send under way at once, or says goodbye to the server.
    netSmtp_->quit();
    QDialog::hideEvent(e);
}

} // namespace vextral::gui
