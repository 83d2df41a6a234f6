// The options dialog, opened from the main window as a user opens it: its
// pages and controls, what OK writes to Option.ini and what the main window
// then does with it, and what Cancel and bad values leave alone.
#include "gui/options/OptionsDesktop.h"

using namespace vextral::test::options;

TEST(OptionsDialog, OpensFromTheMenuAndTheToolbarAndGoesWhenClosed)
{
    Desktop desk;
    for (const char* how : {"cancel", "close box", "ok"}) {
        OptionsDialog* d = nullptr;
        if (std::string(how) == "close box") {
            desk.window.findChild<QToolButton*>(QStringLiteral("tbtTile"))->click(); // the "Options" button
            d = desk.window.findChild<OptionsDialog*>();
        } else {
            d = desk.open();
        }
        ASSERT_TRUE(d) << how;
        EXPECT_TRUE(d->isVisible());
        EXPECT_FALSE(desk.window.isEnabled());
        EXPECT_TRUE(d->isEnabled());
        EXPECT_EQ(d->objectName(), "FormOption");
        EXPECT_EQ(d->windowTitle(), "Options");
        // A fixed border, at the designed size at the least, centred on the screen.
        EXPECT_EQ(d->minimumSize(), d->maximumSize());
        EXPECT_GE(d->width(), 408);
        EXPECT_GE(d->height(), 359);
        EXPECT_LE((d->geometry().center() - d->screen()->availableGeometry().center()).manhattanLength(), 8);

        if (std::string(how) == "cancel") click(d, "SpeedButton2");
        if (std::string(how) == "close box") d->close();
        if (std::string(how) == "ok") click(d, "SpeedButton1");
        EXPECT_TRUE(desk.window.isEnabled()) << how;
        desk.settle();
        EXPECT_FALSE(desk.window.findChild<OptionsDialog*>()) << how;
        // Only OK writes: then the file holds the three sections.
        EXPECT_EQ(fs::exists(desk.ini()), std::string(how) == "ok") << how;
    }
    EXPECT_TRUE(desk.prompts.errors.isEmpty());
    EXPECT_TRUE(desk.prompts.informations.isEmpty());
    EXPECT_EQ(desk.stored("Icon", "Jpeg"), "86");
    EXPECT_EQ(desk.stored("Internet", "Connection"), "20");
}

TEST(OptionsDialog, ShowsEveryControlWithItsCaptionAndStartValue)
{
    Desktop desk; // no Option.ini
    OptionsDialog* d = desk.open();
    auto* pages = control<QTabWidget>(d, "pctOption");
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), "Icon");
    EXPECT_EQ(pages->tabText(1), "Search");
    EXPECT_EQ(pages->tabText(2), "Internet Settings");
    EXPECT_EQ(pages->widget(0)->objectName(), "TabSheet1");
    EXPECT_EQ(pages->widget(1)->objectName(), "TabSheet2");
    EXPECT_EQ(pages->widget(2)->objectName(), "TabSheet3");
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(control<QPushButton>(d, "SpeedButton1")->text(), "&OK");
    EXPECT_EQ(control<QPushButton>(d, "SpeedButton2")->text(), "&Cancel");

    // Icon: the program's own texts, spelt right.
    const QStringList shown = texts(d);
    for (const char* text :
         {"Picture background color", "Icon Editor", "&Path:", "&Jpeg quality", "Best compression", "Best quality",
          "Look for", "Icon quantity", "File quantity", "Email", "&SMTP Server:", "Reply to A&ddress:", "Proxy Server",
          "&Proxy Server:", "Por&t:", "Connection T&imeout", "Seconds"}) {
        EXPECT_TRUE(shown.contains(QString::fromLatin1(text))) << text;
    }
    EXPECT_EQ(swatch(d), QColor(Qt::white));
    EXPECT_EQ(control<QPushButton>(d, "SpeedButton4")->text(), "&Select");
    EXPECT_TRUE(control<QToolButton>(d, "SpeedButton3")->text().isEmpty()); // a picture only
    EXPECT_FALSE(control<QToolButton>(d, "SpeedButton3")->icon().isNull());
    EXPECT_EQ(control<QLineEdit>(d, "editDirectory")->text(), "xdg-open");
    auto* track = control<QSlider>(d, "tbrImage");
    EXPECT_EQ(track->minimum(), 0);
    EXPECT_EQ(track->maximum(), 100);
    EXPECT_EQ(track->singleStep(), 1);
    EXPECT_EQ(track->value(), 86);
    EXPECT_EQ(control<QLabel>(d, "labImage")->text(), "86%");

    // Search: the types top to bottom, the nine classic ones checked, .res and .icns not.
    showPage(d, 1);
    const std::pair<const char*, const char*> types[] = {
        {"chbExe", "&Exe File"}, {"chbDll", "&Dll File"}, {"chbCpl", "C&pl File"},        {"chbSrc", "&Scr File"},
        {"chbIcl", "Ic&l File"}, {"chbOcx", "Oc&x File"}, {"chbNil", "&Nil File"},        {"chbIco", "&Ico File"},
        {"chbBmp", "&Bmp File"}, {"chbRes", "&Res File"}, {"chbIcns", "Icns Ima&ge File"}};
    int above = -1;
    for (const auto& [name, caption] : types) {
        auto* box = control<QCheckBox>(d, name);
        EXPECT_EQ(box->text(), caption);
        const std::string boxName = name;
        EXPECT_EQ(box->isChecked(), boxName != "chbRes" && boxName != "chbIcns") << name;
        const int y = box->mapTo(d, QPoint(0, 0)).y();
        EXPECT_GT(y, above) << name;
        above = y;
    }
    EXPECT_EQ(control<QRadioButton>(d, "radioIcon")->text(), "&Automatic");
    EXPECT_EQ(control<QRadioButton>(d, "radioIconNumber")->text(), "&Up to");
    EXPECT_EQ(control<QRadioButton>(d, "radioFile")->text(), "Auto&matic");
    EXPECT_EQ(control<QRadioButton>(d, "radioFileNumber")->text(), "Up &to");
    EXPECT_TRUE(checked(d, "radioIcon") && checked(d, "radioFile"));
    EXPECT_FALSE(checked(d, "radioIconNumber") || checked(d, "radioFileNumber"));
    EXPECT_EQ(control<QLineEdit>(d, "editIcon")->text(), "");
    EXPECT_EQ(control<QLineEdit>(d, "editFile")->text(), "");
    EXPECT_EQ(control<QCheckBox>(d, "chbSubFolders")->text(), "Include sub&folders");
    EXPECT_EQ(control<QCheckBox>(d, "chbRecycle")->text(), "Searc&h recycle bin");
    EXPECT_TRUE(checked(d, "chbSubFolders") && checked(d, "chbRecycle"));

    // Internet Settings.
    showPage(d, 2);
    EXPECT_EQ(control<QCheckBox>(d, "chbProxy")->text(), "&Use proxy");
    EXPECT_FALSE(checked(d, "chbProxy"));
    for (const char* edit : {"editSmtp", "editReply", "editProxy", "editProxyPort"})
        EXPECT_EQ(control<QLineEdit>(d, edit)->text(), "") << edit;
    EXPECT_EQ(control<QLineEdit>(d, "editProxyPort")->placeholderText(), "8080");
    EXPECT_EQ(control<QLineEdit>(d, "editConnection")->text(), "20");

    // Every control lies within the dialog, none cut off by its fixed border.
    for (int page = 0; page < 3; ++page) {
        showPage(d, page);
        for (QWidget* w : pages->widget(page)->findChildren<QWidget*>()) {
            if (!w->isVisible()) continue;
            const QRect r(w->mapTo(d, QPoint(0, 0)), w->size());
            EXPECT_TRUE(d->rect().contains(r)) << w->metaObject()->className() << " " << w->objectName().toStdString();
        }
    }
    delete d;
}

TEST(OptionsDialog, UpTo50WritesTheIconLimitAndTheNextFolderHarvestStopsThere)
{
    Desktop desk;
    // Twenty libraries of four icons each.
    TempDir folder;
    for (int i = 0; i < 20; ++i) fs::copy_file(fixture("icons32.dll"), folder / ("lib" + std::to_string(i) + ".dll"));
    desk.window.addDroppedNames({QString::fromStdString(folder.path().string())});
    desk.window.findChild<QToolButton*>(QStringLiteral("tbtSearch"))->click();
    ASSERT_EQ(desk.window.catalogue().itemCount(), 80);

    OptionsDialog* d = desk.open();
    showPage(d, 1);
    click(d, "radioIconNumber");
    type(d, "editIcon", QStringLiteral("50"));
    click(d, "SpeedButton1");
    EXPECT_TRUE(desk.prompts.errors.isEmpty());
    EXPECT_EQ(desk.stored("File", "Icon"), "0");
    EXPECT_EQ(desk.stored("File", "Icon No"), "1");
    EXPECT_EQ(desk.stored("File", "Icon Number"), "50");
    EXPECT_EQ(desk.stored("File", "File"), "1");
    EXPECT_EQ(desk.stored("File", "File No"), "0");
    EXPECT_EQ(desk.stored("File", "File Number"), std::nullopt);
    // The main window has reloaded its settings.
    EXPECT_TRUE(desk.window.settings().iconLimitOn());
    EXPECT_EQ(desk.window.settings().iconNumber, 50);

    desk.window.findChild<QToolButton*>(QStringLiteral("tbtSearch"))->click();
    EXPECT_EQ(desk.window.catalogue().itemCount(), 50);
    EXPECT_EQ(desk.window.run().limitReached(), HarvestRun::Limit::Icons);

    // The next dialog shows what was stored.
    desk.settle();
    d = desk.open();
    EXPECT_TRUE(checked(d, "radioIconNumber"));
    EXPECT_FALSE(checked(d, "radioIcon"));
    EXPECT_EQ(control<QLineEdit>(d, "editIcon")->text(), "50");
    delete d;
}

TEST(OptionsDialog, UpToInOneGroupSetsTheOtherToAutomatic)
{
    Desktop desk;
    OptionsDialog* d = desk.open();
    showPage(d, 1);
    click(d, "radioIconNumber");
    EXPECT_TRUE(checked(d, "radioIconNumber") && checked(d, "radioFile"));
    EXPECT_FALSE(checked(d, "radioIcon") || checked(d, "radioFileNumber"));
    type(d, "editIcon", QStringLiteral("12"));
    click(d, "radioFileNumber");
    EXPECT_TRUE(checked(d, "radioFileNumber") && checked(d, "radioIcon"));
    EXPECT_FALSE(checked(d, "radioFile") || checked(d, "radioIconNumber"));
    // "Automatic" has no effect on the other group.
    click(d, "radioFile");
    EXPECT_TRUE(checked(d, "radioFile") && checked(d, "radioIcon"));
    click(d, "radioIconNumber");
    click(d, "radioIcon");
    EXPECT_TRUE(checked(d, "radioIcon") && checked(d, "radioFile"));
    EXPECT_EQ(control<QLineEdit>(d, "editIcon")->text(), "12"); // the text stays
    delete d;

    // Loading: the last "Up to" loaded wins, and a limit shows only with its "Up to".
    desk.writeIni("[File]\nIcon=0\nIcon No=1\nIcon Number=50\nFile=0\nFile No=1\n");
    d = desk.open();
    EXPECT_TRUE(checked(d, "radioFileNumber") && checked(d, "radioIcon"));
    EXPECT_FALSE(checked(d, "radioFile") || checked(d, "radioIconNumber"));
    EXPECT_EQ(control<QLineEdit>(d, "editIcon")->text(), "50");
    EXPECT_EQ(control<QLineEdit>(d, "editFile")->text(), "536");
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.stored("File", "File Number"), "536");
    EXPECT_EQ(desk.stored("File", "Icon Number"), std::nullopt);
    EXPECT_EQ(desk.stored("File", "Icon"), "1");
    desk.settle();

    // A file that chooses neither shows neither, and keeps it so.
    desk.writeIni("[File]\nIcon=0\nIcon No=0\n");
    d = desk.open();
    EXPECT_FALSE(checked(d, "radioIcon") || checked(d, "radioIconNumber"));
    EXPECT_TRUE(checked(d, "radioFile"));
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.stored("File", "Icon"), "0");
    EXPECT_EQ(desk.stored("File", "Icon No"), "0");
}

TEST(OptionsDialog, AMissingRecycleKeyShowsCheckedAndConfirmingWritesIt)
{
    Desktop desk;
    desk.writeIni("[File]\nSubFolder=0\n");
    EXPECT_FALSE(desk.window.settings().recycle); // the main window's default
    OptionsDialog* d = desk.open();
    EXPECT_TRUE(checked(d, "chbRecycle"));
    EXPECT_FALSE(checked(d, "chbSubFolders"));
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.stored("File", "Recycle"), "1");
    EXPECT_EQ(desk.stored("File", "SubFolder"), "0");
    EXPECT_TRUE(desk.window.settings().recycle);
}

TEST(OptionsDialog, TheTrackBarAtItsRightEndWrites100)
{
    Desktop desk;
    OptionsDialog* d = desk.open();
    auto* track = control<QSlider>(d, "tbrImage");
    track->setFocus();
    QTest::keyClick(track, Qt::Key_Left);
    EXPECT_EQ(control<QLabel>(d, "labImage")->text(), "85%");
    QTest::keyClick(track, Qt::Key_End);
    EXPECT_EQ(track->value(), 100);
    EXPECT_EQ(control<QLabel>(d, "labImage")->text(), "100%");
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.stored("Icon", "Jpeg"), "100");
    EXPECT_EQ(desk.window.settings().jpegQuality, 100);
}

TEST(OptionsDialog, CancelLeavesTheFileByteForByte)
{
    Desktop desk;
    const std::string before = "\xEF\xBB\xBF; kept as it is\r\n[File]\r\nRecycle = 0\r\nIcon=0\r\nIcon Number=7\r\n"
                               "[Internet]\r\nSmtpIp=mail.example\r\n[Icon]\r\nJpeg=$20\r\n";
    desk.writeIni(before);
    for (const char* how : {"cancel", "close box"}) {
        desk.prompts.colourAnswers = {QColor(Qt::red)};
        desk.prompts.fileAnswers = {QStringLiteral("/usr/bin/gimp")};
        OptionsDialog* d = desk.open();
        click(d, "SpeedButton4");
        click(d, "SpeedButton3");
        QTest::keyClick(control<QSlider>(d, "tbrImage"), Qt::Key_Home);
        showPage(d, 1);
        click(d, "chbExe");
        click(d, "chbRecycle");
        click(d, "radioFileNumber");
        type(d, "editFile", QStringLiteral("3"));
        showPage(d, 2);
        type(d, "editSmtp", QStringLiteral("other.example"));
        click(d, "chbProxy");
        // Every change took.
        EXPECT_EQ(swatch(d), QColor(Qt::red));
        EXPECT_EQ(control<QLineEdit>(d, "editDirectory")->text(), "/usr/bin/gimp");
        EXPECT_EQ(control<QSlider>(d, "tbrImage")->value(), 0);
        EXPECT_FALSE(checked(d, "chbExe"));
        EXPECT_TRUE(checked(d, "chbRecycle")); // "Recycle = 0" in the file
        EXPECT_TRUE(checked(d, "radioFileNumber") && checked(d, "chbProxy"));
        if (std::string(how) == "cancel") {
            click(d, "SpeedButton2");
        } else {
            d->close();
        }
        desk.settle();
        EXPECT_EQ(desk.iniText(), before) << how;
        EXPECT_EQ(desk.window.settings().iconNumber, 7) << how;
        EXPECT_EQ(desk.window.settings().jpegQuality, 32) << how;
        EXPECT_FALSE(desk.window.settings().fileLimitOn()) << how;
    }
    EXPECT_TRUE(desk.prompts.errors.isEmpty());
}

TEST(OptionsDialog, ABadNumberWritesNothingAndKeepsTheDialogOpen)
{
    Desktop desk;
    const std::string before = "[File]\nIcon=0\nIcon Number=7\n";
    desk.writeIni(before);
    OptionsDialog* d = desk.open();
    showPage(d, 1);
    // The icon limit as loaded, the file limit chosen with a text that is no number.
    EXPECT_EQ(control<QLineEdit>(d, "editIcon")->text(), ""); // "Icon No" is not set
    click(d, "chbBmp");
    click(d, "radioFileNumber");
    type(d, "editFile", QStringLiteral("fifty"));
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.prompts.errors, QStringList {"Up to: 'fifty' is not a valid integer value"});
    EXPECT_EQ(d->focusWidget(), control<QLineEdit>(d, "editFile")); // the field to mend
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(desk.window.isEnabled());
    EXPECT_EQ(desk.iniText(), before);
    EXPECT_TRUE(desk.window.settings().iconLimitOn()); // the main window keeps what it had
    EXPECT_TRUE(desk.window.settings().fileTypes.has(FileType::Bmp));

    // Empty is no number either.
    type(d, "editFile", QString());
    control<QLineEdit>(d, "editFile")->clear();
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.prompts.errors.last(), "Up to: '' is not a valid integer value");
    EXPECT_EQ(desk.iniText(), before);

    // A proxy port that is no port.
    type(d, "editFile", QStringLiteral("40"));
    showPage(d, 2);
    type(d, "editProxyPort", QStringLiteral("99999"));
    control<QLineEdit>(d, "editSmtp")->setFocus();
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.prompts.errors.last(), "Port: '99999' is not a valid port number (1 to 65535)");
    EXPECT_EQ(d->focusWidget(), control<QLineEdit>(d, "editProxyPort"));
    EXPECT_EQ(desk.iniText(), before);
    EXPECT_TRUE(d->isVisible());

    // Mended, OK writes everything and closes.
    type(d, "editProxyPort", QStringLiteral("3128"));
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.prompts.errors.size(), 3);
    EXPECT_TRUE(desk.window.isEnabled());
    EXPECT_EQ(desk.stored("File", "File Number"), "40");
    EXPECT_EQ(desk.stored("File", "Bmp File"), "0");
    EXPECT_EQ(desk.stored("Internet", "ProxyPort"), "3128");
    EXPECT_TRUE(desk.window.settings().fileLimitOn());
    EXPECT_EQ(desk.window.settings().fileNumber, 40);
    EXPECT_FALSE(desk.window.settings().fileTypes.has(FileType::Bmp));
}

TEST(OptionsDialog, TheColourAndTheEditorAreChosenInTheMainWindowsDialogs)
{
    Desktop desk;
    OptionsDialog* d = desk.open();
    desk.prompts.colourAnswers = {QColor(255, 128, 64), std::nullopt};
    click(d, "SpeedButton4");
    EXPECT_EQ(swatch(d), QColor(255, 128, 64));
    click(d, "SpeedButton4"); // cancelled: the swatch keeps its colour
    EXPECT_EQ(swatch(d), QColor(255, 128, 64));
    EXPECT_EQ(desk.prompts.colourPrompts, 2);

    desk.prompts.fileAnswers = {QStringLiteral("/usr/bin/gimp"), QString()};
    click(d, "SpeedButton3");
    EXPECT_EQ(control<QLineEdit>(d, "editDirectory")->text(), "/usr/bin/gimp");
    ASSERT_EQ(desk.prompts.openFilters.size(), 2);
    EXPECT_EQ(desk.prompts.openFilters[0].text, "exe files(*.exe)");
    EXPECT_EQ(desk.prompts.openFilters[0].patterns, "*.exe");
    EXPECT_EQ(desk.prompts.openFilters[1].text, "All files(*.*)");
    EXPECT_EQ(desk.prompts.openFilters[1].patterns, "*.*");
    click(d, "SpeedButton3"); // cancelled: the path stays
    EXPECT_EQ(control<QLineEdit>(d, "editDirectory")->text(), "/usr/bin/gimp");

    click(d, "SpeedButton1");
    EXPECT_EQ(desk.stored("Icon", "Background"), "$004080FF");
    EXPECT_EQ(desk.stored("Icon", "Edit"), "/usr/bin/gimp");
    EXPECT_EQ(desk.window.settings().background, 0x004080FFu);
    EXPECT_EQ(desk.window.settings().editor, "/usr/bin/gimp");

    // "Add a file" of the main window offers its own file types again.
    desk.prompts.fileAnswers = {QString()};
    desk.window.findChild<QToolButton*>(QStringLiteral("SpeedButton4"))->click();
    ASSERT_EQ(desk.prompts.openFilters.size(), 12);
    EXPECT_EQ(desk.prompts.openFilters.first().text, "exe,dll,cpl,scr,icl,ocx,ico,nil,bmp,jpg files");
    desk.settle();

    // A named colour in the file shows as that colour and is written back by its name.
    desk.writeIni("[Icon]\nBackground=clBtnFace\n");
    d = desk.open();
    EXPECT_EQ(swatch(d), QColor(0xF0, 0xF0, 0xF0));
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.stored("Icon", "Background"), "clBtnFace");
}

TEST(OptionsDialog, ABackgroundThatIsNoColourIsReportedWhenTheDialogOpens)
{
    Desktop desk;
    desk.writeIni("[Icon]\nBackground=light pink\nJpeg=70\n");
    desk.prompts.errors.clear(); // the main window's own report
    OptionsDialog* d = desk.open();
    EXPECT_EQ(desk.prompts.errors, QStringList {"'light pink' is not a valid integer value"});
    EXPECT_EQ(swatch(d), QColor(Qt::white));
    EXPECT_EQ(control<QSlider>(d, "tbrImage")->value(), 70);
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.stored("Icon", "Background"), "clWhite");
}
