#include "gui/app/MainWindow.h"
#include "gui/app/ToolbarPictures.h"

#include "TestSupport.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QDialog>
#include <QFile>
#include <QImage>
#include <QToolButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vextral;
using vextral::gui::MainWindow;
using vextral::gui::Picture;
using vextral::test::control;
using vextral::test::ScriptedPrompts;

namespace {

struct DialogButton {
    const char* button;
    const char* dialog;
};

class ToolbarDialogButton : public ::testing::TestWithParam<DialogButton> {};

// How many pixels of the image are not fully transparent.
int paintedPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) != 0;
    return n;
}

class ToolbarPictureFile : public ::testing::TestWithParam<Picture> {};

std::vector<Picture> everyPicture()
{
    std::vector<Picture> all;
    for (int i = 0; i <= static_cast<int>(Picture::Browse); ++i) all.push_back(static_cast<Picture>(i));
    return all;
}

} // namespace

TEST_P(ToolbarDialogButton, OpensItsDialogOverTheDisabledWindow)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    control<QToolButton>(&w, GetParam().button)->click();
    auto* dialog = w.findChild<QDialog*>(QLatin1String(GetParam().dialog));
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(w.isEnabled());
    EXPECT_TRUE(prompts.informations.isEmpty()) << prompts.informations.join(", ").toStdString();
    delete dialog;
    EXPECT_TRUE(w.isEnabled());
}

// Five buttons bear names that do not match their commands: "Save all" is tbtPrint, "Options" tbtTile.
INSTANTIATE_TEST_SUITE_P(Toolbar, ToolbarDialogButton,
                         ::testing::Values(DialogButton {"tbtFriend", "FormFriend"},
                                           DialogButton {"tbtCapture", "FormCapture"},
                                           DialogButton {"tbtPrint", "FormSaveAll"},
                                           DialogButton {"tbtTile", "FormOption"},
                                           DialogButton {"tbtConvert", "FormConvert"}),
                         [](const auto& p) { return std::string(p.param.button); });

TEST_P(ToolbarPictureFile, IsBuiltInAndDrawsAtItsSizeAndTwiceIt)
{
    const Picture picture = GetParam();
    EXPECT_TRUE(QFile::exists(gui::toolbarPicturePath(picture))) << gui::toolbarPicturePath(picture).toStdString();
    const QIcon icon = gui::toolbarPicture(picture);
    ASSERT_FALSE(icon.isNull());
    const int side = picture >= Picture::AddFolder ? 20 : 32;
    for (int scale : {1, 2}) {
        const QImage image = icon.pixmap(QSize(side, side), scale).toImage();
        EXPECT_EQ(image.size(), QSize(side * scale, side * scale)) << scale;
        // Something is drawn, and not over the whole square: the corners stay clear.
        const int painted = paintedPixels(image);
        EXPECT_GT(painted, image.width() * image.height() / 8) << scale;
        EXPECT_EQ(qAlpha(image.pixel(0, image.height() - 1)), 0) << scale;
    }
}

namespace {

// A picture by its file, as a test name: ":/toolbar/save-all.svg" is "save_all".
std::string pictureName(Picture picture)
{
    const QString path = gui::toolbarPicturePath(picture);
    return path.mid(path.lastIndexOf(u'/') + 1).chopped(4).replace(u'-', u'_').toStdString();
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Toolbar, ToolbarPictureFile, ::testing::ValuesIn(everyPicture()),
                         [](const auto& p) { return pictureName(p.param); });
