#include "gui/app/Application.h"

#include "core/Error.h"
#include "gui/app/ProgramIcon.h"
#include "gui/common/Prompts.h"

#include <QIcon>
#include <QPixmap>

namespace vextral::gui {

Application::Application(int& argc, char** argv, Prompts& prompts) : QApplication(argc, argv), prompts_(prompts)
{
    nameApplication();
    // The menu entry's name ties the windows to that entry and its icon; the
    // same icon is drawn for the window where no icon theme provides it.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.vextral.Vextral"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(programIcon(size)));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("vextral"), icon));
}

void nameApplication() { QCoreApplication::setApplicationName(QStringLiteral("Vextral")); }

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        prompts_.error(activeWindow(), QString::fromUtf8(e.what()));
    }
    return false;
}

} // namespace vextral::gui
