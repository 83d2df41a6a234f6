#include "core/OutputNames.h"

#include <gtest/gtest.h>

namespace {

using vextral::OutputNames;

TEST(OutputNames, TheNumberGoesBeforeTheExtensionOfTheFileNameOnly)
{
    EXPECT_EQ(OutputNames::numbered("dir/a.png", 2), "dir/a (2).png");
    EXPECT_EQ(OutputNames::numbered("app.dll_0.ico", 3), "app.dll_0 (3).ico");
    EXPECT_EQ(OutputNames::numbered("my.folder/README", 2), "my.folder/README (2)");
    EXPECT_EQ(OutputNames::numbered("dir/.png", 2), "dir/.png (2)");
    EXPECT_EQ(OutputNames::numbered(".png", 2), ".png (2)");
}

} // namespace
