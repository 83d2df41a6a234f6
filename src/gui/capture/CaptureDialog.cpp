#include "gui/capture/CaptureDialog.h"

#include "codecs/OutputFormats.h"
#include "codecs/PictureReader.h"
#include "core/Error.h"
#include "core/Text.h"
#include "export/IconFile.h"
#include "gui/app/ToolbarPictures.h"
#include "gui/common/FieldFocus.h"
#include "gui/common/PictureImage.h"
#include "gui/common/Prompts.h"
#include "gui/common/SavePicture.h"
#include "gui/common/TitleWidth.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace vextral::gui {

namespace {

constexpr int kPreviewBox = 96;
constexpr settings::Colour kNone = 0x1FFFFFFF; // clNone
constexpr settings::Colour kRed = 0x000000FF;

QSize screenSize(QWidget* widget)
{
    QScreen* screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize();
}

int editValue(const QLineEdit* edit)
{
    return integerFromText(edit->text().toStdString(), edit->accessibleName().toStdString());
}

// Two sheets, one over the other: "copy".
QIcon copyPicture()
{
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(40, 60, 110));
    for (const QPoint at : {QPoint(2, 2), QPoint(7, 6)}) {
        painter.setBrush(Qt::white);
        painter.drawRect(QRect(at, QSize(10, 12)));
        for (int line = 3; line <= 9; line += 3) painter.drawLine(at + QPoint(2, line), at + QPoint(8, line));
    }
    return QIcon(pixmap);
}

QToolButton* speedButton(QWidget* parent, const char* name, const QIcon& picture, const char* hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(picture);
    button->setToolTip(QLatin1String(hint));
    button->setAccessibleName(QLatin1String(hint));
    button->setAutoRaise(true);
    button->setIconSize(QSize(20, 20));
    return button;
}

} // namespace

CaptureDialog::CaptureDialog(SavePicture& savePicture, const settings::Settings& settings, Prompts& prompts,
                             desktop::CaptureBackend* backend, QWidget* parent)
    : QDialog(parent), savePicture_(savePicture), settings_(settings), prompts_(prompts), backend_(backend),
      capture_(backend, screenSize(parent).width(), screenSize(parent).height())
{
    setObjectName(QStringLiteral("FormCapture"));
    setWindowTitle(QStringLiteral("Capture Screen"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    imgIcon_.setBackground(kNone);

    capture_.applicationMinimize = true;
    capture_.captureMode = desktop::CaptureMode::tcmFixedRegion;
    capture_.backgroundColor = settings::kWhite;
    capture_.setCaptureWidth(32);
    capture_.setCaptureHeight(32);
    capture_.setZoom(100);
    capture_.shadowColor = kRed;
    capture_.minimizeApplication = [this] { getOutOfTheWay(); };
    capture_.restoreApplication = [this] { comeBack(); };
    capture_.onCaptureSuccess = [this](const codecs::Picture& bitmap) { captureCaptureSuccess(bitmap); };
    capture_.onCaptureError = [this](int status) { captureError(status); };

    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* sizes = new QVBoxLayout;
    radioLarge_ = new QRadioButton(QStringLiteral("&32x32 Icon"), this);
    radioSmall_ = new QRadioButton(QStringLiteral("&16x16 Icon"), this);
    radioOther_ = new QRadioButton(this);
    radioLarge_->setObjectName(QStringLiteral("radioLarge"));
    radioSmall_->setObjectName(QStringLiteral("radioSmall"));
    radioOther_->setObjectName(QStringLiteral("radioOther"));
    radioLarge_->setChecked(true);
    editWidth_ = new QLineEdit(this);
    editHeight_ = new QLineEdit(this);
    editWidth_->setObjectName(QStringLiteral("editWidth"));
    editHeight_->setObjectName(QStringLiteral("editHeight"));
    // The two sides of "other" have no labels of their own; their names label their errors.
    editWidth_->setAccessibleName(QStringLiteral("Width"));
    editHeight_->setAccessibleName(QStringLiteral("Height"));
    radioOther_->setAccessibleName(QStringLiteral("Other size"));
    auto* other = new QHBoxLayout;
    other->addWidget(radioOther_);
    for (QLineEdit* edit : {editWidth_, editHeight_}) {
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 10);
        other->addWidget(edit);
        if (edit == editWidth_) other->addWidget(new QLabel(QStringLiteral("x"), this));
    }
    other->addStretch();
    sizes->addWidget(radioLarge_);
    sizes->addWidget(radioSmall_);
    sizes->addLayout(other);
    sizes->addStretch();
    layout->addLayout(sizes, 0, 0);

    // The last capture, in a sunken box.
    auto* box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* boxLayout = new QVBoxLayout(box);
    const int frame = box->frameWidth();
    boxLayout->setContentsMargins(frame, frame, frame, frame);
    imgCapture_ = new QLabel(box);
    imgCapture_->setObjectName(QStringLiteral("imgCapture"));
    imgCapture_->setFixedSize(kPreviewBox, kPreviewBox);
    imgCapture_->setAlignment(Qt::AlignCenter);
    boxLayout->addWidget(imgCapture_);
    layout->addWidget(box, 0, 1);

    auto* buttons = new QHBoxLayout;
    auto* spbCapture = new QPushButton(QStringLiteral("&Start Capture"), this);
    spbCapture->setObjectName(QStringLiteral("spbCapture"));
    spbCapture->setAutoDefault(false);
    auto* spbSave = speedButton(this, "spbSave", toolbarPicture(Picture::Save), "Save to File");
    auto* spbClipboard = speedButton(this, "spbClipboard", copyPicture(), "Copy to Clipboard");
    buttons->addWidget(spbCapture);
    buttons->addStretch();
    buttons->addWidget(spbSave);
    buttons->addWidget(spbClipboard);
    layout->addLayout(buttons, 1, 0, 1, 2);
    connect(spbCapture, &QPushButton::clicked, this, &CaptureDialog::startCapture);
    connect(spbSave, &QToolButton::clicked, this, &CaptureDialog::save);
    connect(spbClipboard, &QToolButton::clicked, this, &CaptureDialog::copyToClipboard);

    if (parent) parent->installEventFilter(this);
    fitTitle(*this);
}

void CaptureDialog::startCapture()
{
    int width = 33, height = 33;
    if (radioSmall_->isChecked()) {
        width = height = 17;
    } else if (radioOther_->isChecked()) {
        try {
            width = editValue(editWidth_);
            height = editValue(editHeight_);
            const QSize screen = screenSize(this);
            if (width > screen.width() || height > screen.height()) {
                prompts_.information(this, QStringLiteral("Area to capture is too large."));
                editWidth_->setText(QStringLiteral("32"));
                editHeight_->setText(QStringLiteral("32"));
            }
            width = editValue(editWidth_);
            height = editValue(editHeight_);
        } catch (const FieldError& e) {
            showFieldError(prompts_, *this, e, e.field() == "Width" ? editWidth_ : editHeight_);
            return;
        } catch (const Error& e) {
            prompts_.error(this, QString::fromStdString(e.what()));
            return;
        }
    }
    capture_.setCaptureWidth(width);
    capture_.setCaptureHeight(height);
    try {
        capture_.startCapture();
    } catch (const Error& e) {
        prompts_.error(this, QString::fromStdString(e.what()));
    }
}

void CaptureDialog::captureCaptureSuccess(const codecs::Picture& bitmap)
{
    captured_ = bitmap;
    QPixmap shown = QPixmap::fromImage(toQImage(captured_));
    if (shown.width() > kPreviewBox || shown.height() > kPreviewBox)
        shown = shown.scaled(kPreviewBox, kPreviewBox, Qt::KeepAspectRatio, Qt::FastTransformation);
    imgCapture_->setPixmap(shown);
}

void CaptureDialog::captureError(int status)
{
    const std::string why = backend_ ? backend_->lastError() : std::string();
    prompts_.error(this, why.empty() ? QStringLiteral("The screen capture failed (status %1)").arg(status)
                                     : QString::fromStdString(why));
}

void CaptureDialog::prepareIcon()
{
    int width = 32, height = 32;
    if (radioSmall_->isChecked()) {
        width = height = 16;
    } else if (radioOther_->isChecked()) {
        width = editValue(editWidth_);
        height = editValue(editHeight_);
    }
    imgIcon_.setBackground(kNone);
    imgIcon_.picture() = captured_; // the picture at the capture's size, drawn at (0, 0)
    imgIcon_.resample(width, height);
}

void CaptureDialog::save()
{
    if (captured_.empty()) {
        prompts_.information(this, QStringLiteral("Nothing captured yet."));
        return;
    }
    const auto choice = savePicture_.ask(this, codecs::SaveDialogUser::Capture);
    if (!choice) return;
    const std::string fileName = QFile::encodeName(choice->fileName).toStdString();
    try {
        prepareIcon();
        imgIcon_.params().jpegQuality = settings_.jpegQuality;
        exporting::writeSaveChoice(imgIcon_, nullptr, choice->target, fileName);
    } catch (const Error& e) {
        prompts_.error(this, QString::fromStdString(e.what()));
    }
}

void CaptureDialog::copyToClipboard()
{
    if (captured_.empty()) {
        prompts_.information(this, QStringLiteral("Nothing captured yet."));
        return;
    }
    try {
        prepareIcon();
    } catch (const Error& e) {
        prompts_.error(this, QString::fromStdString(e.what()));
        return;
    }
    QApplication::clipboard()->setImage(toQImage(imgIcon_.picture()));
}

void CaptureDialog::getOutOfTheWay()
{
    away_ = true;
    for (QWidget* w : {parentWidget(), static_cast<QWidget*>(this)}) {
        if (w) w->setWindowState(w->windowState() | Qt::WindowMinimized);
    }
}

void CaptureDialog::comeBack()
{
    away_ = false;
    for (QWidget* w : {parentWidget(), static_cast<QWidget*>(this)}) {
        if (w) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    }
    raise();
    activateWindow();
}

bool CaptureDialog::eventFilter(QObject* watched, QEvent* e)
{
    // The user brings the main window back while the square is being picked:
    // the capture ends and the dialog comes back too.
    if (watched == parentWidget() && e->type() == QEvent::WindowStateChange && away_ && capture_.capturing() &&
        !(parentWidget()->windowState() & Qt::WindowMinimized)) {
        capture_.applicationRestored();
        comeBack();
    }
    return QDialog::eventFilter(watched, e);
}

} // namespace vextral::gui
