#include "settings/OptionsForm.h"
#include "settings/Settings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vextral::settings;
using vextral::test::TempDir;

TEST(UniqueSetting, ReadFromTheIconSectionAndKeptByTheOptionsDialog)
{
    TempDir dir;
    const ProfileFile ini((dir / "Option.ini").string());
    Settings s;
    s.load(ini);
    EXPECT_FALSE(s.unique);

    ini.writeString("Icon", "Unique", "1");
    s.load(ini);
    EXPECT_TRUE(s.unique);

    // The options dialog rewrites the Icon section; OK keeps the switch on.
    OptionsForm form;
    form.load(ini);
    form.store(ini);
    s.unique = false;
    s.load(ini);
    EXPECT_TRUE(s.unique);

    // Off, the dialog writes no key for it, as before the switch existed.
    ini.writeString("Icon", "Unique", "0");
    form.load(ini);
    form.store(ini);
    EXPECT_EQ(ini.read().readString("Icon", "Unique", "absent"), "absent");
    s.load(ini);
    EXPECT_FALSE(s.unique);
}
