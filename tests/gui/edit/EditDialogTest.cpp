// The Edit Icon dialog, opened from the main window as a user opens it: its
// controls at every opening, the picture each Save builds afresh (size, turn
// or flip, background) in each of the save dialog's formats, and the errors
// that stop a save.
#include "gui/edit/EditDialog.h"

#include "gui/support/DialogDesktop.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vextral;
using vextral::gui::EditDialog;
using vextral::test::click;
using vextral::test::control;
using vextral::test::Desktop;
using vextral::test::qtPath;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

QLineEdit* edit(QWidget* dialog, const char* name) { return control<QLineEdit>(dialog, name); }

// The main window with the icons of multi.ico harvested and the first selected.
void harvestAndSelect(Desktop& desk)
{
    desk.window.addDroppedNames({qtPath(test::fixture("multi.ico"))});
    desk.window.findChild<QToolButton*>(QStringLiteral("tbtSearch"))->click();
    auto* view = desk.window.findChild<QListView*>(QStringLiteral("ListIcon"));
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
}

// Saves with "&Save", the save dialog answering file under filter entry index.
void save(Desktop& desk, EditDialog* d, const fs::path& file, int index)
{
    desk.prompts.saveAnswers << gui::SaveChoice {qtPath(file), index};
    click(d, "SpeedButton1");
}

// Runs a Python script with PIL on the files (the first opened as im); its output.
std::string pil(const std::string& body, const std::vector<fs::path>& files)
{
    std::string out, arguments;
    for (const fs::path& f : files) arguments += " " + test::shellQuote(f.string());
    const std::string script = "import sys\nfrom PIL import Image, ImageChops\nim = Image.open(sys.argv[1])\n" + body;
    EXPECT_EQ(test::runCommand("/usr/bin/python3 -c " + test::shellQuote(script) + arguments + " 2>&1", &out), 0)
        << out;
    return out;
}

// Format, size and the four corners of a picture file.
std::string corners(const fs::path& file)
{
    return pil("w, h = im.size\nc = im.convert('RGB')\nprint(im.format, im.size, c.getpixel((0, 0)), "
               "c.getpixel((w - 1, 0)), c.getpixel((0, h - 1)), c.getpixel((w - 1, h - 1)))\n",
               {file});
}

// "same" when picture file a, changed by PIL's operation op, equals picture file b.
std::string sameAfter(const fs::path& a, const char* op, const fs::path& b)
{
    return pil(std::string("other = Image.open(sys.argv[2]).convert('RGB')\nmine = im.convert('RGB')") + op +
                   "\nprint('same' if mine.size == other.size and not ImageChops.difference(mine, other).getbbox() "
                   "else 'differ')\n",
               {a, b});
}

} // namespace

TEST(EditDialog, OpensFreshOnTheSelectedIconAndGoesWhenClosed)
{
    Desktop desk;
    // No selection: a message and no dialog, from the menu, the pop-up and the toolbar.
    desk.window.findChild<QAction*>(QStringLiteral("menuEdit"))->trigger();
    desk.window.findChild<QAction*>(QStringLiteral("popupEdit"))->trigger();
    desk.window.findChild<QToolButton*>(QStringLiteral("tbtCentre"))->click();
    EXPECT_EQ(desk.prompts.informations, QStringList(3, "Please select an icon to edit."));
    EXPECT_FALSE(desk.window.findChild<EditDialog*>());
    EXPECT_TRUE(desk.window.isEnabled());

    harvestAndSelect(desk);
    desk.prompts.informations.clear();
    for (const char* how : {"menuEdit", "popupEdit", "tbtCentre"}) {
        EditDialog* d = nullptr;
        if (std::string(how) == "tbtCentre") {
            desk.window.findChild<QToolButton*>(QLatin1String(how))->click();
            d = desk.window.findChild<EditDialog*>();
        } else {
            d = desk.open<EditDialog>(how);
        }
        ASSERT_TRUE(d) << how;
        EXPECT_TRUE(d->isVisible());
        EXPECT_FALSE(desk.window.isEnabled());
        EXPECT_EQ(d->objectName(), "FormEdit");
        EXPECT_EQ(d->windowTitle(), "Edit Icon");
        EXPECT_EQ(d->minimumSize(), d->maximumSize());
        EXPECT_LE((d->geometry().center() - d->screen()->availableGeometry().center()).manhattanLength(), 8);

        // Every opening starts from the same values, whatever the last one changed.
        EXPECT_EQ(edit(d, "editWidth")->text(), "32");
        EXPECT_EQ(edit(d, "editHeight")->text(), "32");
        EXPECT_EQ(edit(d, "editAngle")->text(), "0");
        EXPECT_TRUE(control<QRadioButton>(d, "radioAngle")->isChecked());
        EXPECT_EQ(control<QRadioButton>(d, "radioAngle")->text(), "&Angle:");
        EXPECT_EQ(control<QRadioButton>(d, "radioVertical")->text(), "&Vertical flip");
        EXPECT_EQ(control<QRadioButton>(d, "radioHorizontal")->text(), "H&orizontal flip");
        EXPECT_EQ(d->backgroundColour(), QColor(Qt::white));
        EXPECT_EQ(control<QPushButton>(d, "SpeedButton1")->text(), "&Save");
        EXPECT_EQ(control<QPushButton>(d, "SpeedButton2")->text(), "&Cancel");
        // The icon itself in its small box: yellow in the middle.
        const QImage icon = control<QLabel>(d, "imgIcon")->pixmap().toImage();
        EXPECT_EQ(icon.size(), QSize(32, 32));
        EXPECT_EQ(icon.pixel(16, 16), qRgb(255, 255, 0));

        edit(d, "editWidth")->setText("7");
        control<QRadioButton>(d, "radioVertical")->setChecked(true);
        desk.prompts.colourAnswers << QColor(Qt::red);
        QTest::mouseClick(control<QLabel>(d, "labColor"), Qt::LeftButton);
        EXPECT_EQ(d->backgroundColour(), QColor(Qt::red));

        if (std::string(how) == "popupEdit")
            d->close();
        else
            click(d, "SpeedButton2");
        EXPECT_TRUE(desk.window.isEnabled()) << how;
        desk.settle();
        EXPECT_FALSE(desk.window.findChild<EditDialog*>()) << how;
    }
    EXPECT_EQ(desk.prompts.colourPrompts, 3);
    EXPECT_TRUE(desk.prompts.errors.isEmpty());
    EXPECT_TRUE(desk.prompts.informations.isEmpty());
}

TEST(EditDialog, EachSaveBuildsThePictureAfresh)
{
    Desktop desk;
    TempDir dir;
    // The settings' background and JPEG quality are not the editor's.
    test::writeBytes(desk.home / "Option.ini",
                     {'[', 'I', 'c', 'o', 'n', ']', '\n', 'J', 'p', 'e', 'g', '=', '2', '0', '\n', 'B', 'a',
                      'c', 'k', 'g', 'r', 'o', 'u', 'n',  'd', '=', 'c', 'l', 'B', 'l', 'u', 'e',  '\n'});
    desk.window.loadSettings();
    harvestAndSelect(desk);
    EditDialog* d = desk.open<EditDialog>("menuEdit");
    ASSERT_TRUE(d);

    // Angle 0 at 32 x 32: the icon over white.
    save(desk, d, dir / "plain.png", 9);
    EXPECT_EQ(corners(dir / "plain.png"),
              "PNG (32, 32) (255, 255, 255) (255, 255, 255) (255, 255, 255) (255, 255, 255)\n");
    EXPECT_TRUE(d->isVisible()); // open for the next variant

    // A red background, kept when the colour dialog is cancelled.
    desk.prompts.colourAnswers << QColor(Qt::red) << std::nullopt;
    QTest::mouseClick(control<QLabel>(d, "labColor"), Qt::LeftButton);
    QTest::mouseClick(control<QLabel>(d, "labColor"), Qt::LeftButton);
    EXPECT_EQ(d->backgroundColour(), QColor(Qt::red));
    save(desk, d, dir / "red.bmp", 1);
    EXPECT_EQ(corners(dir / "red.bmp"), "BMP (32, 32) (255, 0, 0) (255, 0, 0) (255, 0, 0) (255, 0, 0)\n");
    save(desk, d, dir / "red.png", 9);

    // 30 degrees grows it to 45 x 44, red in the corners.
    edit(d, "editAngle")->setText("30");
    save(desk, d, dir / "turned.png", 9);
    EXPECT_EQ(corners(dir / "turned.png"), "PNG (45, 44) (255, 0, 0) (255, 0, 0) (255, 0, 0) (255, 0, 0)\n");
    // 90 and -90 are quarter turns counter-clockwise and clockwise; 360 is no turn.
    edit(d, "editAngle")->setText("90");
    save(desk, d, dir / "left.png", 9);
    EXPECT_EQ(sameAfter(dir / "red.png", ".transpose(Image.Transpose.ROTATE_90)", dir / "left.png"), "same\n");
    edit(d, "editAngle")->setText("-90");
    save(desk, d, dir / "right.png", 9);
    EXPECT_EQ(sameAfter(dir / "red.png", ".transpose(Image.Transpose.ROTATE_270)", dir / "right.png"), "same\n");
    edit(d, "editAngle")->setText("360");
    save(desk, d, dir / "whole.png", 9);
    EXPECT_EQ(sameAfter(dir / "red.png", "", dir / "whole.png"), "same\n");
    // An empty angle box becomes "0".
    edit(d, "editAngle")->clear();
    save(desk, d, dir / "empty.png", 9);
    EXPECT_EQ(edit(d, "editAngle")->text(), "0");
    EXPECT_EQ(sameAfter(dir / "red.png", "", dir / "empty.png"), "same\n");

    // Flips at 16 x 48, against the unflipped picture of that size.
    edit(d, "editWidth")->setText("16");
    edit(d, "editHeight")->setText("48");
    save(desk, d, dir / "tall.png", 9);
    EXPECT_EQ(corners(dir / "tall.png").substr(0, 13), "PNG (16, 48) ");
    control<QRadioButton>(d, "radioVertical")->setChecked(true);
    edit(d, "editAngle")->setText("not read");
    save(desk, d, dir / "upside.png", 9);
    EXPECT_EQ(sameAfter(dir / "tall.png", ".transpose(Image.Transpose.FLIP_TOP_BOTTOM)", dir / "upside.png"), "same\n");
    control<QRadioButton>(d, "radioHorizontal")->setChecked(true);
    save(desk, d, dir / "mirror.png", 9);
    EXPECT_EQ(sameAfter(dir / "tall.png", ".transpose(Image.Transpose.FLIP_LEFT_RIGHT)", dir / "mirror.png"), "same\n");
    EXPECT_TRUE(desk.prompts.errors.isEmpty()) << desk.prompts.errors.join('\n').toStdString();
}

TEST(EditDialog, EveryEntryOfTheSaveDialogWritesItsFormat)
{
    Desktop desk;
    TempDir dir;
    test::writeBytes(desk.home / "Option.ini",
                     {'[', 'I', 'c', 'o', 'n', ']', '\n', 'J', 'p', 'e', 'g', '=', '2', '0', '\n'});
    desk.window.loadSettings();
    harvestAndSelect(desk);
    EditDialog* d = desk.open<EditDialog>("menuEdit");
    ASSERT_TRUE(d);
    edit(d, "editWidth")->setText("40");
    edit(d, "editHeight")->setText("24");

    const std::pair<int, const char*> pictures[] = {{1, "BMP"}, {2, "JPEG"}, {3, "GIF"},
                                                    {4, "PCX"}, {8, "TGA"},  {9, "PNG"}};
    for (const auto& [index, format] : pictures) {
        // Without an extension in the name, the entry decides.
        const fs::path file = dir / ("e" + std::to_string(index));
        save(desk, d, file, index);
        EXPECT_EQ(pil("print(im.format, im.size)\n", {file}), std::string(format) + " (40, 24)\n") << index;
    }
    // The save dialog reopens on the entry used last, proposing its extension.
    EXPECT_EQ(desk.prompts.saveFilterIndexes, (QList<int> {1, 1, 2, 3, 4, 8}));
    EXPECT_EQ(desk.prompts.saveSuffixes, (QStringList {"bmp", "bmp", "jpg", "gif", "pcx", "tga"}));
    // JPEG at quality 86, whatever the settings say.
    std::string quality;
    EXPECT_EQ(test::runCommand("identify -format %Q " + test::shellQuote((dir / "e2").string()), &quality), 0);
    EXPECT_EQ(quality, "86");
    EXPECT_EQ(d->imgPicture().params().jpegQuality, 86);

    // "Icon File": the icon as its source holds it, whatever the edits.
    edit(d, "editAngle")->setText("30");
    desk.prompts.colourAnswers << QColor(Qt::green);
    QTest::mouseClick(control<QLabel>(d, "labColor"), Qt::LeftButton);
    save(desk, d, dir / "icon.ico", 5);
    EXPECT_EQ(test::readBytes(dir / "icon.ico"), test::readBytes(test::fixture("multi.ico")));

    // "Cur File": a cursor of the edited picture.
    save(desk, d, dir / "cursor.cur", 6);
    const auto cur = test::readBytes(dir / "cursor.cur");
    // 40 x 24 turned is 49 x 40: the standard sides up to 48 (and the
    // classic 32 x 32 image of its few colours), the last 48 x 48.
    ASSERT_GE(cur.size(), 6U + 16 * 5);
    EXPECT_EQ((std::vector<std::uint8_t>(cur.begin(), cur.begin() + 8)),
              (std::vector<std::uint8_t> {0, 0, 2, 0, 5, 0, 16, 16}));
    EXPECT_EQ(cur[6 + 16 * 4], 48);
    EXPECT_EQ(cur[6 + 16 * 4 + 1], 48);
    // "Wmf File": a placeable metafile.
    save(desk, d, dir / "meta.wmf", 7);
    const auto wmf = test::readBytes(dir / "meta.wmf");
    ASSERT_GE(wmf.size(), 4U);
    EXPECT_EQ((std::vector<std::uint8_t>(wmf.begin(), wmf.begin() + 4)),
              (std::vector<std::uint8_t> {0xD7, 0xCD, 0xC6, 0x9A}));
    EXPECT_EQ(desk.prompts.saveSuffixes.mid(6), (QStringList {"png", "ico", "cur"}));
    EXPECT_TRUE(desk.prompts.errors.isEmpty()) << desk.prompts.errors.join('\n').toStdString();
}

TEST(EditDialog, BadTextsAndFilesStopTheSaveAndTheDialogStays)
{
    Desktop desk;
    TempDir dir;
    harvestAndSelect(desk);
    EditDialog* d = desk.open<EditDialog>("menuEdit");
    ASSERT_TRUE(d);

    // Cancelled: nothing happens, not even to an empty angle box.
    edit(d, "editAngle")->clear();
    click(d, "SpeedButton1");
    EXPECT_EQ(edit(d, "editAngle")->text(), "");
    EXPECT_EQ(desk.prompts.saveFilterIndexes.size(), 1);

    edit(d, "editAngle")->setText("0");
    const std::pair<const char*, const char*> bad[] = {{"editWidth", "3 2"}, {"editHeight", "x"}, {"editAngle", "9.5"}};
    for (const auto& [box, text] : bad) {
        const QString before = edit(d, box)->text();
        edit(d, box)->setText(text);
        save(desk, d, dir / "bad.png", 9);
        EXPECT_EQ(d->focusWidget(), edit(d, box)); // the field named, to be mended
        edit(d, box)->setText(before);
    }
    EXPECT_EQ(desk.prompts.errors,
              (QStringList {"Width: '3 2' is not a valid integer value", "Height: 'x' is not a valid integer value",
                            "Angle: '9.5' is not a valid integer value"}));
    EXPECT_FALSE(fs::exists(dir / "bad.png"));
    // A picture larger than any the program makes.
    desk.prompts.errors.clear();
    edit(d, "editWidth")->setText("100000");
    save(desk, d, dir / "big.png", 9);
    EXPECT_EQ(desk.prompts.errors,
              QStringList {"The picture size 100000 x 32 is too large: each side can be at most 16384 pixels"});
    EXPECT_FALSE(fs::exists(dir / "big.png"));
    // A file that cannot be created.
    desk.prompts.errors.clear();
    edit(d, "editWidth")->setText("32");
    save(desk, d, dir / "no/such/x.png", 9);
    EXPECT_EQ(desk.prompts.errors,
              QStringList {"Cannot create file " + qtPath(dir / "no/such/x.png") + ": No such file or directory"});
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(desk.window.isEnabled());
}
