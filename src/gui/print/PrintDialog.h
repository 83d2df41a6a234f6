#pragma once

#include "gui/common/FormGroups.h"
#include "harvest/IconCatalogue.h"

#include <QDialog>

#include <functional>
#include <memory>

class QGroupBox;
class QLineEdit;
class QPrintDialog;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace vextral::gui {

class Gauge;
class Prompts;

// "Print icons": the catalogue's icons, a range of them, the selected icons
// or those the list shows, as a sheet of enlarged icons, row after row and
// page after page, on the current printer.
// The values are read from the boxes when Print is clicked; the layout is the
// engine's (desktop/PrintLayout). The queue runs after each icon, so Cancel
// works during a print; every other control (Print, Printer Setup, the boxes)
// is disabled until the print ends. Where no
// printer is installed the sheet goes to a PDF file the user names.
class PrintDialog final : public QDialog {
    Q_OBJECT
public:
    PrintDialog(const IconCatalogue& catalogue, Prompts& prompts, QWidget* parent = nullptr);
    ~PrintDialog() override;

    // The printer the next print goes to.
    QPrinter& printer() { return *printer_; }
    // Runs the printer set-up dialog on the printer; true when accepted.
    // Replaced by tests so that no modal dialog ever blocks.
    std::function<bool(QWidget*, QPrinter&)> setupPrinter;
    // Print each icon from its best image at the size of its rectangle
    // (Icon/BestImage) rather than stretch the 32 x 32 picture.
    bool bestImage = false;

    // Where "Selected icons" and "Shown icons" find their icons; checks
    // "Selected icons" when more than one icon is selected now.
    void setIconPositions(IconPositions positions);

    // The dialog Printer Setup shows: the printer and its paper are picked
    // there and confirmed with OK; nothing is printed.
    static std::unique_ptr<QPrintDialog> printerSetupDialog(QPrinter& printer, QWidget* owner);

    // 0 idle, 1 printing, 2 cancelled.
    int runState() const { return runState_; }

public slots:
    void print();
    // Stops a print under way and closes.
    void cancel();
    void openPrinterSetup();

private:
    bool choosePdfWhenNoPrinter();
    void setControlsEnabled(bool enabled);

    const IconCatalogue& catalogue_;
    Prompts& prompts_;
    std::shared_ptr<QPrinter> printer_;
    int runState_ = 0;
    RangeControls range_;
    IconPositions positions_;
    QLineEdit* editWidth_ = nullptr;
    QLineEdit* editHeight_ = nullptr;
    QLineEdit* editCount_ = nullptr;
    QLineEdit* editIcon_ = nullptr;
    QLineEdit* editLeftPad_ = nullptr;
    QLineEdit* editTopPad_ = nullptr;
    QGroupBox* rangeBox_ = nullptr;
    QGroupBox* sizeBox_ = nullptr;
    QGroupBox* spacingBox_ = nullptr;
    Gauge* gaugeCurrent_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* setup_ = nullptr;
};

} // namespace vextral::gui
