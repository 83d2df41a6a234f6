// The Convert dialog, opened from the main window as a user opens it: its
// controls, loading pictures into its preview (and what a cancelled or failed
// load leaves alone), and saving the loaded picture in the chosen format.
#include "gui/convert/ConvertDialog.h"

#include "codecs/ImageBuffer.h"
#include "codecs/PictureReader.h"
#include "codecs/Writers.h"
#include "engine/codecs/WriterReadBack.h"
#include "gui/support/DialogDesktop.h"
#include "platform/PictureFile.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vextral;
using vextral::gui::ConvertDialog;
using vextral::test::click;
using vextral::test::control;
using vextral::test::Desktop;
using vextral::test::fileHead;
using vextral::test::qtPath;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

// The preview as the dialog shows it; null when it shows nothing.
QImage preview(QWidget* dialog) { return control<QLabel>(dialog, "imgPicture")->pixmap().toImage(); }

// Loads file with "&Load", the open dialog answering it.
void load(Desktop& desk, ConvertDialog* d, const fs::path& file)
{
    desk.prompts.fileAnswers << qtPath(file);
    click(d, "spbOpen");
}

// Saves with "&Save", the save dialog answering file under filter entry index.
void save(Desktop& desk, ConvertDialog* d, const fs::path& file, int index)
{
    desk.prompts.saveAnswers << gui::SaveChoice {qtPath(file), index};
    click(d, "spbSave");
}

// A width x height picture file written by the engine's writer: columns in
// steps of colour, so a preview's pixels can be told apart.
void writePicture(const fs::path& file, int width, int height, void (*writer)(codecs::ImageBuffer&, const std::string&),
                  int paletteBits = 8)
{
    codecs::ImageBuffer buffer;
    buffer.picture() = codecs::Picture::make(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            buffer.picture().setPixel(
                x, y, {static_cast<std::uint8_t>(x % 4 * 80), static_cast<std::uint8_t>(y % 2 * 200), 40});
        }
    }
    buffer.params().sampleBits = paletteBits;
    if (paletteBits < 8) buffer.params().samples = 1;
    writer(buffer, file.string());
}

int le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<int>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<unsigned>(b[at + 3]) << 24);
}

} // namespace

TEST(ConvertDialog, OpensFreshFromTheMenuAndTheToolbarAndGoesWhenClosed)
{
    Desktop desk;
    TempDir dir;
    writePicture(dir / "a.png", 20, 10, codecs::writePng);
    for (const char* how : {"menu, cancel", "toolbar, close box"}) {
        ConvertDialog* d = nullptr;
        if (std::string(how).starts_with("toolbar")) {
            desk.window.findChild<QToolButton*>(QStringLiteral("tbtConvert"))->click();
            d = desk.window.findChild<ConvertDialog*>();
        } else {
            d = desk.open<ConvertDialog>("menuConvert");
        }
        ASSERT_TRUE(d) << how;
        EXPECT_TRUE(d->isVisible());
        EXPECT_FALSE(desk.window.isEnabled());
        EXPECT_TRUE(d->isEnabled());
        EXPECT_EQ(d->objectName(), "FormConvert");
        EXPECT_EQ(d->windowTitle(), "Convert");
        EXPECT_EQ(d->minimumSize(), d->maximumSize()); // a fixed border
        EXPECT_LE((d->geometry().center() - d->screen()->availableGeometry().center()).manhattanLength(), 8);

        // Every opening starts afresh, whatever the one before loaded.
        EXPECT_EQ(control<QLabel>(d, "Label1")->text(), "Image:");
        auto* box = control<QLabel>(d, "imgPicture");
        EXPECT_EQ(box->size(), QSize(233, 233));
        EXPECT_TRUE(box->pixmap().isNull());
        EXPECT_EQ(control<QPushButton>(d, "spbOpen")->text(), "&Load");
        EXPECT_EQ(control<QPushButton>(d, "spbSave")->text(), "&Save");
        EXPECT_EQ(control<QPushButton>(d, "spbCancel")->text(), "&Cancel");
        EXPECT_TRUE(control<QPushButton>(d, "spbOpen")->isEnabled());
        EXPECT_FALSE(control<QPushButton>(d, "spbSave")->isEnabled());
        EXPECT_TRUE(d->loadedPicture().empty());
        load(desk, d, dir / "a.png");
        EXPECT_EQ(preview(d).size(), QSize(20, 10));

        if (std::string(how).ends_with("cancel"))
            click(d, "spbCancel");
        else
            d->close();
        EXPECT_TRUE(desk.window.isEnabled()) << how;
        desk.settle();
        EXPECT_FALSE(desk.window.findChild<ConvertDialog*>()) << how;
    }
    EXPECT_TRUE(desk.prompts.errors.isEmpty());
    EXPECT_TRUE(desk.prompts.informations.isEmpty());
}

TEST(ConvertDialog, LoadOffersAllImagesAndShowsThePictureScaledIntoTheBox)
{
    Desktop desk;
    TempDir dir;
    writePicture(dir / "small.png", 100, 50, codecs::writePng);
    writePicture(dir / "wide.png", 466, 233, codecs::writePng);
    writePicture(dir / "tall.bmp", 466, 300, codecs::writeBmp);
    ConvertDialog* d = desk.open<ConvertDialog>("menuConvert");
    ASSERT_TRUE(d);

    load(desk, d, dir / "small.png");
    ASSERT_EQ(desk.prompts.openFilters.size(), 1);
    EXPECT_EQ(desk.prompts.openFilters[0].text, "All Images");
    QStringList patterns;
    for (const char* e : codecs::allImagesExtensions()) patterns << QStringLiteral("*.") + QLatin1String(e);
    EXPECT_EQ(desk.prompts.openFilters[0].patterns, patterns.join(u';'));
    EXPECT_TRUE(desk.prompts.openFilters[0].patterns.startsWith("*.png;*.psp;*.cut;*.pcd;"));
    EXPECT_TRUE(desk.prompts.openFilters[0].patterns.endsWith(";*.gif;*.cur;*.ico;*.emf;*.wmf"));

    // Small pictures at their own size, pixel for pixel.
    QImage shown = preview(d);
    EXPECT_EQ(shown.size(), QSize(100, 50));
    EXPECT_EQ(shown.pixel(3, 1), qRgb(40, 200, 240));
    EXPECT_EQ(shown.pixel(0, 0), qRgb(40, 0, 0));
    EXPECT_EQ(d->loadedPicture().width, 100);
    EXPECT_TRUE(control<QPushButton>(d, "spbSave")->isEnabled());

    // Too wide: to the box's width; columns 0, 80, 160, 240 pair up into 40 and 200.
    load(desk, d, dir / "wide.png");
    shown = preview(d);
    EXPECT_EQ(shown.size(), QSize(233, 116));
    EXPECT_EQ(qBlue(shown.pixel(0, 0)), 40);
    EXPECT_EQ(qBlue(shown.pixel(1, 0)), 200);
    EXPECT_EQ(d->loadedPicture().width, 466); // the picture itself is kept whole

    // Too tall: to the box's height, and wider than the box.
    load(desk, d, dir / "tall.bmp");
    EXPECT_EQ(preview(d).size(), QSize(362, 233));
    EXPECT_EQ(d->loadedPicture().height, 300);
    EXPECT_TRUE(desk.prompts.errors.isEmpty());
}

TEST(ConvertDialog, AFailedOrCancelledLoadKeepsThePictureLoadedBefore)
{
    Desktop desk;
    TempDir dir;
    writePicture(dir / "a.png", 30, 20, codecs::writePng);
    test::writeBytes(dir / "damaged.png", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 1, 2});
    test::writeBytes(dir / "x.cur", test::readBytes(test::fixture("arrow.cur")));

    // A failure before anything was loaded leaves Save as it was: disabled.
    ConvertDialog* d = desk.open<ConvertDialog>("menuConvert");
    load(desk, d, dir / "x.cur");
    EXPECT_EQ(desk.prompts.errors, QStringList {"Unknown picture file extension (.cur)"});
    EXPECT_FALSE(control<QPushButton>(d, "spbSave")->isEnabled());
    EXPECT_TRUE(preview(d).isNull());

    load(desk, d, dir / "a.png");
    const QImage before = preview(d);
    ASSERT_EQ(before.size(), QSize(30, 20));
    const codecs::Picture loaded = d->loadedPicture();
    desk.prompts.errors.clear();
    load(desk, d, dir / "damaged.png");
    ASSERT_EQ(desk.prompts.errors.size(), 1);
    EXPECT_FALSE(desk.prompts.errors[0].isEmpty());
    EXPECT_EQ(preview(d), before);
    EXPECT_EQ(d->loadedPicture().pixels, loaded.pixels);
    EXPECT_TRUE(control<QPushButton>(d, "spbSave")->isEnabled());

    // Cancelled: nothing changes, and the picture is still what Save writes.
    click(d, "spbOpen");
    EXPECT_EQ(preview(d), before);
    EXPECT_EQ(d->loadedPicture().pixels, loaded.pixels);
    save(desk, d, dir / "out.bmp", 1);
    const auto bmp = fileHead(dir / "out.bmp", 26);
    ASSERT_EQ(bmp.size(), 26U);
    EXPECT_EQ(le32(bmp, 18), 30);
    EXPECT_EQ(le32(bmp, 22), 20);
    EXPECT_EQ(desk.prompts.errors.size(), 1);
}

TEST(ConvertDialog, SaveBeforeAnyPictureAsksForOne)
{
    Desktop desk;
    ConvertDialog* d = desk.open<ConvertDialog>("menuConvert");
    click(d, "spbOpen"); // cancelled: Save becomes usable all the same
    EXPECT_TRUE(control<QPushButton>(d, "spbSave")->isEnabled());
    EXPECT_TRUE(preview(d).isNull());
    click(d, "spbSave");
    EXPECT_EQ(desk.prompts.informations, QStringList {"Please load a picture first."});
    EXPECT_TRUE(desk.prompts.saveFilterIndexes.isEmpty()); // no save dialog
    EXPECT_TRUE(d->isVisible());
}

TEST(ConvertDialog, SaveWritesTheLoadedPictureInTheChosenFormatAndStaysOpen)
{
    Desktop desk;
    TempDir dir;
    test::writeBytes(desk.home / "Option.ini",
                     {'[', 'I', 'c', 'o', 'n', ']', '\n', 'J', 'p', 'e', 'g', '=', '4', '0', '\n'});
    desk.window.loadSettings();
    writePicture(dir / "colours.png", 100, 50, codecs::writePng);
    writePicture(dir / "PALETTE.GIF", 40, 30, codecs::writeGif, 4); // a 16-colour table

    ConvertDialog* d = desk.open<ConvertDialog>("menuConvert");
    load(desk, d, dir / "colours.png");
    // Through the main window's save dialog, its nine entries, opening on the entry used last.
    save(desk, d, dir / "full.bmp", 1);
    ASSERT_EQ(desk.prompts.fileFilters.size(), 9);
    EXPECT_EQ(desk.prompts.fileFilters[3], "Pcx File(*.pcx)");
    const auto bmp = fileHead(dir / "full.bmp", 26);
    ASSERT_EQ(bmp.size(), 26U);
    EXPECT_EQ(le32(bmp, 18), 100); // the picture, not its preview
    EXPECT_EQ(le32(bmp, 22), 50);
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(desk.window.isEnabled());

    // True colour from a PNG: 8 bits in 3 planes.
    save(desk, d, dir / "true.pcx", 4);
    auto pcx = fileHead(dir / "true.pcx", 66);
    ASSERT_EQ(pcx.size(), 66U);
    EXPECT_EQ(pcx[0], 10);
    EXPECT_EQ(pcx[3], 8);
    EXPECT_EQ(pcx[65], 3);

    // JPEG with the quality of the settings; the tail of each entry by extension.
    save(desk, d, dir / "q.jpg", 2);
    EXPECT_EQ(d->imgFile().params().jpegQuality, 40);
    EXPECT_EQ(fileHead(dir / "q.jpg", 3), (std::vector<std::uint8_t> {0xFF, 0xD8, 0xFF}));
    save(desk, d, dir / "i.ico", 5);
    EXPECT_EQ(fileHead(dir / "i.ico", 4), (std::vector<std::uint8_t> {0, 0, 1, 0}));
    save(desk, d, dir / "c.cur", 6);
    EXPECT_EQ(fileHead(dir / "c.cur", 4), (std::vector<std::uint8_t> {0, 0, 2, 0}));
    save(desk, d, dir / "typed.png", 7); // "Wmf File", a name typed as .png: a PNG
    EXPECT_EQ(fileHead(dir / "typed.png", 4), (std::vector<std::uint8_t> {0x89, 'P', 'N', 'G'}));
    save(desk, d, dir / "t.tga", 8);
    const auto tga = test::readBytes(dir / "t.tga");
    ASSERT_GT(tga.size(), 18U);
    EXPECT_EQ(std::string(tga.end() - 18, tga.end()), std::string("TRUEVISION-XFILE.\0", 18));

    // A GIF leaves its 16-colour table with the dialog's buffer: a 4-bit PCX,
    // as are the saves after it.
    load(desk, d, dir / "PALETTE.GIF");
    EXPECT_EQ(preview(d).size(), QSize(40, 30)) << desk.prompts.errors.join(u'\n').toStdString();
    save(desk, d, dir / "palette.pcx", 4);
    pcx = fileHead(dir / "palette.pcx", 66);
    ASSERT_EQ(pcx.size(), 66U);
    EXPECT_EQ(pcx[3], 4);
    EXPECT_EQ(pcx[65], 1);
    EXPECT_EQ(pcx[8] | pcx[9] << 8, 39); // the last column

    // A file that cannot be made is said so, and the dialog stays.
    save(desk, d, dir / "missing" / "x.png", 9);
    ASSERT_EQ(desk.prompts.errors.size(), 1);
    EXPECT_TRUE(desk.prompts.errors[0].startsWith("Cannot create file " + qtPath(dir / "missing" / "x.png")))
        << desk.prompts.errors[0].toStdString();
    EXPECT_TRUE(d->isVisible());
    // The save dialog reopens on the entry used last.
    EXPECT_EQ(desk.prompts.saveFilterIndexes.last(), 4);
    click(d, "spbCancel");
    EXPECT_TRUE(desk.window.isEnabled());
}

// A GIF's depth and table are for the saves of that GIF: a colour picture
// loaded after a 2-colour GIF is saved in its own colours, not dithered to
// the GIF's two.
TEST(ConvertDialog, AGifsDepthStaysWithItsOwnPicture)
{
    Desktop desk;
    TempDir dir;
    // Red and yellow, one bit a pixel.
    codecs::ImageBuffer two;
    two.picture() = codecs::Picture::make(6, 4);
    for (int i = 0; i < 24; ++i)
        two.picture().setPixel(i % 6, i / 6, i % 5 ? codecs::Bgr {0, 0xFF, 0xFF} : codecs::Bgr {0, 0, 0xFF});
    two.params().sampleBits = 1;
    two.params().samples = 1;
    codecs::writeGif(two, (dir / "two.gif").string());
    ASSERT_EQ(fileHead(dir / "two.gif", 11).back(), 0x80) << "a 2-entry table";
    writePicture(dir / "colours.png", 20, 10, codecs::writePng);
    codecs::ImageBuffer colours;
    ASSERT_TRUE(platform::loadPicture(colours, (dir / "colours.png").string()).ok());

    ConvertDialog* d = desk.open<ConvertDialog>("menuConvert");
    load(desk, d, dir / "two.gif");
    EXPECT_EQ(d->imgFile().params().sampleBits, 1);
    save(desk, d, dir / "two.bmp", 1);
    EXPECT_EQ(fileHead(dir / "two.bmp", 30).at(28), 1) << "the GIF's own save: 1 bit a pixel";
    EXPECT_EQ(test::readBack("pil", dir / "two.bmp"), test::expected(two.picture()));

    load(desk, d, dir / "colours.png");
    EXPECT_EQ(d->imgFile().params().sampleBits, 8);
    save(desk, d, dir / "after.bmp", 1);
    save(desk, d, dir / "after.png", 9);
    EXPECT_EQ(fileHead(dir / "after.bmp", 30).at(28), 24);
    EXPECT_EQ(fileHead(dir / "after.png", 4), (std::vector<std::uint8_t> {0x89, 'P', 'N', 'G'}));
    for (const char* name : {"after.bmp", "after.png"})
        EXPECT_EQ(test::readBack("pil", dir / name), test::expected(colours.picture())) << name;
    EXPECT_TRUE(desk.prompts.errors.isEmpty()) << desk.prompts.errors.join(u'\n').toStdString();
}

TEST(ConvertDialog, TheWindowPaintsWhileAPictureIsRead)
{
    Desktop desk;
    TempDir dir;
    // Read through ImageMagick, in a process of its own: long enough that
    // the window must be painted meanwhile.
    writePicture(dir / "large.tif", 3000, 3000, codecs::writeTiff);
    ConvertDialog* d = desk.open<ConvertDialog>("menuConvert");
    ASSERT_TRUE(d);
    bool pumped = false, enabledMeanwhile = true;
    QTimer::singleShot(0, d, [&] {
        pumped = true;
        enabledMeanwhile = d->isEnabled();
    });
    load(desk, d, dir / "large.tif");
    EXPECT_TRUE(pumped);
    EXPECT_FALSE(enabledMeanwhile);
    EXPECT_TRUE(d->isEnabled());
    EXPECT_EQ(d->loadedPicture().width, 3000);
    EXPECT_TRUE(desk.prompts.errors.isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
