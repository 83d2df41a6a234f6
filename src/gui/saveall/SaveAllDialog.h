#pragma once

#include "harvest/IconCatalogue.h"

#include <QDialog>

class QButtonGroup;
class QLineEdit;
class QRadioButton;

namespace vextral::gui {

class FolderTree;
class Gauge;
class Prompts;

// "Save all": every icon of the list into one folder, in one of ten file
// types, at one size, named by source file and index or by a numbered prefix.
// An icon whose name an earlier one of the same run took is saved under a
// new name, and the user is told how many were once the run is done. A run
// that fails stops there, says why and leaves the dialog open; the files it
// wrote stay.
class SaveAllDialog final : public QDialog {
    Q_OBJECT
public:
    SaveAllDialog(const IconCatalogue& catalogue, int jpegQuality, Prompts& prompts, QWidget* parent = nullptr);

    // Draw the pictures from each icon's best image (Icon/BestImage).
    bool bestImage = false;

    FolderTree* folderTree() const { return dirSaveAll_; }

public slots:
    // Saves every icon, then closes; a failure leaves the dialog open.
    void accept() override;
    void clearPrefix();

private:
    const IconCatalogue& catalogue_;
    int jpegQuality_;
    Prompts& prompts_;
    FolderTree* dirSaveAll_ = nullptr;
    QButtonGroup* rgpImage_ = nullptr;
    QRadioButton* radioFilename_ = nullptr;
    QRadioButton* radioNumber_ = nullptr;
    QLineEdit* editImage_ = nullptr;
    QLineEdit* editWidth_ = nullptr;
    QLineEdit* editHeight_ = nullptr;
    Gauge* gaugeCurrent_ = nullptr;
};

// What the user is told after a run that saved renamed icons under a new name.
QString renamedText(int renamed, int renamedForInputs = 0);

} // namespace vextral::gui
