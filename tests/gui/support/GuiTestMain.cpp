// The GUI tests run the real widgets on Qt's offscreen platform; the few
// that need a real display are run under Xvfb with VEXTRAL_GUI_TEST_PLATFORM=xcb.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    const QByteArray platform = qgetenv("VEXTRAL_GUI_TEST_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
