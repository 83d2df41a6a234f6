#include "gui/webpage/WebPageDialog.h"

#include "core/Error.h"
#include "export/WebPage.h"
#include "gui/common/ButtonRow.h"
#include "gui/common/Choosers.h"
#include "gui/common/FieldFocus.h"
#include "gui/common/FormGroups.h"
#include "gui/common/Gauge.h"
#include "gui/common/Prompts.h"
#include "gui/common/TitleWidth.h"
#include "gui/common/UpDownEdit.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>
#include <optional>
#include <utility>
#include <vector>

namespace vextral::gui {

namespace {

const char* const kBrowseTitle = "Please select a directory to save the web file.";

std::string typed(const QLineEdit* e) { return e->text().trimmed().toStdString(); }

} // namespace

WebPageDialog::WebPageDialog(const IconCatalogue& catalogue, const settings::Settings& settings, Prompts& prompts,
                             QWidget* parent)
    : QDialog(parent), catalogue_(catalogue), settings_(settings), prompts_(prompts)
{
    setObjectName(QStringLiteral("FormWebPage"));
    setWindowTitle(QStringLiteral("Create Web Page"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* heading = new QHBoxLayout;
    auto* label1 = new QLabel(QStringLiteral("Create Web Page"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    heading->addWidget(label1);
    heading->addWidget(line, 1);
    layout->addLayout(heading);

    auto* pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(pages);

    // Page Options
    auto* pageOptions = new QWidget(pages);
    auto* pageGrid = new QGridLayout(pageOptions);
    auto* outputLabel = new QLabel(QStringLiteral("Output &Directory:"), pageOptions);
    pageGrid->addWidget(outputLabel, 0, 0);
    editFile_ = namedEdit("editFile", QString(), pageOptions);
    outputLabel->setBuddy(editFile_);
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), pageOptions);
    browse->setObjectName(QStringLiteral("SpeedButton1"));
    connect(browse, &QPushButton::clicked, this, &WebPageDialog::browseFolder);
    pageGrid->addWidget(editFile_, 0, 1);
    pageGrid->addWidget(browse, 0, 2);
    auto* options = new QGroupBox(QStringLiteral("Page Options"), pageOptions);
    auto* optionsGrid = new QGridLayout(options);
    editTitle_ = namedEdit("editTitle", QString(), options);
    editTable_ = namedEdit("editTable", QStringLiteral("1"), options);
    editCount_ = namedEdit("editCount", QStringLiteral("5"), options);
    const std::pair<const char*, QLineEdit*> labels[] = {
        {"Page &Title:", editTitle_}, {"Bo&rder:", editTable_}, {"Co&lumn Count:", editCount_}};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QLatin1String(labels[i].first), options);
        label->setBuddy(labels[i].second);
        // In its up-down box a field is no sibling of its label, where a screen reader would look.
        labels[i].second->setAccessibleName(QString::fromLatin1(labels[i].first).remove(QLatin1Char('&')).chopped(1));
        optionsGrid->addWidget(label, i, 0);
    }
    optionsGrid->addWidget(editTitle_, 0, 1);
    optionsGrid->addWidget(upDownEdit(editTable_, 0, 100, options), 1, 1);
    optionsGrid->addWidget(upDownEdit(editCount_, 0, 100, options), 2, 1);
    pageGrid->addWidget(options, 1, 0, 1, 3);
    // The other page is taller: this one keeps its rows together at the top.
    pageGrid->setRowStretch(2, 1);
    pages->addTab(pageOptions, QStringLiteral("Page Options"));

    // Image Options
    auto* imageOptions = new QWidget(pages);
    auto* imageGrid = new QGridLayout(imageOptions);
    imageGrid->addWidget(rangeGroup(QStringLiteral("Image quantity"), QStringLiteral("&All icons"), "radioAll",
                                    "radioSelect", range_, imageOptions),
                         0, 0, 1, 2);

    auto* types = new QGroupBox(QStringLiteral("File Type"), imageOptions);
    types->setObjectName(QStringLiteral("rgpFile"));
    auto* typeLayout = new QVBoxLayout(types);
    rgpFile_ = new QButtonGroup(this);
    const char* const captions[] = {"&Bmp File", "&Jpg File", "&Gif File"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(captions[i]), types);
        radio->setObjectName(QStringLiteral("rgpFile%1").arg(i));
        rgpFile_->addButton(radio, i);
        typeLayout->addWidget(radio);
    }
    rgpFile_->button(2)->setChecked(true);
    imageGrid->addWidget(types, 1, 0);

    SizeEdits size;
    imageGrid->addWidget(sizeGroup(QStringLiteral("Image Size"), QStringLiteral("32"), 100, true, size, imageOptions),
                         1, 1);
    editWidth_ = size.width;
    editHeight_ = size.height;
    pages->addTab(imageOptions, QStringLiteral("Image Options"));
    pages->setCurrentIndex(0);

    layout->addWidget(new QLabel(QStringLiteral("Progress:"), this));
    gaugeTotal_ = new Gauge(this);
    gaugeTotal_->setObjectName(QStringLiteral("GaugeTotal"));
    gaugeTotal_->setFallbackAccessibleName(QStringLiteral("Web page progress"));
    layout->addWidget(gaugeTotal_);

    lstIcon_ = new QListWidget(this);
    lstIcon_->setObjectName(QStringLiteral("LstIcon"));
    lstIcon_->hide();

    auto* buttons = buttonRow(this);
    ok_ = addButton(buttons, "SpeedButton5", "&OK", QDialogButtonBox::AcceptRole);
    addButton(buttons, "SpeedButton6", "&Cancel", QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &WebPageDialog::createPage);
    connect(buttons, &QDialogButtonBox::rejected, this, &WebPageDialog::cancel);
    // Return presses the browse button, the first of the dialog's buttons.
    browse->setDefault(true);
    fitTitle(*this);
}

void WebPageDialog::setIconPositions(IconPositions positions)
{
    positions_ = std::move(positions);
    chooseStartRange(range_, positions_);
}

void WebPageDialog::browseFolder()
{
    // A cancelled browser leaves the folder typed as it was.
    const QString folder = chooseFolder(prompts_, settings::Chooser::WebPage, this, QString::fromLatin1(kBrowseTitle));
    if (!folder.isEmpty()) editFile_->setText(folder);
}

void WebPageDialog::cancel()
{
    if (state_ == State::Running) {
        gaugeTotal_->setValue(0);
        state_ = State::Stopped;
        return;
    }
    reject();
}

void WebPageDialog::closeEvent(QCloseEvent* e)
{
    // Closing while a run pumps events stops the run at its next picture.
    if (state_ == State::Running) state_ = State::Stopped;
    QDialog::closeEvent(e);
}

void WebPageDialog::createPage()
{
    if (state_ == State::Running) return;
    exporting::WebPageJob job;
    job.folder = QFile::encodeName(editFile_->text()).toStdString();
    job.title = editTitle_->text().toStdString();
    job.borderText = editTable_->text().toStdString();
    job.columnsText = [this] { return typed(editCount_); };
    job.allIcons = range_.all->isChecked();
    job.fromText = typed(range_.bottom);
    job.toText = typed(range_.top);
    const std::optional<std::vector<int>> chosen = checkedPositions(range_, positions_);
    job.typeIndex = rgpFile_->checkedId();
    job.widthText = [this] { return typed(editWidth_); };
    job.heightText = [this] { return typed(editHeight_); };
    job.background = settings_.background;
    job.jpegQuality = settings_.jpegQuality;
    job.bestImage = settings_.bestImage;
    if (job.folder.empty()) {
        prompts_.information(this, QString::fromLatin1(kBrowseTitle));
        return;
    }
    // An empty choice would be every icon to the engine: it holds no icon.
    if (chosen && chosen->empty()) {
        prompts_.information(this, QStringLiteral("No icon."));
        return;
    }
    if (chosen) job.positions = *chosen;
    try {
        exporting::webPageRange(catalogue_, job);
    } catch (const FieldError& e) {
        // "From" labels its radio button; "To" has a label of its own.
        showFieldError(prompts_, *this, e, e.field() == "From" ? range_.bottom : nullptr);
        return;
    } catch (const Error& e) {
        const QString message = QString::fromStdString(e.what());
        if (message == QLatin1String("No icon.")) {
            prompts_.information(this, message);
        } else {
            prompts_.error(this, message);
        }
        return;
    }

    QPointer<WebPageDialog> self(this);
    job.progress = [this](int percent) {
        // A gallery of thousands of pictures moves the gauge a hundred times.
        if (percent == gaugeTotal_->value()) return;
        gaugeTotal_->setValue(percent);
        gaugeTotal_->repaint();
    };
    job.pump = [] { QCoreApplication::processEvents(); };
    job.cancelled = [this, self] { return !self || state_ != State::Running; };
    state_ = State::Running;
    ok_->setEnabled(false);
    std::optional<QString> failure;
    QString failedField; // the label of a field whose text was refused
    try {
        exporting::writeWebPage(catalogue_, job);
    } catch (const FieldError& e) {
        failure = QString::fromStdString(e.what());
        failedField = QString::fromStdString(e.field());
    } catch (const std::exception& e) {
        failure = QString::fromStdString(e.what());
    }
    if (!self) return;
    state_ = State::Stopped;
    ok_->setEnabled(true);
    lstIcon_->clear();
    for (const std::string& l : job.lines) lstIcon_->addItem(QString::fromStdString(l));
    // The pictures written stay; no page is written after a failure.
    if (failure) prompts_.error(this, *failure);
    if (!failedField.isEmpty()) focusField(fieldLabelled(*this, failedField));
    // The folder written into, typed or browsed, is where the browser opens next.
    if (!failure) rememberFolder(prompts_, settings::Chooser::WebPage, editFile_->text());
}

} // namespace vextral::gui
