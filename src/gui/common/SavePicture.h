#pragma once

#include "codecs/OutputFormats.h"

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace vextral::gui {

class Prompts;

// The one save-picture dialog that every window saving a picture shares (the
// main window's Save, and the editor, converter and capture windows). It
// offers the engine's nine filter entries and remembers, across uses and
// users, the entry chosen last, its extension and the last name, so it
// reopens where the user left it; the extension added to a name typed without
// one is always that of the entry shown.
class SavePicture {
public:
    // What the user chose: the file name and what the chosen entry writes.
    struct Choice {
        QString fileName;
        codecs::SaveFilterChoice target;
    };

    explicit SavePicture(Prompts& prompts);

    // Runs the dialog for user. Nothing when it is cancelled or reports an
    // entry outside the table; a confirmed name is remembered in any case.
    std::optional<Choice> ask(QWidget* parent, codecs::SaveDialogUser user);

    const QStringList& filters() const { return filters_; }
    const QString& defaultExtension() const { return defaultExtension_; }
    const QString& lastName() const { return lastName_; }
    int filterIndex() const { return filterIndex_; }

private:
    Prompts& prompts_;
    QStringList filters_;
    QString defaultExtension_ = QStringLiteral("bmp");
    QString lastName_;
    int filterIndex_ = 1; // 1-based, as the dialog reports it
};

} // namespace vextral::gui
