#include "gui/convert/ConvertDialog.h"

#include "codecs/OutputFormats.h"
#include "codecs/PictureReader.h"
#include "core/Error.h"
#include "export/ConvertPreview.h"
#include "export/IconFile.h"
#include "gui/common/ButtonRow.h"
#include "gui/common/Choosers.h"
#include "gui/common/PictureImage.h"
#include "gui/common/Prompts.h"
#include "gui/common/SavePicture.h"
#include "gui/common/TitleWidth.h"
#include "platform/PictureFile.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>
#include <exception>
#include <future>
#include <memory>
#include <utility>

namespace vextral::gui {

namespace {

// The one entry of the open dialog: every extension a reader is there for.
QList<FileFilter> allImagesFilter()
{
    QStringList patterns;
    for (const char* extension : codecs::allImagesExtensions())
        patterns << QStringLiteral("*.") + QLatin1String(extension);
    return {{QStringLiteral("All Images"), patterns.join(u';')}};
}

} // namespace

ConvertDialog::ConvertDialog(SavePicture& savePicture, const settings::Settings& settings, Prompts& prompts,
                             QWidget* parent)
    : QDialog(parent), savePicture_(savePicture), settings_(settings), prompts_(prompts)
{
    setObjectName(QStringLiteral("FormConvert"));
    setWindowTitle(QStringLiteral("Convert"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* label1 = new QLabel(QStringLiteral("Image:"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(label1, 0, 0);

    // The preview box, sunk into the dialog; a preview larger than the box
    // shows its top left part.
    auto* box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* boxLayout = new QVBoxLayout(box);
    const int frame = box->frameWidth();
    boxLayout->setContentsMargins(frame, frame, frame, frame);
    imgPicture_ = new QLabel(box);
    imgPicture_->setObjectName(QStringLiteral("imgPicture"));
    imgPicture_->setFixedSize(exporting::kPreviewBox, exporting::kPreviewBox);
    imgPicture_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    boxLayout->addWidget(imgPicture_);
    layout->addWidget(box, 1, 0);

    // Load and Save keep the dialog open; Return presses no button.
    auto* buttons = buttonRow(this, Qt::Vertical);
    auto* spbOpen = addButton(buttons, "spbOpen", "&Load", QDialogButtonBox::ActionRole);
    spbSave_ = addButton(buttons, "spbSave", "&Save", QDialogButtonBox::ActionRole);
    auto* spbCancel = addButton(buttons, "spbCancel", "&Cancel", QDialogButtonBox::RejectRole);
    spbSave_->setEnabled(false);
    for (QPushButton* b : {spbOpen, spbSave_, spbCancel}) b->setAutoDefault(false);
    layout->addWidget(buttons, 1, 1, Qt::AlignTop);
    connect(spbOpen, &QPushButton::clicked, this, &ConvertDialog::load);
    connect(spbSave_, &QPushButton::clicked, this, &ConvertDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    fitTitle(*this);
}

void ConvertDialog::load()
{
    const QString file =
        chooseFile(prompts_, settings::Chooser::Convert, this, QStringLiteral("Open"), allImagesFilter());
    if (!file.isEmpty()) {
        // Every picture is read into a buffer of its own: what a GIF leaves
        // in the parameters (its depth and table) applies to its own saves
        // only, never to a picture loaded after it.
        // A read may take seconds (a large TIFF, a metafile that draws for
        // long, bounded by the readers' limits): it runs beside the window,
        // which keeps painting, with the dialog disabled meanwhile.
        const std::string path = QFile::encodeName(file).toStdString();
        auto reading = std::async(std::launch::async, [path] {
            auto read = std::make_unique<codecs::ImageBuffer>();
            ReadStatus status = platform::loadPicture(*read, path);
            return std::make_pair(std::move(read), std::move(status));
        });
        const QPointer<ConvertDialog> self(this);
        setEnabled(false);
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        while (reading.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QGuiApplication::restoreOverrideCursor();
        std::unique_ptr<codecs::ImageBuffer> read;
        QString failure;
        try {
            auto [buffer, status] = reading.get();
            read = std::move(buffer);
            if (!status) failure = QString::fromStdString(status.reason());
        } catch (const std::exception& e) {
            failure = QString::fromStdString(e.what());
        }
        if (!self) return;
        setEnabled(true);
        if (!failure.isEmpty()) {
            prompts_.error(this, failure);
            return; // the picture loaded before stays, and so does Save's state
        }
        imgFile_ = std::move(*read);
        loaded_ = imgFile_.picture();
        showPreview();
    }
    spbSave_->setEnabled(true);
}

void ConvertDialog::save()
{
    if (loaded_.empty()) {
        prompts_.information(this, QStringLiteral("Please load a picture first."));
        return;
    }
    const auto choice = savePicture_.ask(this, codecs::SaveDialogUser::Converter);
    if (!choice) return;
    imgFile_.picture() = loaded_;
    imgFile_.params().jpegQuality = settings_.jpegQuality;
    const std::string fileName = QFile::encodeName(choice->fileName).toStdString();
    try {
        exporting::writeSaveChoice(imgFile_, nullptr, choice->target, fileName);
    } catch (const Error& e) {
        prompts_.error(this, QString::fromStdString(e.what()));
    }
}

void ConvertDialog::showPreview()
{
    imgPicture_->setPixmap(QPixmap::fromImage(toQImage(exporting::makePreview(loaded_))));
}

} // namespace vextral::gui
