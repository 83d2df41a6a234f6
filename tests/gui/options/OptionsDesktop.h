#pragma once

// What the tests of the options dialog share: a main window over a program
// folder with its Option.ini, and the dialog's controls used as a user does.
#include "gui/app/MainWindow.h"
#include "gui/options/OptionsDialog.h"
#include "settings/ProfileFile.h"

#include "TestSupport.h"
#include "gui/support/DialogDesktop.h"
#include "gui/support/ModalBoxes.h"
#include "gui/support/ScriptedPrompts.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vextral;
using vextral::gui::MainWindow;
using vextral::gui::OptionsDialog;
using vextral::test::click;
using vextral::test::control;
using vextral::test::fixture;
using vextral::test::ScriptedPrompts;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace vextral::test::options {

// The desktop with the settings file of its program folder.
struct Desktop : vextral::test::Desktop {
    fs::path ini() const { return home / "Option.ini"; }
    std::string iniText() const
    {
        if (!fs::exists(ini())) return "(no file)";
        const auto bytes = vextral::test::readBytes(ini());
        return {bytes.begin(), bytes.end()};
    }
    // Writes Option.ini and has the main window load it.
    void writeIni(const std::string& text)
    {
        vextral::test::writeBytes(ini(), std::vector<std::uint8_t>(text.begin(), text.end()));
        window.loadSettings();
    }
    // The value of a key as the file holds it now.
    std::optional<std::string> stored(const char* section, const char* key) const
    {
        return settings::ProfileFile(ini().string()).read().value(section, key);
    }
    // Opens the dialog with "Options..." and returns it.
    OptionsDialog* open() { return vextral::test::Desktop::open<OptionsDialog>("menuOptions"); }
};

inline void showPage(OptionsDialog* d, int page)
{
    control<QTabWidget>(d, "pctOption")->setCurrentIndex(page);
    QCoreApplication::processEvents();
}

inline void type(QWidget* dialog, const char* name, const QString& text)
{
    auto* edit = control<QLineEdit>(dialog, name);
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

inline bool checked(QWidget* dialog, const char* name) { return control<QAbstractButton>(dialog, name)->isChecked(); }

inline QStringList texts(QWidget* dialog)
{
    QStringList out;
    for (auto* label : dialog->findChildren<QLabel*>()) out << label->text();
    for (auto* group : dialog->findChildren<QGroupBox*>()) out << group->title();
    return out;
}

inline QColor swatch(QWidget* dialog) { return control<QLabel>(dialog, "labColor")->palette().color(QPalette::Window); }

} // namespace vextral::test::options
