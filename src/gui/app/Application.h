#pragma once

#include <QApplication>

namespace vextral::gui {

class Prompts;

// The application object. An error that no command caught ends that command
// and is shown in an error box titled applicationTitle(); the program goes on.
class Application final : public QApplication {
public:
    Application(int& argc, char** argv, Prompts& prompts);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Prompts& prompts_;
};

// Names the running application "Vextral". It gets no display name: Qt would
// add that to the caption of every window whose caption does not end in it
// ("About Vextral — Vextral <version>"), and each window's caption is already the
// program's own text.
void nameApplication();

} // namespace vextral::gui
