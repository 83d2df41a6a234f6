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

void QtPrompts::information(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, applicationTitle(), text, QMessageBox::Ok);
}

void QtPrompts::error(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, applicationTitle(), errorBoxText(text), QMessageBox::Ok);
}

} // namespace vextral::gui
