#pragma once

// What the tests of the main window's dialogs share: a main window to open
// them from (and, through Widgets.h, their controls found by name).
#include "TestSupport.h"
#include "gui/app/MainWindow.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QListView>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace vextral::test {

// A main window over a program folder of its own, shown as a user sees it.
struct Desktop {
    ScriptedPrompts prompts;
    TempDir home;
    gui::MainWindow window {prompts, home.path().string()};

    Desktop() { window.show(); }
    // Triggers the menu item and returns the dialog it opened.
    template <typename Dialog>
    Dialog* open(const char* menuItem)
    {
        window.findChild<QAction*>(QLatin1String(menuItem))->trigger();
        return window.findChild<Dialog*>();
    }
    // Dialogs closed are deleted when control returns to the event loop.
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

// Drops file on the window, waits for the start-up timer's harvest and
// selects its first icon; false when no icon came.
inline bool harvestAndSelect(gui::MainWindow& w, const QString& file)
{
    w.addDroppedNames({file});
    if (!waitUntil([&] { return w.catalogue().itemCount() != 0; })) return false;
    auto* view = w.findChild<QListView*>(QStringLiteral("ListIcon"));
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    return true;
}

} // namespace vextral::test
