#include "gui/edit/EditDialog.h"

#include "core/Error.h"
#include "export/IconEdit.h"
#include "export/IconFile.h"
#include "gui/common/ButtonRow.h"
#include "gui/common/FieldFocus.h"
#include "gui/common/Prompts.h"
#include "gui/common/SavePicture.h"
#include "gui/common/TitleWidth.h"
#include "gui/common/UpDownEdit.h"
#include "harvest/IconCatalogue.h"

#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vextral::gui {

namespace {

// The icon at 32 x 32 through its mask over a colour, as the desktop draws it.
QPixmap iconPixmap(const Icon& icon, const QColor& over)
{
    const std::vector<std::uint32_t> pixels = icon.drawOver(over.rgb() & 0xFFFFFF);
    QImage image(Icon::kSize, Icon::kSize, QImage::Format_RGB32);
    std::size_t i = 0;
    for (int y = 0; y < Icon::kSize; ++y) {
        for (int x = 0; x < Icon::kSize; ++x) image.setPixel(x, y, 0xFF000000u | pixels[i++]);
    }
    return QPixmap::fromImage(image);
}

// A colour as the settings hold colours: 00, blue, green, red.
settings::Colour settingsColour(const QColor& c)
{
    return static_cast<settings::Colour>(c.red()) | static_cast<settings::Colour>(c.green()) << 8 |
           static_cast<settings::Colour>(c.blue()) << 16;
}

QLineEdit* numberEdit(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setFixedWidth(48);
    return edit;
}

QLabel* label(const char* text, QWidget* parent, QWidget* buddy = nullptr)
{
    auto* l = new QLabel(QLatin1String(text), parent);
    l->setBuddy(buddy);
    // In its up-down box the field is no sibling of its label, where a screen reader would look.
    if (buddy) buddy->setAccessibleName(QString::fromLatin1(text).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    return l;
}

} // namespace

EditDialog::EditDialog(const IconCatalogue& catalogue, int index, SavePicture& savePicture, Prompts& prompts,
                       QWidget* parent)
    : QDialog(parent), catalogue_(catalogue), index_(index), savePicture_(savePicture), prompts_(prompts)
{
    setObjectName(QStringLiteral("FormEdit"));
    setWindowTitle(QStringLiteral("Edit Icon"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The icon as it is, in a small sunken box.
    auto* box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* boxLayout = new QVBoxLayout(box);
    const int frame = box->frameWidth();
    boxLayout->setContentsMargins(frame, frame, frame, frame);
    auto* imgIcon = new QLabel(box);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setFixedSize(33, 33);
    imgIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgIcon->setPixmap(iconPixmap(catalogue_.image(index_), palette().color(QPalette::Window)));
    boxLayout->addWidget(imgIcon);
    layout->addWidget(box, 0, 0, Qt::AlignTop | Qt::AlignHCenter);

    auto* sizeGroup = new QGroupBox(QStringLiteral("Image Size"), this);
    auto* sizeGrid = new QGridLayout(sizeGroup);
    editWidth_ = numberEdit("editWidth", sizeGroup);
    editHeight_ = numberEdit("editHeight", sizeGroup);
    sizeGrid->addWidget(label("&Width:", sizeGroup, editWidth_), 0, 0);
    sizeGrid->addWidget(upDownEdit(editWidth_, 0, 100, sizeGroup), 0, 1);
    sizeGrid->addWidget(label("&Height:", sizeGroup, editHeight_), 1, 0);
    sizeGrid->addWidget(upDownEdit(editHeight_, 0, 100, sizeGroup), 1, 1);
    sizeGrid->addWidget(label("Pixels", sizeGroup), 0, 2, 2, 1);
    editWidth_->setText(QStringLiteral("32"));
    editHeight_->setText(QStringLiteral("32"));
    layout->addWidget(sizeGroup, 0, 1);

    auto* rotateGroup = new QGroupBox(QStringLiteral("Rotate"), this);
    auto* rotateGrid = new QGridLayout(rotateGroup);
    radioAngle_ = new QRadioButton(QStringLiteral("&Angle:"), rotateGroup);
    radioAngle_->setObjectName(QStringLiteral("radioAngle"));
    radioAngle_->setChecked(true);
    editAngle_ = numberEdit("editAngle", rotateGroup);
    editAngle_->setText(QStringLiteral("0"));
    editAngle_->setAccessibleName(QStringLiteral("Angle"));
    radioVertical_ = new QRadioButton(QStringLiteral("&Vertical flip"), rotateGroup);
    radioVertical_->setObjectName(QStringLiteral("radioVertical"));
    radioHorizontal_ = new QRadioButton(QStringLiteral("H&orizontal flip"), rotateGroup);
    radioHorizontal_->setObjectName(QStringLiteral("radioHorizontal"));
    rotateGrid->addWidget(radioAngle_, 0, 0);
    rotateGrid->addWidget(upDownEdit(editAngle_, 0, 100, rotateGroup), 0, 1, Qt::AlignLeft);
    rotateGrid->addWidget(radioVertical_, 1, 0, 1, 2);
    rotateGrid->addWidget(radioHorizontal_, 2, 0, 1, 2);
    layout->addWidget(rotateGroup, 1, 1);

    // The background swatch: a click opens the colour dialog.
    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(label("Background color:", this));
    labColor_ = new QLabel(this);
    labColor_->setObjectName(QStringLiteral("labColor"));
    labColor_->setFixedSize(40, 18);
    labColor_->setFrameStyle(QFrame::Box | QFrame::Plain);
    labColor_->setAutoFillBackground(true);
    labColor_->setCursor(Qt::PointingHandCursor);
    labColor_->installEventFilter(this);
    colourRow->addWidget(labColor_);
    colourRow->addStretch();
    layout->addLayout(colourRow, 2, 1);
    showBackground();

    // Save keeps the dialog open for another picture; Return presses no button.
    auto* buttons = buttonRow(this, Qt::Vertical);
    auto* save = addButton(buttons, "SpeedButton1", "&Save", QDialogButtonBox::ActionRole);
    auto* cancel = addButton(buttons, "SpeedButton2", "&Cancel", QDialogButtonBox::RejectRole);
    for (QPushButton* b : {save, cancel}) b->setAutoDefault(false);
    layout->addWidget(buttons, 0, 2, 3, 1, Qt::AlignTop);
    connect(save, &QPushButton::clicked, this, &EditDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    fitTitle(*this);
}

bool EditDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == labColor_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        chooseBackground();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void EditDialog::chooseBackground()
{
    if (const auto colour = prompts_.chooseColour(this)) {
        background_ = *colour;
        imgPicture_.setBackground(settingsColour(background_));
        showBackground();
    }
}

void EditDialog::showBackground()
{
    QPalette p = labColor_->palette();
    p.setColor(QPalette::Window, background_);
    labColor_->setPalette(p);
}

void EditDialog::save()
{
    const auto choice = savePicture_.ask(this, codecs::SaveDialogUser::Editor);
    if (!choice) return;
    if (radioAngle_->isChecked() && editAngle_->text().isEmpty()) editAngle_->setText(QStringLiteral("0"));

    exporting::IconEdit edit;
    edit.widthText = editWidth_->text().toStdString();
    edit.heightText = editHeight_->text().toStdString();
    edit.angleText = editAngle_->text().toStdString();
    edit.turn = radioVertical_->isChecked()     ? exporting::EditTurn::VerticalFlip
                : radioHorizontal_->isChecked() ? exporting::EditTurn::HorizontalFlip
                                                : exporting::EditTurn::Angle;
    edit.background = settingsColour(background_);
    try {
        exporting::buildEditedIcon(catalogue_.image(index_), edit, imgPicture_);
        exporting::writeCatalogueIcon(catalogue_, index_, imgPicture_, choice->target,
                                      QFile::encodeName(choice->fileName).toStdString());
    } catch (const FieldError& e) {
        // "Angle" labels its radio button; the sizes have labels of their own.
        showFieldError(prompts_, *this, e, e.field() == "Angle" ? editAngle_ : nullptr);
    } catch (const Error& e) {
        prompts_.error(this, QString::fromStdString(e.what()));
    }
}

} // namespace vextral::gui
