// The "Create Web Page" dialog: its controls, and the gallery run it starts.
#include "gui/webpage/WebPageDialog.h"
#include "gui/app/MainWindow.h"
#include "gui/common/Gauge.h"

#include "TestSupport.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"
#include "platform/IconExtractor.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vextral;
using vextral::gui::WebPageDialog;
using vextral::test::catalogueOf;
using vextral::test::control;
using vextral::test::fixture;
using vextral::test::qtPath;
using vextral::test::ScriptedPrompts;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {} // namespace

TEST(WebPageDialog, ControlsAndStartValues)
{
    ScriptedPrompts prompts;
    const IconCatalogue icons = catalogueOf("library.icl", 3);
    const settings::Settings settings;
    WebPageDialog d(icons, settings, prompts);
    EXPECT_EQ(d.objectName(), "FormWebPage");
    EXPECT_EQ(d.windowTitle(), "Create Web Page");
    EXPECT_EQ(control<QLabel>(&d, "Label1")->text(), "Create Web Page");
    auto* pages = control<QTabWidget>(&d, "PageControl1");
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(pages->tabText(0), "Page Options");
    EXPECT_EQ(pages->tabText(1), "Image Options");
    const std::pair<const char*, const char*> edits[] = {{"editFile", ""},    {"editTitle", ""},   {"editTable", "1"},
                                                         {"editCount", "5"},  {"editBottom", ""},  {"editTop", ""},
                                                         {"editWidth", "32"}, {"editHeight", "32"}};
    for (const auto& [name, text] : edits) EXPECT_EQ(control<QLineEdit>(&d, name)->text(), text) << name;
    EXPECT_TRUE(control<QRadioButton>(&d, "radioAll")->isChecked());
    EXPECT_EQ(control<QRadioButton>(&d, "radioAll")->text(), "&All icons");
    EXPECT_FALSE(control<QRadioButton>(&d, "radioSelect")->isChecked());
    EXPECT_EQ(control<QRadioButton>(&d, "radioSelect")->text(), "&From");
    EXPECT_EQ(control<QRadioButton>(&d, "rgpFile0")->text(), "&Bmp File");
    EXPECT_EQ(control<QRadioButton>(&d, "rgpFile1")->text(), "&Jpg File");
    EXPECT_EQ(control<QRadioButton>(&d, "rgpFile2")->text(), "&Gif File");
    EXPECT_TRUE(control<QRadioButton>(&d, "rgpFile2")->isChecked());
    EXPECT_EQ(control<gui::Gauge>(&d, "GaugeTotal")->value(), 0);
    EXPECT_EQ(control<QPushButton>(&d, "SpeedButton5")->text(), "&OK");
    EXPECT_EQ(control<QPushButton>(&d, "SpeedButton6")->text(), "&Cancel");
    EXPECT_TRUE(control<QListWidget>(&d, "LstIcon")->isHidden());
    EXPECT_EQ(d.state(), WebPageDialog::State::Idle);

    prompts.folderAnswers = {"/tmp/gallery"};
    control<QPushButton>(&d, "SpeedButton1")->click();
    EXPECT_EQ(control<QLineEdit>(&d, "editFile")->text(), "/tmp/gallery");
    control<QPushButton>(&d, "SpeedButton1")->click(); // cancelled: the folder stays
    EXPECT_EQ(control<QLineEdit>(&d, "editFile")->text(), "/tmp/gallery");
}

TEST(WebPageDialog, RefusesWhatCannotRun)
{
    ScriptedPrompts prompts;
    TempDir out;
    const IconCatalogue icons = catalogueOf("library.icl", 5), none;
    const settings::Settings settings;
    WebPageDialog d(icons, settings, prompts);
    control<QPushButton>(&d, "SpeedButton5")->click();
    ASSERT_EQ(prompts.informations.size(), 1);
    EXPECT_EQ(prompts.informations[0], "Please select a directory to save the web file.");

    control<QLineEdit>(&d, "editFile")->setText(qtPath(out.path()));
    control<QRadioButton>(&d, "radioSelect")->setChecked(true);
    control<QLineEdit>(&d, "editBottom")->setText("3");
    control<QLineEdit>(&d, "editTop")->setText("2");
    control<QPushButton>(&d, "SpeedButton5")->click();
    ASSERT_EQ(prompts.informations.size(), 2);
    EXPECT_EQ(prompts.informations[1], "No icon.");

    control<QLineEdit>(&d, "editTop")->setText("four");
    control<QPushButton>(&d, "SpeedButton5")->click();
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors[0], "To: 'four' is not a valid integer value");
    EXPECT_EQ(d.focusWidget(), control<QLineEdit>(&d, "editTop"));

    control<QLineEdit>(&d, "editTop")->setText("4");
    control<QLineEdit>(&d, "editWidth")->setText("x");
    control<QPushButton>(&d, "SpeedButton5")->click();
    ASSERT_EQ(prompts.errors.size(), 2);
    EXPECT_EQ(prompts.errors[1], "Width: 'x' is not a valid integer value");
    EXPECT_EQ(d.focusWidget(), control<QLineEdit>(&d, "editWidth"));
    EXPECT_FALSE(fs::exists(out / "index.htm"));
    EXPECT_TRUE(control<QPushButton>(&d, "SpeedButton5")->isEnabled());

    WebPageDialog empty(none, settings, prompts);
    control<QLineEdit>(&empty, "editFile")->setText(qtPath(out.path()));
    control<QPushButton>(&empty, "SpeedButton5")->click();
    EXPECT_EQ(prompts.informations.last(), "No icon.");
}

TEST(WebPageDialog, RunWritesTheGalleryAndStaysOpen)
{
    ScriptedPrompts prompts;
    TempDir out;
    const IconCatalogue icons = catalogueOf("library.icl", 12);
    settings::Settings settings;
    WebPageDialog d(icons, settings, prompts);
    d.show();
    control<QLineEdit>(&d, "editFile")->setText(qtPath(out.path()));
    control<QLineEdit>(&d, "editTitle")->setText("Icons & more");
    control<QPushButton>(&d, "SpeedButton5")->click();
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(", ").toStdString();
    for (int n = 1; n <= 12; ++n) EXPECT_TRUE(fs::exists(out / (std::to_string(n) + ".gif"))) << n;
    ASSERT_TRUE(fs::exists(out / "index.htm"));
    EXPECT_EQ(d.state(), WebPageDialog::State::Stopped);
    EXPECT_EQ(control<gui::Gauge>(&d, "GaugeTotal")->value(), 100);
    EXPECT_TRUE(d.isVisible());
    auto* lines = control<QListWidget>(&d, "LstIcon");
    ASSERT_GT(lines->count(), 3);
    EXPECT_EQ(lines->item(2)->text(), "<title>Icons &amp; more</title>");
    EXPECT_EQ(lines->item(lines->count() - 4)->text(), "<th><img src=\"12.gif\" height=32 width=32></th>");
    control<QPushButton>(&d, "SpeedButton6")->click();
    EXPECT_FALSE(d.isVisible());
}

TEST(WebPageDialog, CancelStopsARunAndOkIsDisabledMeanwhile)
{
    ScriptedPrompts prompts;
    TempDir out;
    const IconCatalogue icons = catalogueOf("library.icl", 300);
    settings::Settings settings;
    WebPageDialog d(icons, settings, prompts);
    d.show();
    control<QLineEdit>(&d, "editFile")->setText(qtPath(out.path()));
    auto* ok = control<QPushButton>(&d, "SpeedButton5");
    auto* cancel = control<QPushButton>(&d, "SpeedButton6");
    bool okEnabledDuringRun = true;
    WebPageDialog::State stateDuringRun = WebPageDialog::State::Idle;
    QTimer::singleShot(0, &d, [&] {
        okEnabledDuringRun = ok->isEnabled();
        stateDuringRun = d.state();
        ok->click(); // ignored while running
        cancel->click();
    });
    ok->click();
    EXPECT_FALSE(okEnabledDuringRun);
    EXPECT_EQ(stateDuringRun, WebPageDialog::State::Running);
    EXPECT_EQ(d.state(), WebPageDialog::State::Stopped);
    EXPECT_TRUE(fs::exists(out / "1.gif"));
    EXPECT_FALSE(fs::exists(out / "300.gif"));
    EXPECT_FALSE(fs::exists(out / "index.htm"));
    EXPECT_EQ(control<gui::Gauge>(&d, "GaugeTotal")->value(), 0);
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(ok->isEnabled());
    cancel->click();
    EXPECT_FALSE(d.isVisible());
}

TEST(WebPageDialog, ToolbarButtonOpensAFreshDialogAndDisablesTheWindow)
{
    ScriptedPrompts prompts;
    TempDir home;
    gui::MainWindow w(prompts, home.path().string());
    for (int round = 0; round < 2; ++round) {
        w.findChild<QToolButton*>(QStringLiteral("tbtWebPage"))->click();
        auto* d = w.findChild<WebPageDialog*>(QStringLiteral("FormWebPage"));
        ASSERT_TRUE(d) << round;
        EXPECT_TRUE(prompts.informations.isEmpty());
        EXPECT_TRUE(d->isVisible());
        EXPECT_FALSE(w.isEnabled());
        EXPECT_EQ(control<QLineEdit>(d, "editTitle")->text(), "");
        control<QLineEdit>(d, "editTitle")->setText("changed");
        control<QPushButton>(d, "SpeedButton6")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(w.isEnabled());
        EXPECT_FALSE(w.findChild<WebPageDialog*>(QStringLiteral("FormWebPage"))) << round;
    }
}

TEST(WebPageDialog, FromToUnderBmpOverTheSettingsBackground)
{
    ScriptedPrompts prompts;
    TempDir out, all;
    const IconCatalogue icons = catalogueOf("library.icl", 3);
    settings::Settings settings;
    settings.background = 0x000000FF; // red
    WebPageDialog d(icons, settings, prompts);
    control<QLineEdit>(&d, "editFile")->setText(qtPath(all.path()));
    control<QRadioButton>(&d, "rgpFile0")->setChecked(true);
    control<QPushButton>(&d, "SpeedButton5")->click();
    control<QLineEdit>(&d, "editFile")->setText(qtPath(out.path()));
    control<QRadioButton>(&d, "radioSelect")->setChecked(true);
    control<QLineEdit>(&d, "editBottom")->setText("3");
    control<QLineEdit>(&d, "editTop")->setText("4");
    control<QPushButton>(&d, "SpeedButton5")->click();
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(test::readBytes(out / "1.bmp"), test::readBytes(all / "3.bmp"));
    ASSERT_TRUE(fs::exists(out / "2.bmp"));
    EXPECT_FALSE(fs::exists(out / "3.bmp"));
    // Position 4 is past the last icon: a picture of the background alone, red.
    const auto bytes = test::readBytes(out / "2.bmp");
    const std::size_t offset = bytes.at(10) | bytes.at(11) << 8;
    ASSERT_GT(bytes.size(), offset + 3);
    EXPECT_EQ(bytes[offset], 0x00);     // blue
    EXPECT_EQ(bytes[offset + 1], 0x00); // green
    EXPECT_EQ(bytes[offset + 2], 0xFF); // red
}

TEST(WebPageDialog, ClosingDuringARunStopsItSafely)
{
    ScriptedPrompts prompts;
    TempDir out;
    const IconCatalogue icons = catalogueOf("library.icl", 300);
    const settings::Settings settings;
    auto* d = new WebPageDialog(icons, settings, prompts);
    d->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<WebPageDialog> alive(d);
    d->show();
    control<QLineEdit>(d, "editFile")->setText(qtPath(out.path()));
    QTimer::singleShot(0, d, [d] { d->close(); });
    control<QPushButton>(d, "SpeedButton5")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(alive);
    EXPECT_TRUE(fs::exists(out / "1.gif"));
    EXPECT_FALSE(fs::exists(out / "300.gif"));
    EXPECT_FALSE(fs::exists(out / "index.htm"));
    EXPECT_TRUE(prompts.errors.isEmpty());
}

// "Selected icons" and "Shown icons" make the gallery of the icons the main
// view names when OK is clicked, numbered by their place in the page; with
// more than one selected the dialog starts on "Selected icons"; a choice
// without an icon is refused before anything is written.
TEST(WebPageDialog, SelectedAndShownIconsMakeTheGalleryOfThoseIcons)
{
    ScriptedPrompts prompts;
    TempDir all;
    const IconCatalogue icons = catalogueOf("library.icl", 6);
    const settings::Settings settings;
    WebPageDialog whole(icons, settings, prompts);
    control<QLineEdit>(&whole, "editFile")->setText(qtPath(all.path()));
    control<QPushButton>(&whole, "SpeedButton5")->click();
    ASSERT_TRUE(fs::exists(all / "6.gif"));

    std::vector<int> selected {4}, shown {5, 0, 1};
    WebPageDialog one(icons, settings, prompts);
    one.setIconPositions({[&] { return selected; }, [&] { return shown; }});
    EXPECT_TRUE(control<QRadioButton>(&one, "radioAll")->isChecked());
    EXPECT_EQ(control<QRadioButton>(&one, "radioSelected")->text(), "S&elected icons");
    EXPECT_EQ(control<QRadioButton>(&one, "radioShown")->text(), "Show&n icons");

    selected = {2, 3};
    WebPageDialog d(icons, settings, prompts);
    d.setIconPositions({[&] { return selected; }, [&] { return shown; }});
    EXPECT_TRUE(control<QRadioButton>(&d, "radioSelected")->isChecked());
    EXPECT_FALSE(control<QRadioButton>(&d, "radioAll")->isChecked());
    const std::pair<const char*, std::vector<int>*> choices[] = {{"radioSelected", &selected}, {"radioShown", &shown}};
    for (const auto& [radio, positions] : choices) {
        SCOPED_TRACE(radio);
        TempDir out;
        control<QLineEdit>(&d, "editFile")->setText(qtPath(out.path()));
        control<QRadioButton>(&d, radio)->setChecked(true);
        control<QPushButton>(&d, "SpeedButton5")->click();
        ASSERT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(", ").toStdString();
        for (std::size_t n = 1; n <= positions->size(); ++n) {
            const std::string picture = std::to_string(n) + ".gif";
            EXPECT_EQ(test::readBytes(out / picture),
                      test::readBytes(all / (std::to_string((*positions)[n - 1] + 1) + ".gif")))
                << n;
        }
        EXPECT_FALSE(fs::exists(out / (std::to_string(positions->size() + 1) + ".gif")));
        const QStringList lines = test::entries(control<QListWidget>(&d, "LstIcon"));
        EXPECT_EQ(lines.filter("<img").size(), static_cast<qsizetype>(positions->size()));
        EXPECT_TRUE(
            lines.contains(QStringLiteral("<th><img src=\"%1.gif\" height=32 width=32></th>").arg(positions->size())));
        EXPECT_TRUE(fs::exists(out / "index.htm"));
    }

    // The positions are read when OK is clicked: none selected by then, none shown.
    selected.clear();
    shown.clear();
    TempDir none;
    control<QLineEdit>(&d, "editFile")->setText(qtPath(none.path()));
    for (const char* radio : {"radioSelected", "radioShown"}) {
        prompts.informations.clear();
        control<QRadioButton>(&d, radio)->setChecked(true);
        control<QPushButton>(&d, "SpeedButton5")->click();
        EXPECT_EQ(prompts.informations, QStringList {"No icon."}) << radio;
    }
    EXPECT_TRUE(fs::is_empty(none.path()));
}
