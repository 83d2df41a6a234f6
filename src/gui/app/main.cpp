#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/common/Prompts.h"
#include "platform/ProgramFolder.h"

int main(int argc, char** argv)
{
    vextral::gui::QtPrompts prompts;
    vextral::gui::Application app(argc, argv, prompts);
    vextral::gui::MainWindow window(prompts, vextral::platform::programFolder());
    // Arguments are taken as a drop onto the window; the start-up timer then harvests them.
    QStringList names = QApplication::arguments();
    names.removeFirst();
    window.addDroppedNames(names);
    window.show();
    return QApplication::exec();
}
