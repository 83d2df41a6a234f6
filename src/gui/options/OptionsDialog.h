#pragma once

#include "settings/OptionsForm.h"
#include "settings/ProfileFile.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace vextral {
class FieldError;
}

namespace vextral::gui {

class Prompts;

// "Options": every setting of Option.ini on three pages. The pages Icon and
// Search are loaded when the dialog is made, the Internet page each time it
// is shown (what was typed there is then replaced by what is stored). OK
// checks every value, writes the file in one go, has the main window reload
// its settings and closes; a bad value is shown in an error box, nothing is
// written and the dialog stays open. Cancel writes nothing.
class OptionsDialog final : public QDialog {
    Q_OBJECT
public:
    // reload is run after the file has been written (the main window's loadSettings).
    OptionsDialog(const settings::ProfileFile& file, Prompts& prompts, std::function<void()> reload,
                  QWidget* parent = nullptr);

    // The error text of a background colour in the file that could not be
    // read when the dialog was made (the swatch then shows white).
    const std::optional<std::string>& loadProblem() const { return loadProblem_; }

public slots:
    // Checks and stores the form, reloads the main window's settings and
    // closes; a bad value leaves the dialog open.
    void accept() override;
    void browseEditor();
    void chooseBackground();
    void showJpegQuality();
    void chooseIconsUpTo();
    void chooseFilesUpTo();
    void loadInternetPage();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QWidget* buildIconPage();
    QWidget* buildSearchPage();
    QWidget* buildInternetPage();
    // The controls as a form, and a form shown in the controls.
    settings::OptionsForm form() const;
    void showForm(const settings::OptionsForm& f);
    void showQuantities(const settings::OptionsForm& f);
    void showBackground(settings::Colour colour);
    // The edit whose text the form refused with e.
    QWidget* failedField(const FieldError& e) const;

    settings::ProfileFile file_;
    Prompts& prompts_;
    std::function<void()> reload_;
    std::optional<std::string> loadProblem_;
    settings::Colour background_ = settings::kWhite;
    bool internetShown_ = false;

    QTabWidget* pctOption_ = nullptr;
    QWidget* tabSheet3_ = nullptr;
    QLabel* labColor_ = nullptr;
    QLineEdit* editDirectory_ = nullptr;
    QSlider* tbrImage_ = nullptr;
    QLabel* labImage_ = nullptr;
    QCheckBox* fileTypeBoxes_[kFileTypeCount] = {};
    QRadioButton* radioIcon_ = nullptr;
    QRadioButton* radioIconNumber_ = nullptr;
    QLineEdit* editIcon_ = nullptr;
    QRadioButton* radioFile_ = nullptr;
    QRadioButton* radioFileNumber_ = nullptr;
    QLineEdit* editFile_ = nullptr;
    QCheckBox* chbSubFolders_ = nullptr;
    QCheckBox* chbRecycle_ = nullptr;
    QLineEdit* editSmtp_ = nullptr;
    QLineEdit* editReply_ = nullptr;
    QCheckBox* chbProxy_ = nullptr;
    QLineEdit* editProxy_ = nullptr;
    QLineEdit* editProxyPort_ = nullptr;
    QLineEdit* editConnection_ = nullptr;
    QLineEdit* editSmtpPort_ = nullptr;
    QComboBox* cmbSmtpSecurity_ = nullptr;
    QLineEdit* editSmtpUser_ = nullptr;
};

} // namespace vextral::gui
