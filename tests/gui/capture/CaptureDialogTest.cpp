// The Capture Screen dialog over a scripted capture backend: the size asked
// for, the too-large area, what saving and copying write; the real backend
// refusing where the screen cannot be read; and, under Xvfb, a real grab of a
// window showing a known icon.
#include "gui/capture/CaptureDialog.h"

#include "codecs/ImageBuffer.h"
#include "codecs/PictureReader.h"
#include "gui/capture/CaptureOverlay.h"
#include "gui/common/DialogHost.h"
#include "gui/common/PictureImage.h"
#include "gui/support/DialogDesktop.h"
#include "gui/support/ScriptedCapture.h"
#include "platform/IconExtractor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vextral;
using vextral::gui::CaptureDialog;
using vextral::test::click;
using vextral::test::control;
using vextral::test::Desktop;
using vextral::test::fileHead;
using vextral::test::qtPath;
using vextral::test::ScriptedBackend;
using vextral::test::TempDir;
using vextral::test::waitUntil;
namespace fs = std::filesystem;

namespace {

CaptureDialog* openDialog(Desktop& desk, desktop::CaptureBackend* backend)
{
    auto* d = new CaptureDialog(desk.window.savePicture(), desk.window.settings(), desk.prompts, backend, &desk.window);
    desk.window.dialogs().show(d);
    return d;
}

// A picture whose every pixel differs from its neighbours.
codecs::Picture pattern(int side)
{
    codecs::Picture p = codecs::Picture::make(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            p.setPixel(
                x, y,
                {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 7), static_cast<std::uint8_t>(x + y)});
    return p;
}

// The top left side x side pixels of picture equal those of want.
void expectTopLeft(const codecs::Picture& picture, const codecs::Picture& want, int side, const std::string& what)
{
    ASSERT_EQ(picture.width, side) << what;
    ASSERT_EQ(picture.height, side) << what;
    int differing = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) differing += picture.pixel(x, y) == want.pixel(x, y) ? 0 : 1;
    EXPECT_EQ(differing, 0) << what;
}

} // namespace

TEST(CaptureDialog, OpensFromTheMenuWithItsControlsAndTheFormsCaptureValues)
{
    Desktop desk;
    auto* d = desk.open<CaptureDialog>("menuCapture");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->objectName(), "FormCapture");
    EXPECT_EQ(d->windowTitle(), "Capture Screen");
    EXPECT_FALSE(desk.window.isEnabled());
    EXPECT_TRUE(control<QRadioButton>(d, "radioLarge")->isChecked());
    EXPECT_EQ(control<QRadioButton>(d, "radioLarge")->text(), "&32x32 Icon");
    EXPECT_EQ(control<QRadioButton>(d, "radioSmall")->text(), "&16x16 Icon");
    EXPECT_EQ(control<QRadioButton>(d, "radioOther")->text(), "");
    EXPECT_EQ(control<QLineEdit>(d, "editWidth")->text(), "");
    EXPECT_EQ(control<QLineEdit>(d, "editHeight")->text(), "");
    EXPECT_EQ(control<QPushButton>(d, "spbCapture")->text(), "&Start Capture");
    EXPECT_EQ(control<QToolButton>(d, "spbSave")->toolTip(), "Save to File");
    EXPECT_EQ(control<QToolButton>(d, "spbClipboard")->toolTip(), "Copy to Clipboard");
    EXPECT_TRUE(control<QLabel>(d, "imgCapture")->pixmap().isNull());
    auto& capture = d->capture();
    EXPECT_EQ(capture.captureMode, desktop::CaptureMode::tcmFixedRegion);
    EXPECT_EQ(capture.shadowColor, 0x000000FFu);
    EXPECT_EQ(capture.captureWidth(), 32);
    EXPECT_EQ(capture.captureHeight(), 32);
    EXPECT_EQ(capture.version(), "1.00");

    // Nothing captured yet: saving and copying say so and ask for no file name.
    click(d, "spbSave");
    click(d, "spbClipboard");
    EXPECT_EQ(desk.prompts.informations, (QStringList {"Nothing captured yet.", "Nothing captured yet."}));
    EXPECT_TRUE(desk.prompts.saveFilterIndexes.isEmpty());

    // The real backend cannot read an offscreen display: a clear error, and
    // the window and dialog are back as they were.
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    click(d, "spbCapture");
    ASSERT_EQ(desk.prompts.errors.size(), 1);
    EXPECT_TRUE(desk.prompts.errors[0].startsWith("Cannot capture the screen: "))
        << desk.prompts.errors[0].toStdString();
    EXPECT_TRUE(desk.prompts.errors[0].contains("offscreen"));
    EXPECT_FALSE(desk.window.windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(d->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(d->captured().empty());

    d->close();
    desk.settle();
    EXPECT_TRUE(desk.window.isEnabled());
}

TEST(CaptureDialog, AsksForTheChosenSizeAndRefusesAnAreaLargerThanTheScreen)
{
    Desktop desk;
    ScriptedBackend backend;
    CaptureDialog* d = openDialog(desk, &backend);
    const QSize screen = d->screen()->geometry().size();

    click(d, "spbCapture");
    EXPECT_EQ(std::pair(backend.width, backend.height), std::pair(33, 33));
    EXPECT_TRUE(desk.window.windowState() & Qt::WindowMinimized); // out of the way while picking
    backend.callback(0, nullptr);                                 // cancelled: back, and nothing else
    EXPECT_FALSE(desk.window.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(desk.prompts.informations.isEmpty());
    EXPECT_TRUE(desk.prompts.errors.isEmpty());

    control<QRadioButton>(d, "radioSmall")->setChecked(true);
    click(d, "spbCapture");
    EXPECT_EQ(std::pair(backend.width, backend.height), std::pair(17, 17));

    auto* width = control<QLineEdit>(d, "editWidth");
    auto* height = control<QLineEdit>(d, "editHeight");
    control<QRadioButton>(d, "radioOther")->setChecked(true);
    width->setText("20");
    height->setText("10");
    click(d, "spbCapture");
    EXPECT_EQ(std::pair(backend.width, backend.height), std::pair(20, 10));

    for (const auto& [w, h] : {std::pair(screen.width() + 1, 10), std::pair(10, screen.height() + 1)}) {
        desk.prompts.informations.clear();
        width->setText(QString::number(w));
        height->setText(QString::number(h));
        click(d, "spbCapture");
        EXPECT_EQ(desk.prompts.informations, QStringList {"Area to capture is too large."});
        EXPECT_EQ(width->text(), "32");
        EXPECT_EQ(height->text(), "32");
        EXPECT_EQ(std::pair(backend.width, backend.height), std::pair(32, 32));
    }
    // Exactly the screen is allowed.
    width->setText(QString::number(screen.width()));
    height->setText(QString::number(screen.height()));
    click(d, "spbCapture");
    EXPECT_EQ(std::pair(backend.width, backend.height), std::pair(screen.width(), screen.height()));

    // Not a number: the conversion error and no capture.
    const int starts = backend.starts;
    width->setText("3x");
    click(d, "spbCapture");
    EXPECT_EQ(desk.prompts.errors, QStringList {"Width: '3x' is not a valid integer value"});
    EXPECT_EQ(d->focusWidget(), width);
    EXPECT_EQ(backend.starts, starts);

    // A refused start with a reason shows it; an error status shows the backend's reason.
    desk.prompts.errors.clear();
    width->setText("8");
    backend.acceptStart = false;
    backend.refusal = "Cannot capture the screen: no";
    click(d, "spbCapture");
    EXPECT_EQ(desk.prompts.errors, QStringList {"Cannot capture the screen: no"});
    EXPECT_FALSE(desk.window.windowState() & Qt::WindowMinimized);
    backend.acceptStart = true;
    backend.refusal.clear();
    click(d, "spbCapture");
    backend.callback(7, nullptr);
    EXPECT_EQ(desk.prompts.errors.size(), 2);
    EXPECT_TRUE(desk.prompts.errors.last().contains("status 7"));
    EXPECT_TRUE(d->captured().empty());
}

TEST(CaptureDialog, SavesEveryFormatAtTheChosenSizeAndCopies)
{
    Desktop desk;
    TempDir dir;
    ScriptedBackend backend;
    CaptureDialog* d = openDialog(desk, &backend);
    const codecs::Picture grabbed = pattern(33);
    click(d, "spbCapture");
    backend.callback(1, &grabbed);
    EXPECT_EQ(control<QLabel>(d, "imgCapture")->pixmap().size(), QSize(33, 33));
    EXPECT_EQ(d->captured().width, 33);

    // One file per filter entry, each in its own format, 32 x 32.
    const std::pair<const char*, std::vector<std::uint8_t>> files[] = {{"a.bmp", {'B', 'M'}},
                                                                       {"a.jpg", {0xFF, 0xD8}},
                                                                       {"a.gif", {'G', 'I', 'F', '8'}},
                                                                       {"a.pcx", {0x0A}},
                                                                       {"a.ico", {0, 0, 1, 0}},
                                                                       {"a.cur", {0, 0, 2, 0}},
                                                                       {"a.wmf", {0xD7, 0xCD, 0xC6, 0x9A}},
                                                                       {"a.tga", {}},
                                                                       {"a.png", {0x89, 'P', 'N', 'G'}}};
    int index = 1;
    for (const auto& [name, magic] : files) {
        desk.prompts.saveAnswers << gui::SaveChoice {qtPath(dir / name), index++};
        click(d, "spbSave");
        ASSERT_TRUE(fs::exists(dir / name)) << name;
        EXPECT_EQ(fileHead(dir / name, magic.size()), magic) << name;
    }
    EXPECT_TRUE(desk.prompts.errors.isEmpty()) << desk.prompts.errors.join('\n').toStdString();
    // The 33 x 33 square becomes 32 x 32 by dropping its last row and column.
    for (const char* name : {"a.bmp", "a.png", "a.tga"}) {
        const auto file = (dir / name).string();
        expectTopLeft(codecs::readPictureFile(file, *codecs::pictureInputFor(file)).value(), grabbed, 32, name);
    }
    const std::vector<std::uint8_t> ico = test::readBytes(dir / "a.ico");
    // The standard sides up to the picture's: 16, 24 and 32, the last entry 32 x 32.
    ASSERT_GE(ico.size(), 6u + 3 * 16);
    const std::size_t last = 6 + 16 * (static_cast<std::size_t>(ico[4]) - 1);
    EXPECT_EQ(ico[6], 16);
    EXPECT_EQ(ico[last], 32);
    EXPECT_EQ(ico[last + 1], 32);

    // "16x16 Icon": 16 x 16; a size typed in: that size.
    control<QRadioButton>(d, "radioSmall")->setChecked(true);
    desk.prompts.saveAnswers << gui::SaveChoice {qtPath(dir / "small.png"), 9};
    click(d, "spbSave");
    const auto small = (dir / "small.png").string();
    EXPECT_EQ(codecs::readPictureFile(small, *codecs::pictureInputFor(small)).value().width, 16);
    control<QRadioButton>(d, "radioOther")->setChecked(true);
    control<QLineEdit>(d, "editWidth")->setText("40");
    control<QLineEdit>(d, "editHeight")->setText("20");
    desk.prompts.saveAnswers << gui::SaveChoice {qtPath(dir / "other.bmp"), 1};
    click(d, "spbSave");
    const auto other = (dir / "other.bmp").string();
    const codecs::Picture otherPicture = codecs::readPictureFile(other, *codecs::pictureInputFor(other)).value();
    EXPECT_EQ(std::pair(otherPicture.width, otherPicture.height), std::pair(40, 20));

    // A name no writer knows under a save-by-extension entry: said, not silently dropped.
    desk.prompts.saveAnswers << gui::SaveChoice {qtPath(dir / "a.xyz"), 6};
    click(d, "spbSave");
    EXPECT_FALSE(fs::exists(dir / "a.xyz"));
    ASSERT_EQ(desk.prompts.errors.size(), 1);
    EXPECT_TRUE(desk.prompts.errors[0].startsWith("Unknown picture file extension"))
        << desk.prompts.errors[0].toStdString();
    // A cancelled save dialog writes nothing and says nothing.
    click(d, "spbSave");
    EXPECT_EQ(desk.prompts.errors.size(), 1);

    // Copy: the picture at the chosen size on the clipboard.
    control<QRadioButton>(d, "radioLarge")->setChecked(true);
    QGuiApplication::clipboard()->clear();
    click(d, "spbClipboard");
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(32, 32));
    expectTopLeft(gui::pictureFromImage(copied), grabbed, 32, "clipboard");
}

// Run by ctest under Xvfb; offscreen there is no screen to grab.
TEST(CaptureOverlay, GrabsTheSquareUnderThePointerFromTheScreen)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) GTEST_SKIP() << "needs a display (Xvfb)";

    // A window showing a known icon, drawn as the program draws it.
    const auto icon = platform::extractIcon(test::fixture("icons64.dll").string(), 0);
    ASSERT_TRUE(icon);
    codecs::ImageBuffer buffer;
    buffer.drawIcon(*icon);
    const codecs::Picture known = buffer.picture();
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setStyleSheet("background: rgb(10, 200, 30)");
    window.setGeometry(300, 200, 120, 90);
    auto* label = new QLabel(&window);
    label->setPixmap(QPixmap::fromImage(gui::toQImage(known)));
    label->setGeometry(40, 30, 32, 32);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Until the X server shows the label's corners, the still would not hold it.
    const QImage shown = gui::toQImage(known);
    ASSERT_TRUE(waitUntil([&] {
        const QPoint at = label->mapToGlobal(QPoint(0, 0));
        const QImage screen = window.screen()->grabWindow(0, at.x(), at.y(), 32, 32).toImage();
        return screen.size() == QSize(32, 32) && (screen.pixel(0, 0) & 0xFFFFFFu) == (shown.pixel(0, 0) & 0xFFFFFFu) &&
               (screen.pixel(31, 31) & 0xFFFFFFu) == (shown.pixel(31, 31) & 0xFFFFFFu);
    }));

    gui::OverlayCaptureBackend backend;
    backend.setGrabDelay(50);
    backend.setCaptureProperty(desktop::captureProperty::kWidth, 33);
    backend.setCaptureProperty(desktop::captureProperty::kHeight, 33);
    int status = -1;
    codecs::Picture got;
    auto report = [&](int s, const codecs::Picture* p) {
        status = s;
        if (p) got = *p;
    };
    ASSERT_TRUE(backend.startCapture(desktop::CaptureMode::tcmFixedRegion, report)) << backend.lastError();
    ASSERT_TRUE(waitUntil([&] { return backend.overlay() && backend.overlay()->isVisible(); })) << backend.lastError();
    gui::CaptureOverlay* overlay = backend.overlay();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(overlay));
    // The pointer over the middle of the icon: the square starts at its top left.
    const QPoint middle = overlay->mapFromGlobal(label->mapToGlobal(QPoint(16, 16)));
    QTest::mouseMove(overlay, middle);
    EXPECT_EQ(overlay->captureRect(), QRect(label->mapToGlobal(QPoint(0, 0)), QSize(33, 33)));
    QTest::mouseClick(overlay, Qt::LeftButton, {}, middle);
    ASSERT_TRUE(waitUntil([&] { return status != -1; }));
    EXPECT_EQ(status, 1);
    expectTopLeft(
        [&] {
            codecs::Picture top = codecs::Picture::make(32, 32);
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) top.setPixel(x, y, got.pixel(x, y));
            return top;
        }(),
        known, 32, "grab");
    EXPECT_EQ(std::pair(got.width, got.height), std::pair(33, 33));
    // The spare column is the window's background.
    EXPECT_EQ(got.pixel(32, 5), (codecs::Bgr {30, 200, 10}));
    EXPECT_TRUE(waitUntil([&] { return !backend.overlay(); }));

    // Escape cancels with status 0 and no picture.
    status = -1;
    got = {};
    ASSERT_TRUE(backend.startCapture(desktop::CaptureMode::tcmFixedRegion, report));
    ASSERT_TRUE(waitUntil([&] { return backend.overlay() && backend.overlay()->isVisible(); }));
    QTest::keyClick(backend.overlay(), Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return status != -1; }));
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(got.empty());
}

// The whole way, under Xvfb: menuCapture's dialog, the program's own backend,
// a click on an icon shown on the screen, and the 32 x 32 file saved from it.
TEST(CaptureOverlay, TheDialogCapturesAnIconFromTheScreenAndSavesIt)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) GTEST_SKIP() << "needs a display (Xvfb)";

    const auto icon = platform::extractIcon(test::fixture("library.icl").string(), 1);
    ASSERT_TRUE(icon);
    codecs::ImageBuffer buffer;
    buffer.drawIcon(*icon);
    const codecs::Picture known = buffer.picture();
    QLabel shown;
    shown.setWindowFlag(Qt::FramelessWindowHint);
    shown.setPixmap(QPixmap::fromImage(gui::toQImage(known)));
    shown.setGeometry(1000, 700, 32, 32);
    shown.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown));

    Desktop desk;
    TempDir dir;
    desk.window.move(20, 20);
    auto* d = desk.open<CaptureDialog>("menuCapture");
    ASSERT_TRUE(d);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(d));
    auto& backend = dynamic_cast<gui::OverlayCaptureBackend&>(gui::overlayCaptureBackend());
    click(d, "spbCapture");
    EXPECT_TRUE(desk.window.windowState() & Qt::WindowMinimized);
    ASSERT_TRUE(waitUntil([&] { return backend.overlay() && backend.overlay()->isVisible(); })) << backend.lastError();
    gui::CaptureOverlay* overlay = backend.overlay();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(overlay));
    const QPoint middle = overlay->mapFromGlobal(shown.mapToGlobal(QPoint(16, 16)));
    QTest::mouseMove(overlay, middle);
    QTest::mouseClick(overlay, Qt::LeftButton, {}, middle);
    ASSERT_TRUE(waitUntil([&] { return !d->captured().empty(); }));
    EXPECT_FALSE(desk.window.windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(d->windowState() & Qt::WindowMinimized);
    EXPECT_EQ(std::pair(d->captured().width, d->captured().height), std::pair(33, 33));
    EXPECT_EQ(control<QLabel>(d, "imgCapture")->pixmap().size(), QSize(33, 33));

    desk.prompts.saveAnswers << gui::SaveChoice {qtPath(dir / "icon.png"), 9};
    click(d, "spbSave");
    const auto file = (dir / "icon.png").string();
    expectTopLeft(codecs::readPictureFile(file, *codecs::pictureInputFor(file)).value(), known, 32, "saved");
    EXPECT_TRUE(desk.prompts.errors.isEmpty()) << desk.prompts.errors.join('\n').toStdString();
}
