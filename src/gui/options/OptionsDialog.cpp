#include "gui/options/OptionsDialog.h"

#include "core/Error.h"
#include "core/Text.h"
#include "gui/app/ToolbarPictures.h"
#include "gui/common/ButtonRow.h"
#include "gui/common/Choosers.h"
#include "gui/common/FieldFocus.h"
#include "gui/common/Prompts.h"
#include "gui/common/TitleWidth.h"
#include "gui/common/UpDownEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <exception>

namespace vextral::gui {

namespace {

// The client area the dialog was designed at; it grows only when a desktop's
// larger text needs more.
constexpr int kDesignedWidth = 408;
constexpr int kDesignedHeight = 359;
constexpr int kConnectionLowest = 0;
constexpr int kConnectionHighest = 100;

struct TypeBox {
    FileType type;
    const char* name;
    int mnemonic;                  // the letter of its caption that Alt takes
    const char* caption = nullptr; // when not the settings key
};

// The "Look for" check boxes, top to bottom; each shows its type's settings
// key, but for Apple icon files, whose key's letters the others all took.
constexpr std::array<TypeBox, kFileTypeCount> kTypeBoxes = {{
    {FileType::Exe, "chbExe", 0},
    {FileType::Dll, "chbDll", 0},
    {FileType::Cpl, "chbCpl", 1},
    {FileType::Scr, "chbSrc", 0},
    {FileType::Icl, "chbIcl", 2},
    {FileType::Ocx, "chbOcx", 2},
    {FileType::Nil, "chbNil", 0},
    {FileType::Ico, "chbIco", 0},
    {FileType::Bmp, "chbBmp", 0},
    {FileType::Res, "chbRes", 0},
    {FileType::Icns, "chbIcns", 8, "Icns Image File"},
}};

QString fromStd(const std::string& text) { return QString::fromStdString(text); }
std::string toStd(const QString& text) { return text.toStdString(); }

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel* buddyLabel(const char* text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(QLatin1String(text), parent);
    label->setBuddy(buddy);
    return label;
}

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// Checks or clears both choices of a quantity group as given; neither may be
// checked, which radio buttons that exclude each other do not allow by themselves.
void showChoice(QRadioButton* automatic, QRadioButton* upTo, const settings::QuantityChoice& q)
{
    for (QRadioButton* b : {automatic, upTo}) b->setAutoExclusive(false);
    automatic->setChecked(q.automatic);
    upTo->setChecked(q.upTo);
    for (QRadioButton* b : {automatic, upTo}) b->setAutoExclusive(true);
}

settings::QuantityChoice choiceOf(const QRadioButton* automatic, const QRadioButton* upTo, const QLineEdit* number)
{
    return {automatic->isChecked(), upTo->isChecked(), toStd(number->text())};
}

settings::Colour colourOf(const QColor& c)
{
    return static_cast<settings::Colour>(c.blue()) << 16 | static_cast<settings::Colour>(c.green()) << 8 |
           static_cast<settings::Colour>(c.red());
}

} // namespace

OptionsDialog::OptionsDialog(const settings::ProfileFile& file, Prompts& prompts, std::function<void()> reload,
                             QWidget* parent)
    : QDialog(parent), file_(file), prompts_(prompts), reload_(std::move(reload))
{
    setObjectName(QStringLiteral("FormOption"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    auto* layout = new QVBoxLayout(this);
    pctOption_ = named(new QTabWidget(this), "pctOption");
    pctOption_->addTab(buildIconPage(), QStringLiteral("Icon"));
    pctOption_->addTab(buildSearchPage(), QStringLiteral("Search"));
    pctOption_->addTab(buildInternetPage(), QStringLiteral("Internet Settings"));
    layout->addWidget(pctOption_, 1);

    auto* buttons = buttonRow(this);
    addButton(buttons, "SpeedButton1", "&OK", QDialogButtonBox::AcceptRole);
    addButton(buttons, "SpeedButton2", "&Cancel", QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The pages Icon and Search.
    settings::OptionsForm f;
    loadProblem_ = f.load(file_);
    showForm(f);
    tabSheet3_->installEventFilter(this);

    // A fixed border.
    setFixedSize(layout->totalMinimumSize().expandedTo(QSize(kDesignedWidth, kDesignedHeight)));
    fitTitle(*this);
}

QWidget* OptionsDialog::buildIconPage()
{
    auto* page = named(new QWidget, "TabSheet1");
    auto* grid = new QGridLayout(page);
    grid->setColumnMinimumWidth(0, 12);
    grid->setColumnStretch(2, 1);

    grid->addWidget(heading(QStringLiteral("Picture background color"), page), 0, 0, 1, 4);
    labColor_ = named(new QLabel(page), "labColor");
    labColor_->setFixedSize(64, 22);
    labColor_->setFrameStyle(QFrame::Box | QFrame::Plain); // a white swatch still shows its edge
    labColor_->setAutoFillBackground(true);
    auto* select = named(new QPushButton(QStringLiteral("&Select"), page), "SpeedButton4");
    select->setAutoDefault(false);
    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(labColor_);
    colourRow->addWidget(select);
    colourRow->addStretch();
    grid->addLayout(colourRow, 1, 1, 1, 3);
    connect(select, &QPushButton::clicked, this, &OptionsDialog::chooseBackground);

    grid->setRowMinimumHeight(2, 8);
    grid->addWidget(heading(QStringLiteral("Icon Editor"), page), 3, 0, 1, 4);
    editDirectory_ = named(new QLineEdit(page), "editDirectory");
    grid->addWidget(buddyLabel("&Path:", editDirectory_, page), 4, 1);
    grid->addWidget(editDirectory_, 4, 2);
    auto* browse = named(new QToolButton(page), "SpeedButton3");
    browse->setIcon(toolbarPicture(Picture::Browse));
    browse->setIconSize(QSize(20, 20));
    browse->setToolTip(QStringLiteral("Browse"));
    browse->setAccessibleName(QStringLiteral("Browse for the icon editor"));
    grid->addWidget(browse, 4, 3);
    connect(browse, &QToolButton::clicked, this, &OptionsDialog::browseEditor);

    grid->setRowMinimumHeight(5, 8);
    tbrImage_ = named(new QSlider(Qt::Horizontal, page), "tbrImage");
    auto* quality = heading(QStringLiteral("&Jpeg quality"), page);
    quality->setBuddy(tbrImage_);
    tbrImage_->setAccessibleName(QStringLiteral("Jpeg quality"));
    grid->addWidget(quality, 6, 0, 1, 4);
    tbrImage_->setRange(0, settings::OptionsForm::kJpegQualityMax);
    tbrImage_->setSingleStep(1);
    tbrImage_->setPageStep(10);
    tbrImage_->setTickPosition(QSlider::TicksBelow);
    tbrImage_->setTickInterval(10);
    tbrImage_->setValue(settings::OptionsForm::kJpegQualityStart);
    labImage_ = named(new QLabel(page), "labImage");
    labImage_->setMinimumWidth(labImage_->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);
    grid->addWidget(tbrImage_, 7, 1, 1, 2);
    grid->addWidget(labImage_, 7, 3);
    auto* ends = new QHBoxLayout;
    ends->addWidget(new QLabel(QStringLiteral("Best compression"), page));
    ends->addStretch();
    ends->addWidget(new QLabel(QStringLiteral("Best quality"), page));
    grid->addLayout(ends, 8, 1, 1, 2);
    connect(tbrImage_, &QSlider::valueChanged, this, &OptionsDialog::showJpegQuality);
    showJpegQuality();

    grid->setRowStretch(9, 1);
    return page;
}

QWidget* OptionsDialog::buildSearchPage()
{
    auto* page = named(new QWidget, "TabSheet2");
    auto* columns = new QHBoxLayout(page);

    auto* lookFor = new QGroupBox(QStringLiteral("Look for"), page);
    auto* types = new QVBoxLayout(lookFor);
    types->setSpacing(2);
    for (const TypeBox& t : kTypeBoxes) {
        const auto i = static_cast<std::size_t>(t.type);
        // The key's own words, with the letter that Alt takes.
        QString caption = QLatin1String(t.caption ? t.caption : kFileTypes[i].settingsKey);
        caption.insert(t.mnemonic, QLatin1Char('&'));
        auto* box = named(new QCheckBox(caption, lookFor), t.name);
        box->setChecked(true);
        fileTypeBoxes_[i] = box;
        types->addWidget(box);
    }
    types->addStretch();
    columns->addWidget(lookFor);

    auto* right = new QVBoxLayout;
    auto quantity = [&](const QString& title, const char* automaticCaption, QRadioButton*& automatic,
                        const char* automaticName, const char* upToCaption, QRadioButton*& upTo, const char* upToName,
                        QLineEdit*& number, const char* numberName) {
        auto* group = new QGroupBox(title, page);
        auto* grid = new QGridLayout(group);
        automatic = named(new QRadioButton(QLatin1String(automaticCaption), group), automaticName);
        automatic->setChecked(true);
        upTo = named(new QRadioButton(QLatin1String(upToCaption), group), upToName);
        number = named(new QLineEdit(group), numberName);
        number->setAccessibleName(title + QStringLiteral(", up to"));
        number->setMaximumWidth(80);
        grid->addWidget(automatic, 0, 0, 1, 2);
        grid->addWidget(upTo, 1, 0);
        grid->addWidget(number, 1, 1, Qt::AlignLeft);
        grid->setColumnStretch(1, 1);
        right->addWidget(group);
    };
    quantity(QStringLiteral("Icon quantity"), "&Automatic", radioIcon_, "radioIcon", "&Up to", radioIconNumber_,
             "radioIconNumber", editIcon_, "editIcon");
    quantity(QStringLiteral("File quantity"), "Auto&matic", radioFile_, "radioFile", "Up &to", radioFileNumber_,
             "radioFileNumber", editFile_, "editFile");
    connect(radioIconNumber_, &QRadioButton::clicked, this, &OptionsDialog::chooseIconsUpTo);
    connect(radioFileNumber_, &QRadioButton::clicked, this, &OptionsDialog::chooseFilesUpTo);

    chbSubFolders_ = named(new QCheckBox(QStringLiteral("Include sub&folders"), page), "chbSubFolders");
    chbSubFolders_->setChecked(true);
    chbRecycle_ = named(new QCheckBox(QStringLiteral("Searc&h recycle bin"), page), "chbRecycle");
    chbRecycle_->setChecked(true);
    right->addSpacing(4);
    right->addWidget(chbSubFolders_);
    right->addWidget(chbRecycle_);
    right->addStretch();
    columns->addLayout(right, 1);
    return page;
}

QWidget* OptionsDialog::buildInternetPage()
{
    tabSheet3_ = named(new QWidget, "TabSheet3");
    auto* page = tabSheet3_;
    auto* layout = new QVBoxLayout(page);

    auto* email = new QGroupBox(QStringLiteral("Email"), page);
    auto* emailLayout = new QVBoxLayout(email);
    emailLayout->setSpacing(2);
    editSmtp_ = named(new QLineEdit(email), "editSmtp");
    editReply_ = named(new QLineEdit(email), "editReply");
    emailLayout->addWidget(buddyLabel("&SMTP Server:", editSmtp_, email));
    emailLayout->addWidget(editSmtp_);
    emailLayout->addWidget(buddyLabel("Reply to A&ddress:", editReply_, email));
    emailLayout->addWidget(editReply_);
    layout->addWidget(email);

    auto* proxy = new QGroupBox(QStringLiteral("Proxy Server"), page);
    auto* proxyGrid = new QGridLayout(proxy);
    proxyGrid->setVerticalSpacing(2);
    chbProxy_ = named(new QCheckBox(QStringLiteral("&Use proxy"), proxy), "chbProxy");
    editProxy_ = named(new QLineEdit(proxy), "editProxy");
    editProxyPort_ = named(new QLineEdit(proxy), "editProxyPort");
    // The port the update check connects to; none typed means the usual one.
    editProxyPort_->setPlaceholderText(QString::number(settings::InternetOptions::kDefaultProxyPort));
    editProxyPort_->setToolTip(
        QStringLiteral("The proxy server's port; empty means %1").arg(settings::InternetOptions::kDefaultProxyPort));
    editProxyPort_->setMaximumWidth(70);
    proxyGrid->addWidget(chbProxy_, 0, 0, 1, 2);
    proxyGrid->addWidget(buddyLabel("&Proxy Server:", editProxy_, proxy), 1, 0);
    proxyGrid->addWidget(buddyLabel("Por&t:", editProxyPort_, proxy), 1, 1);
    proxyGrid->addWidget(editProxy_, 2, 0);
    proxyGrid->addWidget(editProxyPort_, 2, 1);
    proxyGrid->setColumnStretch(0, 1);
    layout->addWidget(proxy);

    auto* timeout = new QHBoxLayout;
    editConnection_ = named(new QLineEdit(QStringLiteral("20"), page), "editConnection");
    editConnection_->setMaximumWidth(50);
    timeout->addWidget(buddyLabel("Connection T&imeout", editConnection_, page));
    // In its up-down box the field is no sibling of its label, where a screen reader would look.
    editConnection_->setAccessibleName(QStringLiteral("Connection Timeout"));
    timeout->addWidget(upDownEdit(editConnection_, kConnectionLowest, kConnectionHighest, page));
    timeout->addWidget(new QLabel(QStringLiteral("Seconds"), page));
    timeout->addStretch();
    layout->addLayout(timeout);

    // How the mail dialog reaches the SMTP server.
    auto* mail = new QGridLayout;
    mail->setVerticalSpacing(2);
    editSmtpPort_ = named(new QLineEdit(QStringLiteral("25"), page), "editSmtpPort");
    editSmtpPort_->setMaximumWidth(70);
    cmbSmtpSecurity_ = named(new QComboBox(page), "cmbSmtpSecurity");
    for (const char* name : settings::InternetOptions::kSmtpSecurityNames) cmbSmtpSecurity_->addItem(fromStd(name));
    editSmtpUser_ = named(new QLineEdit(page), "editSmtpUser");
    mail->addWidget(buddyLabel("Po&rt", editSmtpPort_, page), 0, 0);
    mail->addWidget(buddyLabel("S&ecurity", cmbSmtpSecurity_, page), 0, 1);
    mail->addWidget(buddyLabel("User &name", editSmtpUser_, page), 0, 2);
    mail->addWidget(editSmtpPort_, 1, 0);
    mail->addWidget(cmbSmtpSecurity_, 1, 1);
    mail->addWidget(editSmtpUser_, 1, 2);
    mail->setColumnStretch(2, 1);
    layout->addLayout(mail);
    layout->addStretch();
    return page;
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* e)
{
    // Shown by choosing its tab, or with the dialog while it is the current page.
    if (watched == tabSheet3_ && e->type() == QEvent::Show && !e->spontaneous()) loadInternetPage();
    return QDialog::eventFilter(watched, e);
}

void OptionsDialog::loadInternetPage()
{
    const settings::InternetOptions net = settings::InternetOptions::load(file_);
    editSmtp_->setText(fromStd(net.smtp));
    editReply_->setText(fromStd(net.replyTo));
    editProxy_->setText(fromStd(net.proxyIp));
    editProxyPort_->setText(fromStd(net.proxyPort));
    chbProxy_->setChecked(net.proxy);
    editConnection_->setText(fromStd(net.connection));
    editSmtpPort_->setText(fromStd(net.smtpPort));
    cmbSmtpSecurity_->setCurrentIndex(net.smtpSecurityIndex());
    editSmtpUser_->setText(fromStd(net.smtpUser));
    internetShown_ = true;
}

settings::OptionsForm OptionsDialog::form() const
{
    settings::OptionsForm f;
    f.background = background_;
    f.editor = toStd(editDirectory_->text());
    f.jpegQuality = tbrImage_->value();
    for (const FileTypeInfo& t : kFileTypes) {
        f.fileTypes.set(t.type, fileTypeBoxes_[static_cast<std::size_t>(t.type)]->isChecked());
    }
    f.icons = choiceOf(radioIcon_, radioIconNumber_, editIcon_);
    f.files = choiceOf(radioFile_, radioFileNumber_, editFile_);
    f.subFolder = chbSubFolders_->isChecked();
    f.recycle = chbRecycle_->isChecked();
    if (internetShown_) {
        settings::InternetOptions net;
        net.smtp = toStd(editSmtp_->text());
        net.replyTo = toStd(editReply_->text());
        net.connection = toStd(editConnection_->text());
        net.proxy = chbProxy_->isChecked();
        net.proxyIp = toStd(editProxy_->text());
        net.proxyPort = toStd(editProxyPort_->text());
        net.smtpPort = toStd(editSmtpPort_->text());
        net.smtpSecurity = settings::InternetOptions::kSmtpSecurityNames[std::max(0, cmbSmtpSecurity_->currentIndex())];
        net.smtpUser = toStd(editSmtpUser_->text());
        f.internet = net;
    }
    return f;
}

void OptionsDialog::showForm(const settings::OptionsForm& f)
{
    showBackground(f.background);
    editDirectory_->setText(fromStd(f.editor));
    tbrImage_->setValue(f.jpegQuality);
    for (const FileTypeInfo& t : kFileTypes) {
        fileTypeBoxes_[static_cast<std::size_t>(t.type)]->setChecked(f.fileTypes.has(t.type));
    }
    showQuantities(f);
    editIcon_->setText(fromStd(f.icons.number));
    editFile_->setText(fromStd(f.files.number));
    chbSubFolders_->setChecked(f.subFolder);
    chbRecycle_->setChecked(f.recycle);
}

void OptionsDialog::showQuantities(const settings::OptionsForm& f)
{
    showChoice(radioIcon_, radioIconNumber_, f.icons);
    showChoice(radioFile_, radioFileNumber_, f.files);
}

void OptionsDialog::showBackground(settings::Colour colour)
{
    background_ = colour;
    QPalette palette = labColor_->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(settings::colourToRgb(colour)));
    labColor_->setPalette(palette);
}

void OptionsDialog::showJpegQuality() { labImage_->setText(QStringLiteral("%1%").arg(tbrImage_->value())); }

void OptionsDialog::chooseIconsUpTo()
{
    settings::OptionsForm f = form();
    f.chooseIconsUpTo();
    showQuantities(f);
}

void OptionsDialog::chooseFilesUpTo()
{
    settings::OptionsForm f = form();
    f.chooseFilesUpTo();
    showQuantities(f);
}

void OptionsDialog::chooseBackground()
{
    if (const auto colour = prompts_.chooseColour(this)) showBackground(colourOf(*colour));
}

void OptionsDialog::browseEditor()
{
    const QList<FileFilter> filters = {
        {QStringLiteral("exe files(*.exe)"), QStringLiteral("*.exe")},
        {QStringLiteral("All files(*.*)"), QStringLiteral("*.*")},
    };
    const QString path = chooseFile(prompts_, settings::Chooser::Editor, this, QStringLiteral("Open file"), filters);
    if (!path.isEmpty()) editDirectory_->setText(path);
}

QWidget* OptionsDialog::failedField(const FieldError& e) const
{
    // The form checks the icons' limit before the files', the proxy's port
    // before the mail server's; the first that fails is the one named.
    const auto bad = [](const QLineEdit* edit, bool port) {
        const std::optional<std::int32_t> value = parseInteger(toStd(edit->text()));
        return port ? !edit->text().isEmpty() && (!value || *value < 1 || *value > 65535) : !value;
    };
    if (e.field() == "Up to") return radioIconNumber_->isChecked() && bad(editIcon_, false) ? editIcon_ : editFile_;
    if (e.field() == "Port") return bad(editProxyPort_, true) ? editProxyPort_ : editSmtpPort_;
    return nullptr;
}

void OptionsDialog::accept()
{
    try {
        form().store(file_);
    } catch (const FieldError& e) {
        // Nothing was written; the focus goes to the field to be mended.
        showFieldError(prompts_, *this, e, failedField(e));
        return;
    } catch (const std::exception& e) {
        // Nothing was written; the dialog stays open for the value to be mended.
        prompts_.error(this, QString::fromUtf8(e.what()));
        return;
    }
    if (reload_) reload_();
    QDialog::accept();
}

} // namespace vextral::gui
