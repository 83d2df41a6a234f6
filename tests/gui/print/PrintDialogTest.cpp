// The Print icons dialog: its controls, the ranges it refuses, Cancel during a
// print, the controls held while a print runs, the printer set-up dialog, the
// gauge's rounding, a sheet printed to PDF and rendered back to find every
// icon where the layout puts it, and a sheet printed through a CUPS queue.
#include "gui/print/PrintDialog.h"

#include "TestSupport.h"
#include "core/Percent.h"
#include "desktop/PrintLayout.h"
#include "gui/common/Gauge.h"
#include "gui/support/DialogDesktop.h"
#include "gui/support/ScriptedPrompts.h"
#include "support/CupsPeer.h"

#include <QAbstractPrintDialog>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPageSize>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using namespace vextral;
using vextral::gui::PrintDialog;
using vextral::test::control;
using vextral::test::ScriptedPrompts;
using vextral::test::TempDir;
using vextral::test::waitUntil;
namespace fs = std::filesystem;

namespace {

QRgb colourOf(int i) { return qRgb(40 + (i * 37) % 180, 30 + (i * 53) % 190, 20 + (i * 71) % 200); }

// n icons, each one solid colour, with a transparent (masked) corner pixel.
IconCatalogue solidIcons(int n)
{
    IconCatalogue catalogue;
    for (int i = 0; i < n; ++i) {
        Icon icon;
        icon.colour.fill(colourOf(i) & 0xFFFFFFu);
        icon.colour[0] = 0;
        icon.mask[0] = 1;
        catalogue.add(icon, 0, "solid.ico");
    }
    return catalogue;
}

// A PDF page of width x height points printed at 72 dots an inch, margins 0:
// one printer pixel is one point, and two pixels of pdftoppm -r 144.
void toPdf(QPrinter& printer, const fs::path& file, int width, int height)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(file.string()));
    printer.setResolution(72);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QSizeF(width, height), QPageSize::Point, QString(), QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 &&
           std::abs(qBlue(a) - qBlue(b)) <= 3;
}

} // namespace

TEST(PrintDialog, ControlsAndStartValues)
{
    ScriptedPrompts prompts;
    const IconCatalogue catalogue = solidIcons(3);
    PrintDialog dialog(catalogue, prompts);
    EXPECT_EQ(dialog.objectName(), "FormPrint");
    EXPECT_EQ(dialog.windowTitle(), "Print icons");
    EXPECT_EQ(control<QRadioButton>(&dialog, "radioAllIcon")->text(), "Print &all icons");
    EXPECT_TRUE(control<QRadioButton>(&dialog, "radioAllIcon")->isChecked());
    EXPECT_EQ(control<QRadioButton>(&dialog, "radioBottom")->text(), "&From");
    EXPECT_FALSE(control<QRadioButton>(&dialog, "radioBottom")->isChecked());
    const std::pair<const char*, const char*> edits[] = {
        {"editBottom", ""},  {"editTop", ""},    {"editWidth", "100"},  {"editHeight", "100"},
        {"editCount", "16"}, {"editIcon", "15"}, {"editLeftPad", "16"}, {"editTopPad", "16"}};
    for (const auto& [name, text] : edits)
        EXPECT_EQ(control<QLineEdit>(&dialog, name)->text(), QLatin1String(text)) << name;
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
    for (const char* text : {"C&olumn Count:", "&Icon Padding:", "&Left Padding:", "Top Pa&dding:"})
        EXPECT_TRUE(labels.contains(QLatin1String(text))) << text;
    EXPECT_EQ(control<gui::Gauge>(&dialog, "GaugeCurrent")->value(), 0);
    EXPECT_EQ(control<QPushButton>(&dialog, "SpeedButton1")->text(), "&Print");
    EXPECT_EQ(control<QPushButton>(&dialog, "SpeedButton2")->text(), "&Cancel");
    EXPECT_EQ(control<QPushButton>(&dialog, "SpeedButton3")->text(), "Printer &Setup");

    // Printer Setup runs the set-up dialog on the dialog's printer.
    QPrinter* seen = nullptr;
    dialog.setupPrinter = [&](QWidget*, QPrinter& p) {
        seen = &p;
        return true;
    };
    control<QPushButton>(&dialog, "SpeedButton3")->click();
    EXPECT_EQ(seen, &dialog.printer());
}

TEST(PrintDialog, RangesThatHoldNoIconAreRefusedBeforeAPageIsBegun)
{
    ScriptedPrompts prompts;
    TempDir dir;
    const IconCatalogue catalogue = solidIcons(5);
    PrintDialog dialog(catalogue, prompts);
    toPdf(dialog.printer(), dir.path() / "sheet.pdf", 800, 600);
    control<QRadioButton>(&dialog, "radioBottom")->setChecked(true);
    control<QPushButton>(&dialog, "SpeedButton1")->click();
    // The field is named and takes the focus.
    dialog.show();
    control<QPushButton>(&dialog, "SpeedButton1")->click();
    EXPECT_EQ(prompts.errors,
              (QStringList {"From: '' is not a valid integer value", "From: '' is not a valid integer value"}));
    EXPECT_TRUE(waitUntil([&] { return control<QLineEdit>(&dialog, "editBottom")->hasFocus(); }));
    control<QLineEdit>(&dialog, "editBottom")->setText("1");
    control<QLineEdit>(&dialog, "editTop")->setText("x");
    prompts.errors.clear();
    control<QPushButton>(&dialog, "SpeedButton1")->click();
    EXPECT_EQ(prompts.errors, QStringList {"To: 'x' is not a valid integer value"});
    EXPECT_TRUE(waitUntil([&] { return control<QLineEdit>(&dialog, "editTop")->hasFocus(); }));
    const std::pair<const char*, const char*> ranges[] = {{"4", "3"}, {"0", "2"}, {"5", "6"}};
    for (const auto& [from, to] : ranges) {
        prompts.informations.clear();
        control<QLineEdit>(&dialog, "editBottom")->setText(QLatin1String(from));
        control<QLineEdit>(&dialog, "editTop")->setText(QLatin1String(to));
        control<QPushButton>(&dialog, "SpeedButton1")->click();
        EXPECT_EQ(prompts.informations, QStringList {"No icon."}) << from << " " << to;
    }
    EXPECT_FALSE(fs::exists(dir.path() / "sheet.pdf"));
}

TEST(PrintDialog, PrintIsDisabledWhilePrintingAndCancelEndsTheDocument)
{
    ScriptedPrompts prompts;
    TempDir dir;
    const IconCatalogue catalogue = solidIcons(50);
    PrintDialog dialog(catalogue, prompts);
    dialog.show();
    toPdf(dialog.printer(), dir.path() / "sheet.pdf", 800, 600);
    auto* print = control<QPushButton>(&dialog, "SpeedButton1");
    bool enabledDuring = true;
    int stateDuring = 0;
    QTimer::singleShot(0, &dialog, [&] {
        enabledDuring = print->isEnabled();
        stateDuring = dialog.runState();
        control<QPushButton>(&dialog, "SpeedButton2")->click();
    });
    print->click();
    EXPECT_FALSE(enabledDuring);
    EXPECT_EQ(stateDuring, 1);
    EXPECT_TRUE(print->isEnabled());
    EXPECT_TRUE(control<QPushButton>(&dialog, "SpeedButton3")->isEnabled());
    EXPECT_TRUE(control<QLineEdit>(&dialog, "editWidth")->isEnabled());
    EXPECT_EQ(dialog.runState(), 0);
    EXPECT_FALSE(dialog.isVisible());
    const int gauge = control<gui::Gauge>(&dialog, "GaugeCurrent")->value();
    EXPECT_GT(gauge, 0);
    EXPECT_LT(gauge, 100);
    EXPECT_GT(fs::file_size(dir.path() / "sheet.pdf"), 0u);
}

// Only Cancel is usable while the print loop runs: the printer is held by its
// painter, and a printer set up then would be changed under it.
TEST(PrintDialog, WhilePrintingOnlyCancelIsEnabledAndPrinterSetupDoesNothing)
{
    ScriptedPrompts prompts;
    TempDir dir;
    const IconCatalogue catalogue = solidIcons(200);
    PrintDialog dialog(catalogue, prompts);
    dialog.show();
    toPdf(dialog.printer(), dir.path() / "sheet.pdf", 800, 600);
    int setups = 0;
    dialog.setupPrinter = [&](QWidget*, QPrinter& printer) {
        ++setups;
        // What picking another printer does to its paper.
        printer.setPageSize(QPageSize(QPageSize::A3));
        return true;
    };
    auto* print = control<QPushButton>(&dialog, "SpeedButton1");
    auto* setup = control<QPushButton>(&dialog, "SpeedButton3");
    auto* cancel = control<QPushButton>(&dialog, "SpeedButton2");
    const auto enabledWidgets = [&] {
        QList<const QWidget*> enabled;
        for (const QWidget* w : dialog.findChildren<QWidget*>())
            if (w->isEnabled()) enabled << w;
        return enabled;
    };
    const QList<const QWidget*> enabledBefore = enabledWidgets();
    QStringList enabledDuring;
    int stateDuring = 0;
    bool cancelEnabled = false;
    QTimer::singleShot(0, &dialog, [&] {
        stateDuring = dialog.runState();
        for (const QWidget* w : dialog.findChildren<QWidget*>()) {
            if ((qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w)) && w != cancel &&
                w->isEnabled())
                enabledDuring << w->objectName();
        }
        cancelEnabled = cancel->isEnabled();
        setup->click();
        test::click(&dialog, "SpeedButton3");
        dialog.openPrinterSetup();
    });
    print->click();
    EXPECT_EQ(stateDuring, 1);
    EXPECT_TRUE(enabledDuring.isEmpty()) << enabledDuring.join(' ').toStdString();
    EXPECT_TRUE(cancelEnabled);
    EXPECT_EQ(setups, 0);
    ASSERT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(' ').toStdString();
    EXPECT_EQ(control<gui::Gauge>(&dialog, "GaugeCurrent")->value(), 100);

    // After the print every control is back, and Printer Setup works again.
    EXPECT_EQ(dialog.runState(), 0);
    EXPECT_EQ(enabledWidgets(), enabledBefore);
    setup->click();
    EXPECT_EQ(setups, 1);

    std::string out;
    ASSERT_EQ(test::runCommand("pdfinfo " + test::shellQuote((dir.path() / "sheet.pdf").string()), &out), 0) << out;
    const auto pages = out.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << out;
    EXPECT_EQ(std::stoi(out.substr(pages + 6)), 7) << out; // 30 icons a page
}

// Users print through CUPS: the sheet goes to a queue of a private scheduler
// (a PDF printer whose device is a file), through Qt's own CUPS support. While
// the loop runs Printer Setup is held as for a PDF file; the job then reaches
// the queue's device with every page.
TEST(PrintDialog, ASheetPrintedThroughCupsReachesTheQueueWhilePrinterSetupIsHeld)
{
    test::CupsServer cups;
    ASSERT_TRUE(cups.running()) << cups.problem();
    const test::UseCupsServer useCups(cups);
    const QString queue = QString::fromLatin1(test::CupsServer::kQueue);
    const QStringList printers = QPrinterInfo::availablePrinterNames();
    ASSERT_TRUE(printers.contains(queue)) << printers.join(' ').toStdString() << "\n" << cups.log();

    ScriptedPrompts prompts;
    const int n = 120;
    const IconCatalogue catalogue = solidIcons(n);
    PrintDialog dialog(catalogue, prompts);
    dialog.show();
    QPrinter& printer = dialog.printer();
    printer.setPrinterName(queue);
    ASSERT_EQ(printer.outputFormat(), QPrinter::NativeFormat);
    ASSERT_EQ(printer.printerName(), queue);
    ASSERT_TRUE(printer.outputFileName().isEmpty());
    // One printer pixel a point, so that the icons fill several A4 pages.
    printer.setResolution(72);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    ASSERT_EQ(printer.resolution(), 72);
    desktop::SheetValues v;
    v.pageWidth = printer.width();
    v.pageHeight = printer.height();
    const int pages = desktop::layOutSheet(desktop::allIcons(n), v).back().page + 1;
    ASSERT_GE(pages, 3) << v.pageWidth << " x " << v.pageHeight;

    int setups = 0;
    dialog.setupPrinter = [&](QWidget*, QPrinter& p) {
        ++setups;
        p.setPageSize(QPageSize(QPageSize::A3));
        return true;
    };
    auto* setup = control<QPushButton>(&dialog, "SpeedButton3");
    // Fires each time the print loop runs the queue.
    int pumps = 0;
    bool setupEnabled = true;
    QTimer pump;
    pump.setInterval(0);
    QObject::connect(&pump, &QTimer::timeout, &dialog, [&] {
        if (dialog.runState() != 1) return;
        if (pumps++ > 0) return;
        setupEnabled = setup->isEnabled();
        setup->click();
        test::click(&dialog, "SpeedButton3");
        dialog.openPrinterSetup();
    });
    pump.start();
    const auto started = std::chrono::steady_clock::now();
    control<QPushButton>(&dialog, "SpeedButton1")->click();
    pump.stop();
    EXPECT_GE(pumps, 5);
    EXPECT_FALSE(setupEnabled);
    EXPECT_EQ(setups, 0);
    ASSERT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(' ').toStdString();
    EXPECT_TRUE(prompts.fileFilters.isEmpty()); // a printer: no PDF file asked for
    EXPECT_EQ(control<gui::Gauge>(&dialog, "GaugeCurrent")->value(), 100);
    EXPECT_EQ(dialog.runState(), 0);
    EXPECT_TRUE(setup->isEnabled());

    // The job is handed to the scheduler when the document ends; it is done
    // once the queue lists it as completed.
    const std::string completed = cups.completedJobs(1, std::chrono::seconds(15));
    ASSERT_NE(completed.find(std::string(test::CupsServer::kQueue) + "-1 "), std::string::npos) << completed << "\n"
                                                                                                << cups.log();
    std::string out;
    ASSERT_EQ(test::runCommand("pdfinfo " + test::shellQuote(cups.output().string()) + " 2>&1", &out), 0) << out << "\n"
                                                                                                          << cups.log();
    const auto found = out.find("Pages:");
    ASSERT_NE(found, std::string::npos) << out;
    EXPECT_EQ(std::stoi(out.substr(found + 6)), pages) << out;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));

    // After the print Printer Setup works again.
    setup->click();
    EXPECT_EQ(setups, 1);
}

// Printer Setup only picks a printer: its dialog confirms with OK, not Print,
// and offers no page range of its own.
TEST(PrintDialog, PrinterSetupConfirmsWithOk)
{
    ScriptedPrompts prompts;
    const IconCatalogue catalogue = solidIcons(3);
    PrintDialog dialog(catalogue, prompts);
    dialog.show();
    QString okText = QStringLiteral("(no dialog)");
    bool pageRange = true;
    QTimer::singleShot(0, &dialog, [&] {
        auto* setup = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (!setup) return;
        pageRange = setup->testOption(QAbstractPrintDialog::PrintPageRange);
        if (auto* box = setup->findChild<QDialogButtonBox*>())
            okText = box->button(QDialogButtonBox::Ok) ? box->button(QDialogButtonBox::Ok)->text() : QString();
        setup->reject();
    });
    control<QPushButton>(&dialog, "SpeedButton3")->click();
    EXPECT_EQ(okText, "OK");
    EXPECT_FALSE(pageRange);
}

// The gauge rounds halves to the even neighbour, as every run's gauge does.
TEST(PrintDialog, TheGaugeRoundsHalvesToEven)
{
    EXPECT_EQ(percent(25, 200), 12);  // 12.5
    EXPECT_EQ(percent(125, 200), 62); // 62.5
    EXPECT_EQ(percent(27, 200), 14);  // 13.5
    EXPECT_EQ(percent(26, 200), 13);

    ScriptedPrompts prompts;
    TempDir dir;
    const IconCatalogue catalogue = solidIcons(8); // each icon 12.5 %
    PrintDialog dialog(catalogue, prompts);
    toPdf(dialog.printer(), dir.path() / "sheet.pdf", 800, 600);
    QList<int> shown;
    QObject::connect(control<gui::Gauge>(&dialog, "GaugeCurrent"), &gui::Gauge::valueChanged,
                     [&](int value) { shown << value; });
    control<QPushButton>(&dialog, "SpeedButton1")->click();
    ASSERT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(' ').toStdString();
    EXPECT_EQ(shown, (QList<int> {12, 25, 38, 50, 62, 75, 88, 100}));
}

TEST(PrintDialog, APrintedSheetShowsEveryIconWhereTheLayoutPutsIt)
{
    ScriptedPrompts prompts;
    TempDir dir;
    const int n = 40;
    const IconCatalogue catalogue = solidIcons(n);
    PrintDialog dialog(catalogue, prompts);
    toPdf(dialog.printer(), dir.path() / "sheet.pdf", 800, 600);
    control<QPushButton>(&dialog, "SpeedButton1")->click();
    ASSERT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(' ').toStdString();
    EXPECT_EQ(control<gui::Gauge>(&dialog, "GaugeCurrent")->value(), 100);

    ASSERT_EQ(test::runCommand("pdftoppm -r 144 -png " + test::shellQuote((dir.path() / "sheet.pdf").string()) + " " +
                               test::shellQuote((dir.path() / "page").string())),
              0);
    desktop::SheetValues v;
    v.pageWidth = 800;
    v.pageHeight = 600;
    const auto placed = desktop::layOutSheet(desktop::allIcons(n), v);
    ASSERT_EQ(placed.back().page, 1); // six a row, five rows a page: two pages
    QImage pages[2];
    for (int p = 0; p < 2; ++p) {
        const fs::path png = dir.path() / ("page-" + std::to_string(p + 1) + ".png");
        ASSERT_TRUE(pages[p].load(QString::fromStdString(png.string()))) << png;
        ASSERT_EQ(pages[p].size(), QSize(1600, 1200));
    }
    EXPECT_FALSE(fs::exists(dir.path() / "page-3.png"));
    for (desktop::PlacedIcon icon : placed) {
        const QImage& page = pages[icon.page];
        // Rendered at two pixels a point: poppler smooths images enlarged less
        // than four times, and an icon is enlarged 3.125 times.
        icon.rect = {icon.rect.left * 2, icon.rect.top * 2, icon.rect.right * 2, icon.rect.bottom * 2};
        const int cx = static_cast<int>(icon.rect.left + icon.rect.right) / 2;
        const int cy = static_cast<int>(icon.rect.top + icon.rect.bottom) / 2;
        EXPECT_TRUE(near(page.pixel(cx, cy), colourOf(icon.index))) << icon.index;
        EXPECT_TRUE(near(page.pixel(static_cast<int>(icon.rect.left) + 5, static_cast<int>(icon.rect.bottom) - 5),
                         colourOf(icon.index)))
            << icon.index;
        // The masked corner pixel prints white, and so does the gap after the icon.
        EXPECT_TRUE(near(page.pixel(static_cast<int>(icon.rect.left) + 1, static_cast<int>(icon.rect.top) + 1),
                         qRgb(255, 255, 255)))
            << icon.index;
        EXPECT_TRUE(near(page.pixel(static_cast<int>(icon.rect.right) + 14, cy), qRgb(255, 255, 255))) << icon.index;
    }
    // Below the last row of a page nothing is printed.
    EXPECT_TRUE(near(pages[0].pixel(800, 1120), qRgb(255, 255, 255)));
}

TEST(PrintDialog, WithoutAPrinterTheSheetGoesToAPdfFileTheUserNames)
{
    ScriptedPrompts prompts;
    TempDir dir;
    const IconCatalogue catalogue = solidIcons(3);
    PrintDialog dialog(catalogue, prompts);
    // What Qt gives where there is no print system: PDF output with no file.
    dialog.printer().setOutputFormat(QPrinter::PdfFormat);
    dialog.printer().setOutputFileName(QString());
    auto* print = control<QPushButton>(&dialog, "SpeedButton1");
    print->click(); // the save dialog is cancelled: nothing printed, nothing said
    EXPECT_EQ(prompts.fileFilters, QStringList {"PDF files (*.pdf)"});
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(control<gui::Gauge>(&dialog, "GaugeCurrent")->value(), 0);

    const fs::path pdf = dir.path() / "icons.pdf";
    prompts.saveAnswers << gui::SaveChoice {QString::fromStdString(pdf.string()), 1};
    print->click();
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(' ').toStdString();
    EXPECT_EQ(control<gui::Gauge>(&dialog, "GaugeCurrent")->value(), 100);
    ASSERT_TRUE(fs::exists(pdf));
    std::string out;
    ASSERT_EQ(test::runCommand("pdfinfo " + test::shellQuote(pdf.string()), &out), 0);
    const auto pages = out.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << out;
    EXPECT_EQ(std::stoi(out.substr(pages + 6)), 1) << out;
}

TEST(PrintDialog, ThePrintCommandOpensItOverTheDisabledWindow)
{
    test::Desktop desk;
    desk.window.addDroppedNames({QString::fromStdString(test::fixture("library.icl").string())});
    desk.window.findChild<QToolButton*>(QStringLiteral("tbtSearch"))->click();
    ASSERT_GT(desk.window.catalogue().itemCount(), 0);
    auto* dialog = desk.open<PrintDialog>("menuPrint");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->objectName(), "FormPrint");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(desk.window.isEnabled());
    control<QPushButton>(dialog, "SpeedButton2")->click();
    desk.settle();
    EXPECT_TRUE(desk.window.isEnabled());
    EXPECT_FALSE(desk.window.findChild<PrintDialog*>());
    EXPECT_TRUE(desk.prompts.informations.isEmpty());
}

TEST(PrintDialog, CancelDuringAPrintOpenedFromTheWindowEndsTheDocumentAndClosesTheDialog)
{
    test::Desktop desk;
    TempDir dir;
    QStringList files;
    for (int i = 0; i < 40; ++i) {
        const fs::path copy = dir.path() / ("icons" + std::to_string(i) + ".dll");
        fs::copy_file(test::fixture("icons32.dll"), copy);
        files << QString::fromStdString(copy.string());
    }
    desk.window.addDroppedNames(files);
    desk.window.findChild<QToolButton*>(QStringLiteral("tbtSearch"))->click();
    ASSERT_GE(desk.window.catalogue().itemCount(), 40);
    QPointer<PrintDialog> dialog = desk.open<PrintDialog>("menuPrint");
    ASSERT_TRUE(dialog);
    toPdf(dialog->printer(), dir.path() / "sheet.pdf", 800, 600);
    QTimer::singleShot(0, dialog, [&] { control<QPushButton>(dialog, "SpeedButton2")->click(); });
    control<QPushButton>(dialog, "SpeedButton1")->click();
    desk.settle();
    EXPECT_FALSE(dialog);
    EXPECT_TRUE(desk.window.isEnabled());
    std::string out;
    ASSERT_EQ(test::runCommand("pdfinfo " + test::shellQuote((dir.path() / "sheet.pdf").string()), &out), 0) << out;
}

namespace {

// The centre of each cell the sheet of 800 x 600 points lays out for indexes,
// as pdftoppm renders its first page, and of the next cell after them.
std::vector<QRgb> printedCentres(const fs::path& pdf, const std::vector<int>& indexes)
{
    const fs::path stem = pdf.parent_path() / "page";
    EXPECT_EQ(test::runCommand("pdftoppm -r 144 -f 1 -l 1 -png " + test::shellQuote(pdf.string()) + " " +
                               test::shellQuote(stem.string())),
              0);
    QImage page;
    EXPECT_TRUE(page.load(QString::fromStdString(stem.string() + "-1.png")));
    desktop::SheetValues v;
    v.pageWidth = 800;
    v.pageHeight = 600;
    std::vector<int> cells = indexes;
    cells.push_back(0); // one cell more, which must stay white
    std::vector<QRgb> centres;
    for (const desktop::PlacedIcon& icon : desktop::layOutSheet(desktop::chosenIcons(cells, 1000), v))
        centres.push_back(page.pixel(static_cast<int>(icon.rect.left + icon.rect.right),
                                     static_cast<int>(icon.rect.top + icon.rect.bottom)));
    return centres;
}

} // namespace

// "Selected icons" and "Shown icons" print the icons the main view names when
// Print is clicked, in its order; with more than one selected the dialog
// starts on "Selected icons"; a choice without an icon is refused.
TEST(PrintDialog, SelectedAndShownIconsPrintThoseIcons)
{
    ScriptedPrompts prompts;
    TempDir dir;
    const IconCatalogue catalogue = solidIcons(10);
    std::vector<int> selected {7}, shown {9, 0, 4};
    PrintDialog one(catalogue, prompts);
    one.setIconPositions({[&] { return selected; }, [&] { return shown; }});
    EXPECT_TRUE(control<QRadioButton>(&one, "radioAllIcon")->isChecked());
    EXPECT_EQ(control<QRadioButton>(&one, "radioSelected")->text(), "S&elected icons");
    EXPECT_EQ(control<QRadioButton>(&one, "radioShown")->text(), "Show&n icons");

    selected = {2, 7};
    PrintDialog dialog(catalogue, prompts);
    dialog.setIconPositions({[&] { return selected; }, [&] { return shown; }});
    EXPECT_TRUE(control<QRadioButton>(&dialog, "radioSelected")->isChecked());
    EXPECT_FALSE(control<QRadioButton>(&dialog, "radioAllIcon")->isChecked());
    const std::pair<const char*, std::vector<int>*> choices[] = {{"radioSelected", &selected}, {"radioShown", &shown}};
    for (const auto& [radio, positions] : choices) {
        SCOPED_TRACE(radio);
        const fs::path pdf = dir.path() / (std::string(radio) + ".pdf");
        toPdf(dialog.printer(), pdf, 800, 600);
        control<QRadioButton>(&dialog, radio)->setChecked(true);
        control<QPushButton>(&dialog, "SpeedButton1")->click();
        ASSERT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(' ').toStdString();
        const std::vector<QRgb> centres = printedCentres(pdf, *positions);
        ASSERT_EQ(centres.size(), positions->size() + 1);
        for (std::size_t i = 0; i < positions->size(); ++i)
            EXPECT_TRUE(near(centres[i], colourOf((*positions)[i]))) << i;
        EXPECT_TRUE(near(centres.back(), qRgb(255, 255, 255)));
    }

    // The positions are read when Print is clicked: none selected by then, none shown.
    selected.clear();
    shown.clear();
    for (const char* radio : {"radioSelected", "radioShown"}) {
        const fs::path pdf = dir.path() / "none.pdf";
        toPdf(dialog.printer(), pdf, 800, 600);
        prompts.informations.clear();
        control<QRadioButton>(&dialog, radio)->setChecked(true);
        control<QPushButton>(&dialog, "SpeedButton1")->click();
        EXPECT_EQ(prompts.informations, QStringList {"No icon."}) << radio;
        EXPECT_FALSE(fs::exists(pdf)) << radio;
    }
}
