#include "gui/print/PrintDialog.h"

#include "core/Error.h"
#include "core/Percent.h"
#include "core/Text.h"
#include "desktop/PrintLayout.h"
#include "export/BestImage.h"
#include "gui/common/ButtonRow.h"
#include "gui/common/Choosers.h"
#include "gui/common/FieldFocus.h"
#include "gui/common/FormGroups.h"
#include "gui/common/Gauge.h"
#include "gui/common/Prompts.h"
#include "gui/common/UpDownEdit.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <exception>
#include <limits>
#include <utility>

namespace vextral::gui {

namespace {

// The number typed into edit; a text that is none names the field (by its label).
std::int32_t valueOf(const QLineEdit* edit, const char* field)
{
    return integerFromText(edit->text().toStdString(), field);
}

int clampToInt(std::int64_t v)
{
    return static_cast<int>(
        std::clamp<std::int64_t>(v, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2));
}

QRect toQRect(const desktop::SheetRect& r)
{
    return QRect(QPoint(clampToInt(r.left), clampToInt(r.top)),
                 QPoint(clampToInt(r.right) - 1, clampToInt(r.bottom) - 1));
}

// The icon drawn through its mask over white, so that no transparent pixel is left.
QImage imageOverWhite(const Icon& icon)
{
    const std::vector<std::uint32_t> pixels = icon.drawOver(0xFFFFFFu);
    QImage image(Icon::kSize, Icon::kSize, QImage::Format_RGB32);
    for (int y = 0; y < Icon::kSize; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < Icon::kSize; ++x)
            line[x] = 0xFF000000u | pixels[static_cast<std::size_t>(y) * Icon::kSize + static_cast<std::size_t>(x)];
    }
    return image;
}

// Catalogue icon i drawn from its best image at the rectangle's size, over
// white; the 32 x 32 picture when the rectangle is empty or too large.
QImage bestImageOverWhite(const IconCatalogue& catalogue, int i, const QRect& rect)
{
    if (rect.width() < 1 || rect.height() < 1 || rect.width() > codecs::kMaxPictureSide ||
        rect.height() > codecs::kMaxPictureSide) {
        return imageOverWhite(catalogue.image(i));
    }
    const codecs::IconPicture picture = exporting::renderCatalogueBestImage(catalogue, i, rect.width(), rect.height());
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.width; ++x) line[x] = 0xFF000000u | picture.drawnOver(x, y, 0xFFFFFFu);
    }
    return image;
}

} // namespace

PrintDialog::PrintDialog(const IconCatalogue& catalogue, Prompts& prompts, QWidget* parent)
    : QDialog(parent), catalogue_(catalogue), prompts_(prompts), printer_(std::make_shared<QPrinter>())
{
    setObjectName(QStringLiteral("FormPrint"));
    setWindowTitle(QStringLiteral("Print icons"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setupPrinter = [](QWidget* owner, QPrinter& printer) {
        const std::unique_ptr<QPrintDialog> dialog = printerSetupDialog(printer, owner);
        return dialog->exec() == QDialog::Accepted;
    };
    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    rangeBox_ = rangeGroup(QStringLiteral("Print range"), QStringLiteral("Print &all icons"), "radioAllIcon",
                           "radioBottom", range_, this);
    layout->addWidget(rangeBox_, 0, 0, 1, 2);

    SizeEdits size;
    sizeBox_ = sizeGroup(QStringLiteral("Icon Size"), QStringLiteral("100"), 100, false, size, this);
    layout->addWidget(sizeBox_, 1, 0);
    editWidth_ = size.width;
    editHeight_ = size.height;

    auto* spacing = new QGroupBox(QStringLiteral("Layout"), this);
    auto* spacingGrid = new QGridLayout(spacing);
    editCount_ = namedEdit("editCount", QStringLiteral("16"), spacing);
    editIcon_ = namedEdit("editIcon", QStringLiteral("15"), spacing);
    editLeftPad_ = namedEdit("editLeftPad", QStringLiteral("16"), spacing);
    editTopPad_ = namedEdit("editTopPad", QStringLiteral("16"), spacing);
    const std::pair<const char*, QLineEdit*> rows[] = {{"C&olumn Count:", editCount_},
                                                       {"&Icon Padding:", editIcon_},
                                                       {"&Left Padding:", editLeftPad_},
                                                       {"Top Pa&dding:", editTopPad_}};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(QLatin1String(rows[i].first), spacing);
        label->setBuddy(rows[i].second);
        // In its up-down box the field is no sibling of its label, where a screen reader would look.
        rows[i].second->setAccessibleName(QString::fromLatin1(rows[i].first).remove(QLatin1Char('&')).chopped(1));
        spacingGrid->addWidget(label, i, 0);
        spacingGrid->addWidget(upDownEdit(rows[i].second, 0, 100, spacing), i, 1);
    }
    layout->addWidget(spacing, 1, 1);
    spacingBox_ = spacing;

    gaugeCurrent_ = new Gauge(this);
    gaugeCurrent_->setObjectName(QStringLiteral("GaugeCurrent"));
    gaugeCurrent_->setFallbackAccessibleName(QStringLiteral("Print progress"));
    layout->addWidget(gaugeCurrent_, 2, 0, 1, 2);

    auto* buttons = buttonRow(this);
    print_ = addButton(buttons, "SpeedButton1", "&Print", QDialogButtonBox::AcceptRole);
    setup_ = addButton(buttons, "SpeedButton3", "Printer &Setup", QDialogButtonBox::ActionRole);
    addButton(buttons, "SpeedButton2", "&Cancel", QDialogButtonBox::RejectRole);
    layout->addWidget(buttons, 3, 0, 1, 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &PrintDialog::print);
    connect(setup_, &QPushButton::clicked, this, &PrintDialog::openPrinterSetup);
    connect(buttons, &QDialogButtonBox::rejected, this, &PrintDialog::cancel);
}

PrintDialog::~PrintDialog() = default;

void PrintDialog::setIconPositions(IconPositions positions)
{
    positions_ = std::move(positions);
    chooseStartRange(range_, positions_);
}

void PrintDialog::cancel()
{
    runState_ = 2;
    close();
}

std::unique_ptr<QPrintDialog> PrintDialog::printerSetupDialog(QPrinter& printer, QWidget* owner)
{
    auto dialog = std::make_unique<QPrintDialog>(&printer, owner);
    dialog->setObjectName(QStringLiteral("PrintIcon"));
    dialog->setWindowTitle(QStringLiteral("Printer Setup"));
    // Only the printer and its paper are chosen here: the range is this
    // dialog's own, and nothing is printed until Print is clicked.
    dialog->setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                       QAbstractPrintDialog::PrintCollateCopies);
    if (auto* box = dialog->findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("OK"));
    }
    return dialog;
}

void PrintDialog::openPrinterSetup()
{
    // The painter of a print under way holds the printer: it is not changed
    // until the print ends.
    if (runState_ == 1) return;
    setupPrinter(this, *printer_);
}

void PrintDialog::setControlsEnabled(bool enabled)
{
    for (QWidget* w :
         {static_cast<QWidget*>(rangeBox_), static_cast<QWidget*>(sizeBox_), static_cast<QWidget*>(spacingBox_),
          static_cast<QWidget*>(print_), static_cast<QWidget*>(setup_)})
        w->setEnabled(enabled);
}

bool PrintDialog::choosePdfWhenNoPrinter()
{
    QPrinter& p = *printer_;
    // A file already chosen, or a real printer: nothing to ask. Without a
    // printer (none installed, or no print system at all, where Qt falls back
    // to PDF output with no file) the sheet goes to a PDF file.
    if (!p.outputFileName().isEmpty()) return true;
    if (p.outputFormat() == QPrinter::NativeFormat && !p.printerName().isEmpty()) return true;
    const SaveChoice choice =
        chooseSaveFile(prompts_, settings::Chooser::PrintPdf, this, QStringLiteral("Print to PDF file"),
                       {QStringLiteral("PDF files (*.pdf)")}, 1, QStringLiteral("pdf"), QString());
    if (choice.fileName.isEmpty()) return false;
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(choice.fileName);
    return true;
}

void PrintDialog::print()
{
    if (runState_ == 1) return;
    desktop::PrintRange range;
    desktop::SheetValues v;
    std::int32_t from = 0, to = 0;
    QLineEdit* reading = nullptr; // the field being read, focused when it is refused
    const auto read = [&reading](QLineEdit* edit, const char* field) {
        reading = edit;
        return valueOf(edit, field);
    };
    try {
        if (range_.from->isChecked()) {
            from = read(range_.bottom, "From");
            to = read(range_.top, "To");
        }
        v.iconWidth = read(editWidth_, "Width");
        v.iconHeight = read(editHeight_, "Height");
        v.columns = read(editCount_, "Column Count");
        v.iconPadding = read(editIcon_, "Icon Padding");
        v.leftPadding = read(editLeftPad_, "Left Padding");
        v.topPadding = read(editTopPad_, "Top Padding");
    } catch (const FieldError& e) {
        showFieldError(prompts_, *this, e, reading);
        return;
    }
    try {
        const int count = catalogue_.itemCount();
        if (const auto chosen = checkedPositions(range_, positions_)) {
            range = desktop::chosenIcons(*chosen, count);
        } else {
            range = range_.from->isChecked() ? desktop::iconRange(from, to, count) : desktop::allIcons(count);
        }
    } catch (const Error& e) {
        // An empty, backwards or overlong range, or a choice without an icon:
        // refused before a page is begun.
        prompts_.information(this, QString::fromUtf8(e.what()));
        return;
    }
    if (!choosePdfWhenNoPrinter()) return;

    // Everything the loop uses after the queue has run is held here: Cancel
    // closes the dialog, which may then be gone before the print ends.
    std::shared_ptr<QPrinter> printer = printer_;
    QPointer<PrintDialog> self(this);
    QPointer<Gauge> gauge(gaugeCurrent_);
    QPainter painter;
    if (!painter.begin(printer.get())) {
        prompts_.error(this, QStringLiteral("The printer could not begin the document"));
        return;
    }
    // Each icon pixel prints as a block, as a bitmap stretched on a printer
    // does, in its own colour (a PDF would otherwise hold the icons as JPEG).
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::LosslessImageRendering, true);
    v.pageWidth = printer->width();
    v.pageHeight = printer->height();
    // While the loop runs only Cancel stays usable; whatever ends the print
    // (its last icon, Cancel, an exception) gives the controls back.
    runState_ = 1;
    setControlsEnabled(false);
    struct Restore {
        QPointer<PrintDialog> dialog;
        ~Restore()
        {
            if (!dialog) return;
            dialog->runState_ = 0;
            dialog->setControlsEnabled(true);
        }
    } restore {self};
    desktop::SheetLayout layout(range, v);
    int page = 0;
    // The icons of one file share one open source and its decoding budget.
    const exporting::BestImageRun bestImageRun;
    while (!layout.done()) {
        const desktop::PlacedIcon placed = layout.next();
        if (placed.page != page) {
            printer->newPage();
            page = placed.page;
        }
        const QRect rect = toQRect(placed.rect);
        painter.drawImage(rect, bestImage ? bestImageOverWhite(catalogue_, placed.index, rect)
                                          : imageOverWhite(catalogue_.image(placed.index)));
        if (gauge) gauge->setValue(percent(layout.printed(), layout.total()));
        QCoreApplication::processEvents();
        if (!self || runState_ == 2) break;
    }
    painter.end();
}

} // namespace vextral::gui
