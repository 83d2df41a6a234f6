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
    // A save dialog: filters are "description (patterns)" entries;
    // defaultSuffix is appended to a name typed without one; no overwrite question.
    virtual SaveChoice saveFile(QWidget* parent, const QString& title, const QStringList& filters,
                                const QString& defaultSuffix, const QString& initialName) = 0;
    virtual void information(QWidget* parent, const QString& text) = 0;
    virtual void error(QWidget* parent, const QString& text) = 0;
};

// The real dialogs.
class QtPrompts final : public Prompts {
public:
    QString browseFolder(QWidget* parent, const QString& title) override;
    QString openFile(QWidget* parent, const QString& title, const QStringList& filters) override;
    SaveChoice saveFile(QWidget* parent, const QString& title, const QStringList& filters, const QString& defaultSuffix,
                        const QString& initialName) override;
    void information(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
};

// The title of every message box and of the application.
inline QString applicationTitle() { return QStringLiteral("Vextral 2.1"); }

// Error texts end with a full stop in the error box.
QString errorBoxText(const QString& message);

} // namespace vextral::gui
