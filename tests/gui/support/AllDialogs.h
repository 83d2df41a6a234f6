#pragma once

// Every dialog of the main window, opened as a user opens it: from its menu
// item, once an icon is harvested and selected.
#include "gui/support/DialogDesktop.h"

#include <QAction>
#include <QDialog>

#include <functional>

namespace vextral::test {

// The menu items that open a dialog, with the dialog's object name.
struct DialogItem {
    const char* menuItem;
    const char* dialog;
};

inline constexpr DialogItem kDialogItems[] = {
    {"menuSaveall", "FormSaveAll"}, {"menuPrint", "FormPrint"},     {"menuEdit", "FormEdit"},
    {"menuOptions", "FormOption"},  {"menuWebPage", "FormWebPage"}, {"menuConvert", "FormConvert"},
    {"menuFriend", "FormFriend"},   {"menuCapture", "FormCapture"}, {"menuCheck", "FormCheck"},
    {"menuAbout", "AboutBox"},
};

// Opens each dialog in turn over desk's window (which has harvested file
// and selected its first icon), hands it to look and closes it.
inline void forEachDialog(Desktop& desk, const std::function<void(QDialog&)>& look)
{
    for (const DialogItem& item : kDialogItems) {
        desk.window.findChild<QAction*>(QLatin1String(item.menuItem))->trigger();
        auto* dialog = desk.window.findChild<QDialog*>(QLatin1String(item.dialog));
        EXPECT_TRUE(dialog) << item.dialog;
        if (!dialog) continue;
        SCOPED_TRACE(item.dialog);
        look(*dialog);
        dialog->close();
        delete dialog;
        desk.settle();
    }
}

} // namespace vextral::test
