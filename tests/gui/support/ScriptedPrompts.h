#pragma once

#include "gui/common/Prompts.h"
#include "gui/support/QtPrinting.h"

#include <QStringList>

namespace vextral::test {

// Answers the program's dialogs from a script and records its messages.
class ScriptedPrompts final : public gui::Prompts {
public:
    QStringList folderAnswers;
    QStringList fileAnswers;
    QStringList informations;
    QStringList errors;
    QStringList fileFilters;            // the save dialog's
    QList<gui::FileFilter> openFilters; // the open dialog's
    QList<gui::SaveChoice> saveAnswers;
    QList<int> saveFilterIndexes; // the filter entry each save dialog opened on (1-based)
    QStringList saveSuffixes;     // the default suffix each save dialog proposed
    QStringList saveInitialNames;
    QList<std::optional<QColor>> colourAnswers; // nothing: cancelled
    int colourPrompts = 0;
    QList<std::optional<QString>> passwordAnswers; // nothing: cancelled
    QStringList passwordTexts;
    QStringList startFolders; // the folder each chooser was told to open in (empty: none)

    QString browseFolder(QWidget*, const QString&) override
    {
        return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
    }
    QString openFile(QWidget*, const QString&, const QList<gui::FileFilter>& filters) override
    {
        openFilters = filters;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    gui::SaveChoice saveFile(QWidget*, const QString&, const QStringList& filters, int filterIndex,
                             const QString& defaultSuffix, const QString& initialName) override
    {
        fileFilters = filters;
        saveFilterIndexes << filterIndex;
        saveSuffixes << defaultSuffix;
        saveInitialNames << initialName;
        return saveAnswers.isEmpty() ? gui::SaveChoice {} : saveAnswers.takeFirst();
    }
    std::optional<QColor> chooseColour(QWidget*) override
    {
        ++colourPrompts;
        return colourAnswers.isEmpty() ? std::nullopt : colourAnswers.takeFirst();
    }
    void information(QWidget*, const QString& text) override { informations << text; }
    void error(QWidget*, const QString& text) override { errors << text; }
    void startNextIn(const QString& folder) override { startFolders << folder; }
    std::optional<QString> password(QWidget*, const QString& text) override
    {
        passwordTexts << text;
        return passwordAnswers.isEmpty() ? std::nullopt : passwordAnswers.takeFirst();
    }
};

} // namespace vextral::test
