#include "gui/commands/SaveCommands.h"

#include "codecs/ImageBuffer.h"
#include "core/Error.h"
#include "core/OutputNames.h"
#include "export/EachImage.h"
#include "export/IconFile.h"
#include "gui/app/MainView.h"
#include "gui/common/Choosers.h"
#include "gui/common/DialogHost.h"
#include "gui/common/Prompts.h"
#include "gui/common/SavePicture.h"
#include "gui/convert/ConvertDialog.h"
#include "gui/print/PrintDialog.h"
#include "gui/saveall/SaveAllDialog.h"
#include "gui/webpage/WebPageDialog.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QFile>
#include <QScreen>
#include <QWidget>

namespace vextral::gui {

namespace {

// Shows a dialog of the window through its dialog host, centred on the screen.
void showCentred(MainView& view, QDialog* dialog)
{
    dialog->adjustSize();
    if (const QScreen* screen = view.windowWidget()->screen())
        dialog->move(screen->availableGeometry().center() - dialog->rect().center());
    view.dialogs().show(dialog);
}

// What the range choices "Selected icons" and "Shown icons" read: the
// window's selection and list as they are when a run starts.
IconPositions viewPositions(MainView& view)
{
    return {[&view] { return view.selectedPositions(); }, [&view] { return view.shownPositions(); }};
}

} // namespace

void SaveCommands::saveSelectedIcon()
{
    const IconCatalogue& catalogue = view_.catalogue();
    // Several icons go through Save all, with "Selected icons" chosen.
    if (view_.selectedPositions().size() > 1) {
        saveAll();
        return;
    }
    const int i = view_.selectedIndex();
    if (i < 0 || i >= catalogue.itemCount()) {
        view_.prompts().information(view_.windowWidget(), QStringLiteral("Please select an icon to save."));
        return;
    }
    const auto choice = view_.savePicture().ask(view_.windowWidget(), codecs::SaveDialogUser::MainWindow);
    if (!choice) return;
    // The icon at 32 x 32 over the settings' background.
    codecs::ImageBuffer& picture = view_.imgIcon();
    picture.setBackground(view_.settings().background);
    picture.setKeepTransparency(view_.settings().transparent);
    picture.drawIcon(catalogue.image(i));
    picture.params().jpegQuality = view_.settings().jpegQuality;
    try {
        exporting::writeCatalogueIcon(catalogue, i, picture, choice->target,
                                      QFile::encodeName(choice->fileName).toStdString());
    } catch (const Error& e) {
        view_.prompts().error(view_.windowWidget(), QString::fromStdString(e.what()));
    }
}

void SaveCommands::saveAll()
{
    auto* dialog =
        new SaveAllDialog(view_.catalogue(), view_.settings().jpegQuality, view_.prompts(), view_.windowWidget());
    dialog->bestImage = view_.settings().bestImage;
    dialog->transparent = view_.settings().transparent;
    dialog->setIconPositions(viewPositions(view_));
    showCentred(view_, dialog);
}

void SaveCommands::saveEachImage()
{
    const IconCatalogue& catalogue = view_.catalogue();
    std::vector<int> chosen;
    for (const int i : view_.selectedPositions()) {
        if (i >= 0 && i < catalogue.itemCount()) chosen.push_back(i);
    }
    if (chosen.empty()) {
        view_.prompts().information(view_.windowWidget(), QStringLiteral("Please select an icon to save."));
        return;
    }
    const QString folder = chooseFolder(view_.prompts(), settings::Chooser::SaveAll, view_.windowWidget(),
                                        QStringLiteral("Save each image in"));
    if (folder.isEmpty()) return;
    exporting::EachImageCounts counts;
    try {
        OutputNames names;
        // No harvested file is written over, whichever icons are saved.
        for (int k = 0; k < catalogue.itemCount(); ++k) names.addInput(catalogue.record(k).sourceFile);
        for (const int i : chosen)
            exporting::writeCatalogueEachImage(catalogue, i, QFile::encodeName(folder).toStdString(), names, counts);
    } catch (const Error& e) {
        view_.prompts().error(view_.windowWidget(), QString::fromStdString(e.what()));
        return;
    }
    QString text = QStringLiteral("Wrote %1 %2 to %3.")
                       .arg(counts.written)
                       .arg(counts.written == 1 ? QStringLiteral("image") : QStringLiteral("images"), folder);
    if (counts.unreadable > 0) text += QStringLiteral(" %1 could not be read.").arg(counts.unreadable);
    view_.prompts().information(view_.windowWidget(), text);
}

void SaveCommands::createWebPage()
{
    auto* dialog = new WebPageDialog(view_.catalogue(), view_.settings(), view_.prompts(), view_.windowWidget());
    dialog->setIconPositions(viewPositions(view_));
    showCentred(view_, dialog);
}

void SaveCommands::openConverter()
{
    showCentred(view_, new ConvertDialog(view_.savePicture(), view_.settings(), view_.prompts(), view_.windowWidget()));
}

void SaveCommands::printIcons()
{
    if (view_.catalogue().itemCount() == 0) {
        view_.prompts().information(view_.windowWidget(), QStringLiteral("No icon."));
        return;
    }
    auto* dialog = new PrintDialog(view_.catalogue(), view_.prompts(), view_.windowWidget());
    dialog->bestImage = view_.settings().bestImage;
    dialog->setIconPositions(viewPositions(view_));
    showCentred(view_, dialog);
}

} // namespace vextral::gui
