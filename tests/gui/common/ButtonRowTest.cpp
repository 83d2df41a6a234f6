// The dialogs' button rows: each button keeps its object name and caption,
// Return presses the button that is the default today, and Escape closes the
// dialog as Cancel does.
#include "gui/common/ButtonRow.h"
#include "gui/options/OptionsDialog.h"
#include "gui/print/PrintDialog.h"
#include "gui/saveall/SaveAllDialog.h"
#include "gui/webpage/WebPageDialog.h"
#include "harvest/IconCatalogue.h"
#include "settings/ProfileFile.h"
#include "settings/Settings.h"

#include "TestSupport.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace vextral;
using vextral::test::control;
using vextral::test::ScriptedPrompts;

namespace {

// What a dialog is made from.
struct World {
    ScriptedPrompts prompts;
    IconCatalogue catalogue;
    settings::Settings settings;
    test::TempDir home;
};

struct Row {
    const char* dialog;
    std::function<std::unique_ptr<QDialog>(World&)> make;
    // Object name and caption of each button of the row.
    std::vector<std::pair<const char*, const char*>> buttons;
    const char* defaultButton; // "" when Return presses no button
};

// Test listings name a row by its dialog.
void PrintTo(const Row& row, std::ostream* os) { *os << row.dialog; }

std::vector<Row> rows()
{
    return {
        {"FormOption",
         [](World& w) {
             return std::make_unique<gui::OptionsDialog>(settings::ProfileFile((w.home.path() / "Option.ini").string()),
                                                         w.prompts, nullptr);
         },
         {{"SpeedButton1", "&OK"}, {"SpeedButton2", "&Cancel"}},
         "SpeedButton1"},
        {"FormSaveAll",
         [](World& w) { return std::make_unique<gui::SaveAllDialog>(w.catalogue, 86, w.prompts); },
         {{"SpeedButton1", "&OK"}, {"SpeedButton2", "&Cancel"}},
         "SpeedButton1"},
        {"FormPrint",
         [](World& w) { return std::make_unique<gui::PrintDialog>(w.catalogue, w.prompts); },
         {{"SpeedButton1", "&Print"}, {"SpeedButton3", "Printer &Setup"}, {"SpeedButton2", "&Cancel"}},
         "SpeedButton1"},
        // The folder's browse button, the dialog's first, is its default.
        {"FormWebPage",
         [](World& w) { return std::make_unique<gui::WebPageDialog>(w.catalogue, w.settings, w.prompts); },
         {{"SpeedButton5", "&OK"}, {"SpeedButton6", "&Cancel"}},
         "SpeedButton1"},
    };
}

class ButtonRow : public ::testing::TestWithParam<Row> {};

} // namespace

TEST_P(ButtonRow, KeepsNamesCaptionsTheDefaultButtonAndEscape)
{
    World world;
    const Row& row = GetParam();
    std::unique_ptr<QDialog> dialog = row.make(world);
    EXPECT_EQ(dialog->objectName(), row.dialog);
    auto* box = dialog->findChild<QDialogButtonBox*>();
    ASSERT_TRUE(box);
    for (const auto& [name, caption] : row.buttons) {
        auto* button = control<QPushButton>(box, name);
        EXPECT_EQ(button->text(), caption) << name;
    }
    EXPECT_EQ(box->buttons().size(), static_cast<qsizetype>(row.buttons.size()));

    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QStringList defaults;
    for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->isDefault()) defaults << b->objectName();
    EXPECT_EQ(defaults, QStringList {QString::fromLatin1(row.defaultButton)});

    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(world.prompts.errors.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Dialogs, ButtonRow, ::testing::ValuesIn(rows()),
                         [](const auto& p) { return std::string(p.param.dialog); });

TEST(ButtonRow, AddButtonNamesTheButtonAndGivesItItsRole)
{
    QDialog dialog;
    QDialogButtonBox* row = gui::buttonRow(&dialog, Qt::Vertical);
    EXPECT_EQ(row->orientation(), Qt::Vertical);
    QPushButton* save = gui::addButton(row, "spbSave", "&Save", QDialogButtonBox::ActionRole);
    QPushButton* cancel = gui::addButton(row, "spbCancel", "&Cancel", QDialogButtonBox::RejectRole);
    EXPECT_EQ(save->objectName(), "spbSave");
    EXPECT_EQ(save->text(), "&Save");
    EXPECT_EQ(row->buttonRole(save), QDialogButtonBox::ActionRole);
    EXPECT_EQ(row->buttonRole(cancel), QDialogButtonBox::RejectRole);
    int rejected = 0;
    QObject::connect(row, &QDialogButtonBox::rejected, [&rejected] { ++rejected; });
    save->click();
    EXPECT_EQ(rejected, 0);
    cancel->click();
    EXPECT_EQ(rejected, 1);
}
