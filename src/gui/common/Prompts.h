#pragma once

#include "core/ProductInfo.h"
#include "settings/WindowState.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class QWidget;

namespace vextral::gui {

// What the user chose in a save dialog: the file name (empty when cancelled)
// and the 1-based index of the chosen filter entry.
struct SaveChoice {
    QString fileName;
    int filterIndex = 0;
};

// One entry of an open dialog's file type list: the text shown, exactly, and
// the patterns it lets through, as Windows writes them ("*.exe;*.dll"). The
// patterns match names without regard to letter case, and "*.*" matches
// every name, with or without a dot, as on Windows.
struct FileFilter {
    QString text;
    QString patterns;
};

// Every dialog the program opens on the user's behalf goes through here, so
// tests can answer them without a modal box ever blocking.
class Prompts {
public:
    virtual ~Prompts() = default;

    // A folder chosen in the folder browser, or empty when cancelled.
    virtual QString browseFolder(QWidget* parent, const QString& title) = 0;
    // A file chosen in the open dialog, or empty when cancelled. The first
    // filter is the default.
    virtual QString openFile(QWidget* parent, const QString& title, const QList<FileFilter>& filters) = 0;
    // A save dialog, with no overwrite question. filters are
    // "description(patterns)" entries; the dialog opens on entry filterIndex
    // (1-based). A name typed without an extension gets the extension of the
    // entry shown when the dialog is accepted: defaultSuffix while the
    // preselected entry is shown (it is that entry's extension), otherwise the
    // extension of the chosen entry's first pattern.
    virtual SaveChoice saveFile(QWidget* parent, const QString& title, const QStringList& filters, int filterIndex,
                                const QString& defaultSuffix, const QString& initialName) = 0;
    // A colour chosen in the colour dialog, or nothing when cancelled. The
    // dialog opens with the colour it last returned (black the first time).
    virtual std::optional<QColor> chooseColour(QWidget* parent) = 0;
    virtual void information(QWidget* parent, const QString& text) = 0;
    virtual void error(QWidget* parent, const QString& text) = 0;
    // A password typed into a masked field under text, or nothing when
    // cancelled. Prompts that cannot ask answer nothing.
    virtual std::optional<QString> password(QWidget* parent, const QString& text)
    {
        (void)parent;
        (void)text;
        return std::nullopt;
    }

    // The folder each of the program's choosers opens in: the one it used
    // last (empty: none yet), kept between sessions by the main window. The
    // functions of Choosers.h read and update it.
    std::array<QString, settings::kChooserCount> chooserFolders;
    // The next folder browser, open or save dialog opens in folder when it is
    // one (empty: where it would anyway).
    virtual void startNextIn(const QString& folder) { (void)folder; }
};

// The real dialogs. The folder browser and the open dialog start in the
// folder they are told to start in, else the one used last in this session,
// and in the user's home folder before that (never in the program's working
// folder); so does the save dialog, unless its initial name holds a folder.
// Message boxes wrap long texts, file names included, to stay within the
// screen.
class QtPrompts final : public Prompts {
public:
    QString browseFolder(QWidget* parent, const QString& title) override;
    QString openFile(QWidget* parent, const QString& title, const QList<FileFilter>& filters) override;
    SaveChoice saveFile(QWidget* parent, const QString& title, const QStringList& filters, int filterIndex,
                        const QString& defaultSuffix, const QString& initialName) override;
    std::optional<QColor> chooseColour(QWidget* parent) override;
    void information(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    std::optional<QString> password(QWidget* parent, const QString& text) override;
    void startNextIn(const QString& folder) override { nextFolder_ = folder; }

private:
    // Where the dialog opening now starts; the folder it was told of counts once.
    QString startFolder();

    QString nextFolder_;
    QString lastFolder_;
    QColor lastColour_ = Qt::black;
};

// The title of every message box and of the application.
inline QString applicationTitle() { return QStringLiteral("Vextral ") + QString::fromLatin1(product::kVersion); }

// Error texts end with a full stop in the error box.
QString errorBoxText(const QString& message);

// text with a break opportunity (an invisible zero-width space) after every
// "/" and within every run of more than 30 characters that has none (no
// space or "-"), so a message box can wrap a long path or file name instead
// of cutting it off.
QString breakableText(const QString& text);

// Windows patterns ("*.exe;*.*") as the patterns of a Qt name filter that
// match the same names on Linux: each letter without regard to case
// ("*.[eE][xX][eE]"), and "*.*" as "*".
QString caseFreePatterns(const QString& windowsPatterns);

// The extension of a filter entry's first pattern: "jpg" for "Jpg File(*.jpg)";
// empty when the first pattern names no extension ("*", "*.*").
QString filterExtension(const QString& filterEntry);

} // namespace vextral::gui
