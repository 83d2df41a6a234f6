#pragma once

// What the tests of the main window's dialogs share: a main window to open
// them from (and, through Widgets.h, their controls found by name).
#include "TestSupport.h"
#include "gui/app/MainWindow.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>

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

} // namespace vextral::test
