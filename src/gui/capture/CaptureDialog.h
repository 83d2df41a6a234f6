#pragma once

#include "codecs/ImageBuffer.h"
#include "desktop/ScreenCapture.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QRadioButton;

namespace vextral::settings {
struct Settings;
}

namespace vextral::gui {

class Prompts;
class SavePicture;

// "Capture Screen": grabs a square of the screen (a 32 x 32 or 16 x 16 icon
// with a pixel to spare on each side, or a size typed in) through the capture
// backend, shows it, and saves it through the main window's save-picture
// dialog or copies it to the clipboard, sized as chosen. The main window and
// the dialog get out of the way while the user picks the square. Saving or
// copying before anything was captured says so instead of writing nothing.
class CaptureDialog final : public QDialog {
    Q_OBJECT
public:
    // backend null: no capture backend, so "Start Capture" does nothing.
    // settings gives the JPEG quality at each save.
    CaptureDialog(SavePicture& savePicture, const settings::Settings& settings, Prompts& prompts,
                  desktop::CaptureBackend* backend, QWidget* parent = nullptr);

    desktop::ScreenCapture& capture() { return capture_; }
    // The last capture, at its own size; empty before the first.
    const codecs::Picture& captured() const { return captured_; }
    // The picture the last save or copy was made from.
    const codecs::ImageBuffer& imgIcon() const { return imgIcon_; }

public slots:
    void startCapture();
    void save();
    void copyToClipboard();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void captureCaptureSuccess(const codecs::Picture& bitmap);
    void captureError(int status);
    // Draws the capture into imgIcon at the size chosen; an edit that holds
    // no integer or a size too large raises the error to show.
    void prepareIcon();
    void getOutOfTheWay();
    void comeBack();

    SavePicture& savePicture_;
    const settings::Settings& settings_;
    Prompts& prompts_;
    desktop::CaptureBackend* backend_;
    desktop::ScreenCapture capture_;
    codecs::ImageBuffer imgIcon_;
    codecs::Picture captured_;
    QRadioButton* radioLarge_ = nullptr;
    QRadioButton* radioSmall_ = nullptr;
    QRadioButton* radioOther_ = nullptr;
    QLineEdit* editWidth_ = nullptr;
    QLineEdit* editHeight_ = nullptr;
    QLabel* imgCapture_ = nullptr;
    bool away_ = false; // minimised for a capture
};

} // namespace vextral::gui
