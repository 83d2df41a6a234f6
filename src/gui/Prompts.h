#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vextral::gui {

// What the user chose in a save dialog: the file name (empty when cancelled)
// and the 1-based index of the chosen filter entry.
struct SaveChoice {
    QString fileName;
    int filterIndex = 0;
};

// Every dialog the program opens on the user's behalf goes through here, so
// tests can answer them without a modal box ever blocking.
class Prompts {
public:
    virtual ~Prompts() = default;

    // A folder chosen in the folder browser, or empty when cancelled.
    virtual QString browseFolder(QWidget* parent, const QString& title) = 0;
    // A file chosen in the open dialog, or empty when cancelled. filters are
    // "description (patterns)" entries; the first is the default.
    virtual QString openFile(QWidget* parent, const QString& title, const QStringList& filters) = 0;
    // A save dialog, with no overwrite question. filters are
    // "description(patterns)" entries; the dialog opens on entry filterIndex
    // (1-based). A name typed without an extension gets the extension of the
    // entry shown when the dialog is accepted: defaultSuffix while the
    // preselected entry is shown (it is that entry's extension), otherwise the
    // extension of the chosen entry's first pattern.
    virtual SaveChoice saveFile(QWidget* parent, const QString& title, const QStringList& filters, int filterIndex,
                                const QString& defaultSuffix, const QString& initialName) = 0;
    virtual void information(QWidget* parent, const QString& text) = 0;
    virtual void error(QWidget* parent, const QString& text) = 0;
};

// The real dialogs.
class QtPrompts final : public Prompts {
public:
    QString browseFolder(QWidget* parent, const QString& title) override;
    QString openFile(QWidget* parent, const QString& title, const QStringList& filters) override;
    SaveChoice saveFile(QWidget* parent, const QString& title, const QStringList& filters, int filterIndex,
                        const QString& defaultSuffix, const QString& initialName) override;
    void information(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
};

// The title of every message box and of the application.
inline QString applicationTitle() { return QStringLiteral("Vextral 2.1"); }

// Error texts end with a full stop in the error box.
QString errorBoxText(const QString& message);

// The extension of a filter entry's first pattern: "jpg" for "Jpg File(*.jpg)";
// empty when the first pattern names no extension ("*", "*.*").
QString filterExtension(const QString& filterEntry);

} // namespace vextral::gui
