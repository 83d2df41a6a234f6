#include "settings/OptionsForm.h"
#include "settings/Settings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vextral::settings;
using vextral::test::TempDir;

TEST(BestImageSetting, OffByDefaultReadFromTheIconSectionAndKeptByTheOptionsDialog)
{
    TempDir dir;
    const ProfileFile ini((dir / "Option.ini").string());
    Settings s;
    s.load(ini);
    EXPECT_FALSE(s.bestImage);

    ini.writeString("Icon", "BestImage", "1");
    s.load(ini);
    EXPECT_TRUE(s.bestImage);

    // OK in the options dialog rewrites the Icon section: the switch survives.
    OptionsForm form;
    form.load(ini);
    form.store(ini);
    s.bestImage = false;
    s.load(ini);
    EXPECT_TRUE(s.bestImage);

    ini.writeString("Icon", "BestImage", "0");
    form.load(ini);
    form.store(ini);
    EXPECT_EQ(ini.read().readString("Icon", "BestImage", "absent"), "absent");
    s.load(ini);
    EXPECT_FALSE(s.bestImage);
}
