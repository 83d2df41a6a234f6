#pragma once

#include <QString>
#include <QStringList>

class QUrl;
class QWidget;

namespace vextral::gui {

class Prompts;

// Hands a file or an address to a program of the desktop (xdg-open, or the
// editor the user named) and returns at once. When the program cannot be
// started, or ends with a failure soon after it started (xdg-open finds no
// application, the file is gone), an error box over window says so:
// "<failure>: <reason>", the reason being the program's own last words on
// standard error, or its exit status. A program that runs on, such as a
// browser, is left alone, even after Vextral ends.
void handOff(QWidget* window, Prompts& prompts, const QString& program, const QStringList& arguments,
             const QString& failure);

// How many hand-offs have started and not yet ended (their program still
// runs, or its end is not yet handled).
int handOffsUnderWay();

// Opens an address or a file with the desktop's application for it.
void openWithDesktop(QWidget* window, Prompts& prompts, const QUrl& url);

} // namespace vextral::gui
