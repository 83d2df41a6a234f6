#include "gui/Prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace vextral::gui {

QString errorBoxText(const QString& message)
{
    return message.endsWith(QLatin1Char('.')) ? message : message + QLatin1Char('.');
}

QString QtPrompts::browseFolder(QWidget* parent, const QString& title)
{
    return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
}

QString QtPrompts::openFile(QWidget* parent, const QString& title, const QStringList& filters)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filters.join(QStringLiteral(";;")));
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

void QtPrompts::information(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, applicationTitle(), text, QMessageBox::Ok);
}

void QtPrompts::error(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, applicationTitle(), errorBoxText(text), QMessageBox::Ok);
}

} // namespace vextral::gui
