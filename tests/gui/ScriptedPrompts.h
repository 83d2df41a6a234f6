#pragma once

#include "gui/Prompts.h"

#include <QStringList>

namespace vextral::test {

// Answers the program's dialogs from a script and records its messages.
class ScriptedPrompts final : public gui::Prompts {
public:
    QStringList folderAnswers;
    QStringList fileAnswers;
    QStringList informations;
    QStringList errors;
    QStringList fileFilters;

    QString browseFolder(QWidget*, const QString&) override { return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst(); }
    QString openFile(QWidget*, const QString&, const QStringList& filters) override
    {
        fileFilters = filters;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    void information(QWidget*, const QString& text) override { informations << text; }
    void error(QWidget*, const QString& text) override { errors << text; }
};

} // namespace vextral::test
