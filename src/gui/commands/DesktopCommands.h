#pragma once

#include <QStringList>

namespace vextral::gui {

class MainView;

// The commands that hand the selected icon, or the program, to the desktop:
// the clipboard, the wallpaper, the external editor, the user guide, the home
// page and a mail to the author.
class DesktopCommands {
public:
    explicit DesktopCommands(MainView& view) : view_(view) {}

    void copyToClipboard();
    void wallpaperCentred();
    void wallpaperTiled();
    void wallpaperStretched();
    void runEditor();
    void openHelp();
    void openHomepage();
    void mailAuthor();

private:
    MainView& view_;
};

// Where the user guide may be for a program in programFolder, in the order
// looked at: installed with the program (<prefix>/share/vextral/help for a
// program in <prefix>/bin), then in the source tree the program was built
// from (a program run from its build folder).
QStringList userGuidePlaces(const QString& programFolder);
// Opens the first of places that exists in the desktop's browser; an error
// box naming the places when none does.
void openUserGuide(MainView& view, const QStringList& places);

} // namespace vextral::gui
