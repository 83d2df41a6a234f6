// The GUI tests run the real widgets on Qt's offscreen platform; the few
// that need a real display are run under Xvfb with VEXTRAL_GUI_TEST_PLATFORM=xcb.
#include "gui/common/DesktopHandOff.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The programs that tests hand files to (a stand-in opener or editor) end
// soon after; their ends are handled before the program exits, so nothing
// they held is left behind.
class HandOffsEnd final : public ::testing::Environment {
public:
    void TearDown() override
    {
        EXPECT_TRUE(QTest::qWaitFor([] { return vextral::gui::handOffsUnderWay() == 0; }, 10000))
            << vextral::gui::handOffsUnderWay() << " programs handed a file are still running";
    }
};

} // namespace

int main(int argc, char** argv)
{
    const QByteArray platform = qgetenv("VEXTRAL_GUI_TEST_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new HandOffsEnd); // gtest takes it over
    return RUN_ALL_TESTS();
}
