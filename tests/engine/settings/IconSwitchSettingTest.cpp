#include "settings/OptionsForm.h"
#include "settings/Settings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace vextral::settings;
using vextral::test::TempDir;

namespace {

// A switch of the Icon section that the Options menu turns on and off.
struct IconSwitch {
    const char* key;
    bool Settings::*value;
};

void PrintTo(const IconSwitch& iconSwitch, std::ostream* out) { *out << iconSwitch.key; }

class IconSwitchSetting : public ::testing::TestWithParam<IconSwitch> {};

} // namespace

TEST_P(IconSwitchSetting, OffByDefaultReadFromTheIconSectionAndKeptByTheOptionsDialog)
{
    const auto [key, value] = GetParam();
    TempDir dir;
    const ProfileFile ini((dir / "Option.ini").string());
    Settings s;
    s.load(ini);
    EXPECT_FALSE(s.*value);

    ini.writeString("Icon", key, "1");
    s.load(ini);
    EXPECT_TRUE(s.*value);

    // OK in the options dialog rewrites the Icon section: the switch survives.
    OptionsForm form;
    form.load(ini);
    form.store(ini);
    s.*value = false;
    s.load(ini);
    EXPECT_TRUE(s.*value);

    // Off, the dialog writes no key for it, as before the switch existed.
    ini.writeString("Icon", key, "0");
    form.load(ini);
    form.store(ini);
    EXPECT_EQ(ini.read().readString("Icon", key, "absent"), "absent");
    s.load(ini);
    EXPECT_FALSE(s.*value);
}

INSTANTIATE_TEST_SUITE_P(Icon, IconSwitchSetting,
                         ::testing::Values(IconSwitch {"BestImage", &Settings::bestImage},
                                           IconSwitch {"Unique", &Settings::unique}),
                         [](const ::testing::TestParamInfo<IconSwitch>& tested) {
                             return std::string(tested.param.key);
                         });
