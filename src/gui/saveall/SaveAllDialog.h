#pragma once

#include "gui/common/FormGroups.h"
#include "harvest/IconCatalogue.h"

#include <QDialog>

class QButtonGroup;
class QCloseEvent;
class QLineEdit;
class QRadioButton;

namespace vextral::gui {

class FolderTree;
class Gauge;
class Prompts;

// "Save all": every icon of the list, the selected icons or those the list
// shows ("Save range") into one folder, in one of ten file types, at one
// size, named by source file and index or by a numbered prefix.
// An icon whose name an earlier one of the same run took is saved under a
// new name, and the user is told how many were once the run is done. A run
// that fails stops there, says why and leaves the dialog open; the files it
// wrote stay. While a run goes the window stays painted and only Cancel
// works: it stops the run after the file being written and tells how many
// were saved; closing the dialog stops it too.
class SaveAllDialog final : public QDialog {
    Q_OBJECT
public:
    SaveAllDialog(const IconCatalogue& catalogue, int jpegQuality, Prompts& prompts, QWidget* parent = nullptr);

    // Draw the pictures from each icon's best image (Icon/BestImage).
    bool bestImage = false;
    // Keep the icons' transparency in the formats that hold alpha (Icon/Transparent).
    bool transparent = false;

    FolderTree* folderTree() const { return dirSaveAll_; }

    // Where "Selected icons" and "Shown icons" find their icons; checks
    // "Selected icons" when more than one icon is selected now.
    void setIconPositions(IconPositions positions);

public slots:
    // Saves the icons of the range, then closes; a failure leaves the dialog open.
    void accept() override;
    // Stops a run that goes; otherwise closes the dialog.
    void reject() override;
    void clearPrefix();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    // Everything but Cancel is disabled while a run goes.
    void setRunning(bool running);

    const IconCatalogue& catalogue_;
    int jpegQuality_;
    Prompts& prompts_;
    FolderTree* dirSaveAll_ = nullptr;
    RangeControls range_;
    IconPositions positions_;
    QButtonGroup* rgpImage_ = nullptr;
    QRadioButton* radioFilename_ = nullptr;
    QRadioButton* radioNumber_ = nullptr;
    QLineEdit* editImage_ = nullptr;
    QLineEdit* editWidth_ = nullptr;
    QLineEdit* editHeight_ = nullptr;
    Gauge* gaugeCurrent_ = nullptr;
    QWidget* cancel_ = nullptr;
    bool running_ = false;
    bool stopAsked_ = false;
};

// What the user is told after a run that was stopped: how many icons of all were saved.
QString stoppedText(int written, int total);

// What the user is told after a run that saved renamed icons under a new name.
QString renamedText(int renamed, int renamedForInputs = 0);

} // namespace vextral::gui
