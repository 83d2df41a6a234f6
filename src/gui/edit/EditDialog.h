#pragma once

#include "codecs/ImageBuffer.h"

#include <QColor>
#include <QDialog>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace vextral {
class IconCatalogue;
}

namespace vextral::gui {

class Prompts;
class SavePicture;

// "Edit Icon": saves the selected icon after simple edits (a new size, a turn
// by any angle or a flip, a background colour for its transparent parts).
// Nothing is edited in place: every "&Save" builds the picture afresh from
// the catalogue's icon and writes it through the main window's save-picture
// dialog, JPEG at quality 86 whatever the settings say; "Icon File" writes
// the icon itself with all its images. The dialog stays open after saving,
// so several variants can be saved in turn.
class EditDialog final : public QDialog {
    Q_OBJECT
public:
    // index is the selected icon's position in the catalogue, which must not
    // change while the dialog is open (the main window is disabled meanwhile).
    EditDialog(const IconCatalogue& catalogue, int index, SavePicture& savePicture, Prompts& prompts,
               QWidget* parent = nullptr);

    // The buffer each save builds its picture in and writes from.
    const codecs::ImageBuffer& imgPicture() const { return imgPicture_; }
    // The colour of the background swatch.
    QColor backgroundColour() const { return background_; }

public slots:
    void chooseBackground();
    void save();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showBackground();

    const IconCatalogue& catalogue_;
    const int index_;
    SavePicture& savePicture_;
    Prompts& prompts_;
    codecs::ImageBuffer imgPicture_;
    QColor background_ = Qt::white;
    QLineEdit* editWidth_ = nullptr;
    QLineEdit* editHeight_ = nullptr;
    QLineEdit* editAngle_ = nullptr;
    QRadioButton* radioAngle_ = nullptr;
    QRadioButton* radioVertical_ = nullptr;
    QRadioButton* radioHorizontal_ = nullptr;
    QLabel* labColor_ = nullptr;
};

} // namespace vextral::gui
