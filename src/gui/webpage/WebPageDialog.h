#pragma once

#include "gui/common/FormGroups.h"
#include "harvest/IconCatalogue.h"
#include "settings/Settings.h"

#include <QDialog>

class QButtonGroup;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace vextral::gui {

class Gauge;
class Prompts;

// "Create Web Page": the catalogue's icons, a range of them, the selected
// icons or those the list shows, as numbered pictures and the page index.htm
// that shows them in a table, all in one folder. The
// run (exporting::writeWebPage) handles events after each picture, so Cancel
// stops it; OK stays disabled until it ends. The dialog stays open after a
// run, with the gauge at its last value; Cancel then closes it.
class WebPageDialog final : public QDialog {
    Q_OBJECT
public:
    enum class State { Idle, Running, Stopped };

    WebPageDialog(const IconCatalogue& catalogue, const settings::Settings& settings, Prompts& prompts,
                  QWidget* parent = nullptr);

    State state() const { return state_; }

    // Where "Selected icons" and "Shown icons" find their icons; checks
    // "Selected icons" when more than one icon is selected now.
    void setIconPositions(IconPositions positions);

public slots:
    void browseFolder();
    void createPage();
    // Stops a run under way, or closes.
    void cancel();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    const IconCatalogue& catalogue_;
    const settings::Settings& settings_;
    Prompts& prompts_;
    State state_ = State::Idle;
    QLineEdit* editFile_ = nullptr;
    QLineEdit* editTitle_ = nullptr;
    QLineEdit* editTable_ = nullptr;
    QLineEdit* editCount_ = nullptr;
    RangeControls range_;
    IconPositions positions_;
    QButtonGroup* rgpFile_ = nullptr;
    QLineEdit* editWidth_ = nullptr;
    QLineEdit* editHeight_ = nullptr;
    Gauge* gaugeTotal_ = nullptr;
    QPushButton* ok_ = nullptr;
    QListWidget* lstIcon_ = nullptr;
};

} // namespace vextral::gui
