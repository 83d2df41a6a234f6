#include "gui/Application.h"

#include "core/Error.h"
#include "gui/Prompts.h"

namespace vextral::gui {

Application::Application(int& argc, char** argv, Prompts& prompts) : QApplication(argc, argv), prompts_(prompts)
{
    nameApplication();
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
