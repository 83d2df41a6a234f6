#include "core/ProductInfo.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/common/Prompts.h"
#include "platform/ProgramFolder.h"

#include <cstring>
#include <iostream>

namespace {

constexpr const char* kUsage = "Usage: vextral [FILE | FOLDER]...\n"
                               "Opens Vextral and harvests the icons of every file and folder named.\n"
                               "\n"
                               "  -h, --help     show this help and exit\n"
                               "      --version  show the version and exit\n";

// --help and --version, as the only argument, are answered before any window
// system is asked for, so they work on a console without a display. Anything
// else is a name to harvest.
bool answerProgramOption(int argc, char** argv, int& status)
{
    if (argc != 2) return false;
    const char* option = argv[1];
    if (std::strcmp(option, "--version") == 0) {
        std::cout << "vextral " << vextral::product::kVersion << "\n";
    } else if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
        std::cout << kUsage;
    } else {
        return false;
    }
    std::cout.flush();
    status = std::cout ? 0 : 1;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (int status = 0; answerProgramOption(argc, argv, status)) return status;
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
