#pragma once

#include <QApplication>

namespace vextral::gui {

class Prompts;

// The application object. An error that no command caught ends that command
// and is shown in an error box titled "Vextral 2.1"; the program goes on.
class Application final : public QApplication {
public:
    Application(int& argc, char** argv, Prompts& prompts);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Prompts& prompts_;
};

} // namespace vextral::gui
