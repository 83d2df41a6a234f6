#include "gui/saveall/SaveAllDialog.h"

#include "core/Error.h"
#include "export/SaveAll.h"
#include "gui/common/ButtonRow.h"
#include "gui/common/Choosers.h"
#include "gui/common/FieldFocus.h"
#include "gui/common/FormGroups.h"
#include "gui/common/Gauge.h"
#include "gui/common/Prompts.h"
#include "gui/saveall/FolderTree.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <exception>
#include <optional>
#include <utility>
#include <vector>

namespace vextral::gui {

namespace {

constexpr int kMaxSide = 613;

} // namespace

QString renamedText(int renamed, int renamedForInputs)
{
    QStringList lines;
    if (renamed == 1)
        lines << QStringLiteral("1 icon was saved under a new name, because an earlier icon had the same name.");
    else if (renamed > 1)
        lines << QStringLiteral("%1 icons were saved under new names, because earlier icons had the same names.")
                     .arg(renamed);
    if (renamedForInputs == 1)
        lines << QStringLiteral("1 icon was saved under a new name, so as not to overwrite a harvested file.");
    else if (renamedForInputs > 1)
        lines << QStringLiteral("%1 icons were saved under new names, so as not to overwrite harvested files.")
                     .arg(renamedForInputs);
    return lines.join(QLatin1Char('\n'));
}

QString stoppedText(int written, int total)
{
    return QStringLiteral("Saving was stopped: %1 of %2 icons %3 saved.")
        .arg(written)
        .arg(total)
        .arg(written == 1 ? QStringLiteral("was") : QStringLiteral("were"));
}

SaveAllDialog::SaveAllDialog(const IconCatalogue& catalogue, int jpegQuality, Prompts& prompts, QWidget* parent)
    : QDialog(parent), catalogue_(catalogue), jpegQuality_(jpegQuality), prompts_(prompts)
{
    setObjectName(QStringLiteral("FormSaveAll"));
    setWindowTitle(QStringLiteral("Save all"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    auto* layout = new QGridLayout(this);
    // A fixed border: the dialog is as large as its controls need, no larger and no smaller.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* label1 = new QLabel(QStringLiteral("Please select a folder to save icons"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    dirSaveAll_ = new FolderTree(this);
    dirSaveAll_->setObjectName(QStringLiteral("dirSaveAll"));
    dirSaveAll_->setMinimumSize(230, 300);
    layout->addWidget(label1, 0, 0);
    layout->addWidget(dirSaveAll_, 1, 0, 5, 1);
    // The folder saved into last is selected, in view.
    const QString last = rememberedFolder(prompts_, settings::Chooser::SaveAll);
    if (QTreeWidgetItem* node = QFileInfo(last).isDir() ? dirSaveAll_->nodeFor(last) : nullptr) {
        dirSaveAll_->setCurrentItem(node);
        dirSaveAll_->scrollToItem(node);
    }

    auto* types = new QGroupBox(QStringLiteral("File Type"), this);
    types->setObjectName(QStringLiteral("rgpImage"));
    auto* typeGrid = new QGridLayout(types);
    rgpImage_ = new QButtonGroup(this);
    const auto typeRows = codecs::saveAllTypes();
    for (int i = 0; i < static_cast<int>(typeRows.size()); ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(typeRows[static_cast<std::size_t>(i)].caption), types);
        radio->setObjectName(QStringLiteral("rgpImage%1").arg(i));
        rgpImage_->addButton(radio, i);
        // Two columns of five picture types; each image, several files an icon, below them.
        if (i < 10) {
            typeGrid->addWidget(radio, i % 5, i / 5);
        } else {
            typeGrid->addWidget(radio, 5 + i - 10, 0, 1, 2);
        }
    }
    // The group box owns typeGrid, as every widget owns its layout.
    rgpImage_->button(0)->setChecked(true); // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
    layout->addWidget(types, 0, 1, 2, 1);

    auto* naming = new QGroupBox(QStringLiteral("File Name"), this);
    auto* namingGrid = new QGridLayout(naming);
    radioFilename_ = new QRadioButton(QStringLiteral("&Filename_index"), naming);
    radioFilename_->setObjectName(QStringLiteral("radioFilename"));
    radioFilename_->setChecked(true);
    radioNumber_ = new QRadioButton(naming);
    radioNumber_->setObjectName(QStringLiteral("radioNumber"));
    editImage_ = new QLineEdit(naming);
    editImage_->setObjectName(QStringLiteral("editImage"));
    auto* label2 = new QLabel(QStringLiteral("001"), naming);
    label2->setObjectName(QStringLiteral("Label2"));
    namingGrid->addWidget(radioFilename_, 0, 0, 1, 3);
    namingGrid->addWidget(radioNumber_, 1, 0);
    namingGrid->addWidget(editImage_, 1, 1);
    namingGrid->addWidget(label2, 1, 2);
    connect(radioFilename_, &QRadioButton::clicked, this, &SaveAllDialog::clearPrefix);
    layout->addWidget(naming, 2, 1);

    auto* range =
        rangeGroup(QStringLiteral("Save range"), QStringLiteral("&All icons"), "radioAllIcons", nullptr, range_, this);
    layout->addWidget(range, 3, 1);
    // "Each image" takes Alt+E here, the only letter of its caption no other control has.
    range_.selected->setText(QStringLiteral("Selecte&d icons"));

    SizeEdits size;
    layout->addWidget(sizeGroup(QStringLiteral("Image Size"), QStringLiteral("32"), kMaxSide, true, size, this), 4, 1);
    editWidth_ = size.width;
    editHeight_ = size.height;

    auto* progress = new QWidget(this);
    auto* progressLayout = new QVBoxLayout(progress);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    progressLayout->addWidget(new QLabel(QStringLiteral("Progress:"), progress));
    gaugeCurrent_ = new Gauge(progress);
    gaugeCurrent_->setObjectName(QStringLiteral("GaugeCurrent"));
    gaugeCurrent_->setFallbackAccessibleName(QStringLiteral("Save progress"));
    progressLayout->addWidget(gaugeCurrent_);
    layout->addWidget(progress, 5, 1);

    auto* buttons = buttonRow(this);
    addButton(buttons, "SpeedButton1", "&OK", QDialogButtonBox::AcceptRole);
    cancel_ = addButton(buttons, "SpeedButton2", "&Cancel", QDialogButtonBox::RejectRole);
    layout->addWidget(buttons, 6, 0, 1, 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &SaveAllDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SaveAllDialog::reject);
}

void SaveAllDialog::setIconPositions(IconPositions positions)
{
    positions_ = std::move(positions);
    chooseStartRange(range_, positions_);
}

void SaveAllDialog::setRunning(bool running)
{
    running_ = running;
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->isWindow() || child == cancel_ || child->isAncestorOf(cancel_) || child->isAncestorOf(gaugeCurrent_))
            continue;
        // Only the controls at the top: their children follow them.
        if (child->parentWidget() == this || child->parentWidget() == cancel_->parentWidget())
            child->setEnabled(!running);
    }
}

void SaveAllDialog::reject()
{
    if (running_) {
        stopAsked_ = true;
        return;
    }
    QDialog::reject();
}

void SaveAllDialog::closeEvent(QCloseEvent* e)
{
    // Closing while a run pumps events stops the run after its current file
    // and closes the dialog (Cancel alone would only stop the run).
    if (running_) {
        stopAsked_ = true;
        QDialog::reject();
        e->accept();
        return;
    }
    QDialog::closeEvent(e);
}

void SaveAllDialog::clearPrefix() { editImage_->clear(); }

void SaveAllDialog::accept()
{
    if (running_) return;
    const QString folder = dirSaveAll_->selectedFolderPath();
    if (folder.isEmpty()) {
        prompts_.information(this, QStringLiteral("Please select a folder to save icons."));
        return;
    }
    const std::optional<std::vector<int>> chosen = checkedPositions(range_, positions_);
    // An empty choice would be every icon to the engine: it holds no icon.
    if (chosen && chosen->empty()) {
        prompts_.information(this, QStringLiteral("No icon."));
        return;
    }
    rememberFolder(prompts_, settings::Chooser::SaveAll, folder);
    if (radioNumber_->isChecked() && editImage_->text().isEmpty()) editImage_->setText(QStringLiteral("Icon"));
    exporting::SaveAllJob job;
    job.format = codecs::saveAllTypes()[static_cast<std::size_t>(rgpImage_->checkedId())].format;
    job.naming.byFilename = radioFilename_->isChecked();
    job.naming.prefix = editImage_->text().toStdString();
    if (chosen) job.positions = *chosen;
    job.widthText = [this] { return editWidth_->text().trimmed().toStdString(); };
    job.heightText = [this] { return editHeight_->text().trimmed().toStdString(); };
    job.jpegQuality = jpegQuality_;
    job.bestImage = bestImage;
    job.transparent = transparent;
    const QPointer<SaveAllDialog> self(this);
    job.progress = [this](int percent) {
        // Tens of thousands of icons move the gauge a hundred times.
        if (percent != gaugeCurrent_->value()) gaugeCurrent_->setValue(percent);
    };
    job.pump = [] { QCoreApplication::processEvents(); };
    job.cancelled = [this, self] { return !self || stopAsked_; };
    gaugeCurrent_->setValue(0);
    stopAsked_ = false;
    setRunning(true);
    std::optional<QString> failure;
    QLineEdit* failedField = nullptr; // a size typed that is no number
    try {
        exporting::saveAll(catalogue_, QFile::encodeName(folder).toStdString(), job);
    } catch (const FieldError& e) {
        failure = QString::fromStdString(e.what());
        failedField = e.field() == "Height" ? editHeight_ : editWidth_;
    } catch (const std::exception& e) {
        failure = QString::fromStdString(e.what());
    }
    // The dialog may have been closed, and deleted, while the run pumped.
    if (!self) return;
    setRunning(false);
    if (failure) {
        // The run stops at this icon; the files written stay and the dialog stays open.
        prompts_.error(this, *failure);
        if (failedField) focusField(failedField);
        return;
    }
    if (job.stopped) {
        QString text = stoppedText(job.iconsSaved, job.total);
        if (job.renamed > 0 || job.renamedForInputs > 0)
            text += QLatin1Char('\n') + renamedText(job.renamed, job.renamedForInputs);
        if (isVisible()) prompts_.information(this, text);
        return;
    }
    if (job.renamed > 0 || job.renamedForInputs > 0)
        prompts_.information(this, renamedText(job.renamed, job.renamedForInputs));
    QDialog::accept();
}

} // namespace vextral::gui
