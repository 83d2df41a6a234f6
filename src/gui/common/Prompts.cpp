#include "gui/common/Prompts.h"

#include "gui/common/TitleWidth.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <utility>

namespace vextral::gui {

namespace {

// Longest run of characters without a break opportunity that a message box is given.
constexpr int kLongestUnbrokenRun = 30;
const QChar kZeroWidthSpace(0x200B);

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, applicationTitle(), breakableText(text), QMessageBox::Ok, parent);
    // A file name is never taken for markup.
    box.setTextFormat(Qt::PlainText);
    // A short text ("No icon.") would leave the box too narrow for its title.
    fitTitle(box);
    box.exec();
}

} // namespace

QString errorBoxText(const QString& message)
{
    return message.endsWith(QLatin1Char('.')) ? message : message + QLatin1Char('.');
}

QString breakableText(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    int run = 0;
    for (const QChar c : text) {
        out += c;
        if (c.isSpace() || c == QLatin1Char('-')) {
            run = 0; // a line may break after these already
        } else if (c == QLatin1Char('/') || ++run >= kLongestUnbrokenRun) {
            out += kZeroWidthSpace;
            run = 0;
        }
    }
    return out;
}

QString caseFreePatterns(const QString& windowsPatterns)
{
    QStringList out;
    for (const QString& pattern : windowsPatterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (pattern == QLatin1String("*.*")) {
            out << QStringLiteral("*");
            continue;
        }
        QString caseFree;
        for (const QChar c : pattern) {
            const QChar lower = c.toLower();
            const QChar upper = c.toUpper();
            if (lower == upper) {
                caseFree += c;
            } else {
                caseFree += QLatin1Char('[') + lower + upper + QLatin1Char(']');
            }
        }
        out << caseFree;
    }
    return out.join(QLatin1Char(' '));
}

QString QtPrompts::startFolder()
{
    QString told = std::exchange(nextFolder_, QString());
    if (!told.isEmpty() && QFileInfo(told).isDir()) return told;
    return !lastFolder_.isEmpty() && QFileInfo(lastFolder_).isDir() ? lastFolder_ : QDir::homePath();
}

QString QtPrompts::browseFolder(QWidget* parent, const QString& title)
{
    QString folder = QFileDialog::getExistingDirectory(parent, title, startFolder(), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) lastFolder_ = folder;
    return folder;
}

QString QtPrompts::openFile(QWidget* parent, const QString& title, const QList<FileFilter>& filters)
{
    QFileDialog dialog(parent, title, startFolder());
    // Qt's own dialog, so that the file type list shows each text as it is:
    // with HideNameFilterDetails the list shows an entry without its final
    // "(patterns)", which carries the patterns the entry really matches.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList entries;
    for (const FileFilter& f : filters) entries << f.text + QStringLiteral(" (") + caseFreePatterns(f.patterns) + u')';
    dialog.setNameFilters(entries);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    QString file = dialog.selectedFiles().first();
    lastFolder_ = QFileInfo(file).absolutePath();
    return file;
}

QString filterExtension(const QString& filterEntry)
{
    const qsizetype open = filterEntry.lastIndexOf(QLatin1Char('('));
    const qsizetype close = filterEntry.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open) return {};
    const QString patterns = filterEntry.mid(open + 1, close - open - 1);
    const QString first = patterns.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    if (!first.startsWith(QLatin1String("*."))) return {};
    const QString extension = first.mid(2);
    const bool wild = extension.contains(QLatin1Char('*')) || extension.contains(QLatin1Char('?')) ||
                      extension.contains(QLatin1Char('['));
    return wild ? QString() : extension;
}

SaveChoice QtPrompts::saveFile(QWidget* parent, const QString& title, const QStringList& filters, int filterIndex,
                               const QString& defaultSuffix, const QString& initialName)
{
    QFileDialog dialog(parent, title);
    // A name with a folder (the one saved last) opens in that folder.
    const QString start = startFolder();
    if (!initialName.contains(QLatin1Char('/'))) dialog.setDirectory(start);
    // Qt's own dialog on every desktop: a desktop's native one may ignore the
    // default suffix or not report filter changes.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size()) dialog.selectNameFilter(filters[filterIndex - 1]);
    dialog.setDefaultSuffix(defaultSuffix);
    // The suffix added to a name typed without one is always the shown entry's.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) { dialog.setDefaultSuffix(filterExtension(filter)); });
    // The name last, so that selecting the entry does not rewrite its extension.
    if (!initialName.isEmpty()) dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return {dialog.selectedFiles().first(), static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1};
}

std::optional<QColor> QtPrompts::chooseColour(QWidget* parent)
{
    QColorDialog dialog(lastColour_, parent);
    // Qt's own dialog on every desktop, as the file dialogs.
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    lastColour_ = dialog.selectedColor();
    return lastColour_;
}

void QtPrompts::information(QWidget* parent, const QString& text)
{
    showMessage(parent, QMessageBox::Information, text);
}

void QtPrompts::error(QWidget* parent, const QString& text)
{
    showMessage(parent, QMessageBox::Critical, errorBoxText(text));
}

std::optional<QString> QtPrompts::password(QWidget* parent, const QString& text)
{
    bool ok = false;
    const QString typed = QInputDialog::getText(parent, applicationTitle(), text, QLineEdit::Password, QString(), &ok);
    if (!ok) return std::nullopt;
    return typed;
}

} // namespace vextral::gui
