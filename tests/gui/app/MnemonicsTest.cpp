// Alt+letter reaches every command: each item of a menu, each button and each
// labelled field of a dialog has a mnemonic of its own, so that one press
// acts at once rather than cycling between the items that share the letter.
#include "gui/support/AllDialogs.h"
#include "gui/support/DialogDesktop.h"
#include "gui/support/Widgets.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>

#include <gtest/gtest.h>

#include <map>

namespace {

using vextral::test::Desktop;

// The letter that Alt takes in a caption ("&&" is a plain "&"); none when
// the caption has no mnemonic.
QChar mnemonicOf(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toUpper();
    }
    return {};
}

// Every caption has a mnemonic and no two share one.
void expectOwnMnemonics(const QString& where, const QStringList& captions)
{
    std::map<QChar, QString> taken;
    for (const QString& caption : captions) {
        const QChar key = mnemonicOf(caption);
        EXPECT_FALSE(key.isNull()) << where.toStdString() << ": \"" << caption.toStdString() << "\" has no mnemonic";
        if (key.isNull()) continue;
        const auto [at, fresh] = taken.emplace(key, caption);
        EXPECT_TRUE(fresh) << where.toStdString() << ": \"" << caption.toStdString() << "\" and \""
                           << at->second.toStdString() << "\" share Alt+" << QString(key).toStdString();
    }
}

void expectMenu(const QString& where, const QMenu& menu)
{
    QStringList captions;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator() || action->text().isEmpty()) continue;
        captions << action->text();
        if (action->menu()) expectMenu(where + QStringLiteral(" > ") + action->text(), *action->menu());
    }
    expectOwnMnemonics(where, captions);
}

// The page of a stack (a tab) that holds w in dialog; none when w is always shown.
QWidget* pageOf(QWidget* w, const QWidget& dialog)
{
    QWidget* page = nullptr;
    for (QWidget* p = w; p && p != &dialog; p = p->parentWidget()) {
        if (qobject_cast<QStackedWidget*>(p->parentWidget())) page = p;
    }
    return page;
}

// Hidden for good (not merely on a page that is not in front).
bool hiddenForGood(QWidget* w, const QWidget& dialog)
{
    for (QWidget* p = w; p && p != &dialog; p = p->parentWidget()) {
        if (p->isHidden() && !qobject_cast<QStackedWidget*>(p->parentWidget())) return true;
    }
    return false;
}

// The captions that can be on show together are those outside every page
// and those of one page: each such set has its own mnemonics.
void expectDialog(QDialog& dialog)
{
    std::map<QWidget*, QStringList> byPage;
    const auto add = [&](QWidget* w, const QString& caption) {
        if (caption.isEmpty() || hiddenForGood(w, dialog)) return;
        byPage[pageOf(w, dialog)] << caption;
    };
    for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) add(b, b->text());
    for (QLabel* l : dialog.findChildren<QLabel*>()) {
        if (l->buddy()) add(l, l->text());
    }
    const QString name = dialog.objectName();
    const QStringList always = byPage[nullptr];
    bool paged = false;
    for (const auto& [page, captions] : byPage) {
        if (!page) continue;
        paged = true;
        expectOwnMnemonics(name + QStringLiteral(" / ") + page->objectName(), always + captions);
    }
    if (!paged) expectOwnMnemonics(name, always);
}

TEST(Mnemonics, EveryMenuItemHasALetterOfItsOwn)
{
    Desktop desk;
    QStringList titles;
    for (QAction* menu : desk.window.menuBar()->actions()) {
        titles << menu->text();
        ASSERT_TRUE(menu->menu());
        expectMenu(menu->text(), *menu->menu());
    }
    expectOwnMnemonics(QStringLiteral("menu bar"), titles);
    expectMenu(QStringLiteral("pop-up menu"), *vextral::test::control<QMenu>(&desk.window, "PopupMenu1"));
    // The switches of the source page share the window with the menu bar's letters.
    QStringList window = titles;
    for (const char* name : {"chbDirectory", "chbFile"})
        window << vextral::test::control<QAbstractButton>(&desk.window, name)->text();
    expectOwnMnemonics(QStringLiteral("main window"), window);
}

TEST(Mnemonics, EveryButtonAndLabelledFieldOfEveryDialogHasALetterOfItsOwn)
{
    Desktop desk;
    ASSERT_TRUE(vextral::test::harvestAndSelect(desk.window, vextral::test::qtPath(vextral::test::fixture("tie.ico"))));
    int dialogs = 0;
    vextral::test::forEachDialog(desk, [&](QDialog& dialog) {
        ++dialogs;
        expectDialog(dialog);
    });
    EXPECT_EQ(dialogs, static_cast<int>(std::size(vextral::test::kDialogItems)));
}

} // namespace
