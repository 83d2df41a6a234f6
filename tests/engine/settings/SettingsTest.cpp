#include "settings/Settings.h"

#include <gtest/gtest.h>

using vextral::FileType;
using vextral::FileTypeSet;
using vextral::settings::Settings;

TEST(Settings, MorePatternsFollowTheFileTypes)
{
    Settings s;
    s.morePatterns = "*.cur,*.ani";
    EXPECT_EQ(s.fileMask(), "*.exe,*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,*.bmp,*.cur,*.ani");
    // After a mask that already ends in a comma, and with no file type at all.
    s.fileTypes.set(FileType::Bmp, false);
    EXPECT_EQ(s.fileMask(), "*.exe,*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,*.cur,*.ani");
    s.fileTypes = FileTypeSet::none();
    EXPECT_EQ(s.fileMask(), "*.cur,*.ani");
}

TEST(Settings, ResourceAndAppleIconFilesJoinTheMaskOnlyWhenSwitchedOn)
{
    // A first start looks for the classic nine, as before.
    Settings s;
    EXPECT_EQ(s.fileMask(), "*.exe,*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,*.bmp");
    s.fileTypes.set(FileType::Res, true);
    s.fileTypes.set(FileType::Icns, true);
    EXPECT_EQ(s.fileMask(), "*.exe,*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,*.bmp,*.res,*.icns");
    s.fileTypes.set(FileType::Bmp, false);
    s.morePatterns = "*.cur";
    EXPECT_EQ(s.fileMask(), "*.exe,*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,*.res,*.icns,*.cur");
    s.fileTypes = FileTypeSet::none();
    s.fileTypes.set(FileType::Icns, true);
    EXPECT_EQ(s.fileMask(), "*.icns,*.cur");
}
