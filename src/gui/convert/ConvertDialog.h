#pragma once

#include "codecs/ImageBuffer.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace vextral::settings {
struct Settings;
}

namespace vextral::gui {

class Prompts;
class SavePicture;

// "Convert": loads one picture file of any of the converter's input formats,
// shows it scaled into a 233 x 233 preview, and saves it through the main
// window's save-picture dialog in one of its nine formats. "&Save" becomes
// usable with the first "&Load", whatever came of it; a load that is
// cancelled or fails leaves the picture loaded before. Saving before any
// picture was loaded asks for one instead of writing an empty file. The
// dialog stays open after saving.
class ConvertDialog final : public QDialog {
    Q_OBJECT
public:
    // settings gives the JPEG quality at each save.
    ConvertDialog(SavePicture& savePicture, const settings::Settings& settings, Prompts& prompts,
                  QWidget* parent = nullptr);

    // The picture the last successful load read, at its own size; empty before.
    const codecs::Picture& loadedPicture() const { return loaded_; }
    // The buffer of the picture loaded last, which writes every file: a GIF
    // keeps its depth and colour table there for its own saves; loading
    // another picture starts a new buffer.
    const codecs::ImageBuffer& imgFile() const { return imgFile_; }

public slots:
    void load();
    void save();

private:
    void showPreview();

    SavePicture& savePicture_;
    const settings::Settings& settings_;
    Prompts& prompts_;
    codecs::ImageBuffer imgFile_;
    codecs::Picture loaded_;
    QLabel* imgPicture_ = nullptr;
    QPushButton* spbSave_ = nullptr;
};

} // namespace vextral::gui
