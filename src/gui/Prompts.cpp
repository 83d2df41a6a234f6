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

SaveChoice QtPrompts::saveFile(QWidget* parent, const QString& title, const QStringList& filters,
                               const QString& defaultSuffix, const QString& initialName)
{
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(defaultSuffix);
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
