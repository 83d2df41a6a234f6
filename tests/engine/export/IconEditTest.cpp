// The icon editor's picture: the icon over the background colour, sized,
// then turned or flipped; its texts converted before anything is drawn.
#include "export/IconEdit.h"

#include "core/Error.h"

#include <gtest/gtest.h>

using namespace vextral;
using namespace vextral::exporting;
using vextral::codecs::Bgr;
using vextral::codecs::ImageBuffer;

namespace {

constexpr Bgr kBlue {255, 0, 0}, kGreen {0, 255, 0}, kRed {0, 0, 255}, kWhite {255, 255, 255};

// A blue pixel in the top left corner and a green left column below it; the
// rest transparent through the mask.
Icon cornerIcon()
{
    Icon icon;
    icon.mask.fill(1);
    for (int y = 0; y < Icon::kSize; ++y) {
        const auto i = static_cast<std::size_t>(y) * Icon::kSize;
        icon.mask[i] = 0;
        icon.colour[i] = y == 0 ? 0x0000FF : 0x00FF00;
    }
    return icon;
}

std::string size(const ImageBuffer& b)
{
    return std::to_string(b.picture().width) + " x " + std::to_string(b.picture().height);
}

} // namespace

TEST(IconEdit, SizeTurnAndFlipOverTheBackground)
{
    ImageBuffer buffer;
    IconEdit edit;
    edit.background = 0x000000FF; // clRed
    buffer.params().jpegQuality = 10;
    buildEditedIcon(cornerIcon(), edit, buffer);
    // Angle 0 at 32 x 32: the icon as it is, red where it is transparent.
    EXPECT_EQ(size(buffer), "32 x 32");
    EXPECT_EQ(buffer.picture().pixel(0, 0), kBlue);
    EXPECT_EQ(buffer.picture().pixel(0, 31), kGreen);
    EXPECT_EQ(buffer.picture().pixel(1, 0), kRed);
    EXPECT_EQ(buffer.picture().pixel(31, 31), kRed);
    EXPECT_EQ(buffer.background(), 0x000000FFu);
    EXPECT_EQ(buffer.params().jpegQuality, 86);

    // A quarter turn counter-clockwise: the left column becomes the bottom row.
    edit.angleText = "90";
    edit.background = settings::kWhite;
    buildEditedIcon(cornerIcon(), edit, buffer);
    EXPECT_EQ(size(buffer), "32 x 32");
    EXPECT_EQ(buffer.picture().pixel(0, 31), kBlue);
    EXPECT_EQ(buffer.picture().pixel(31, 31), kGreen);
    EXPECT_EQ(buffer.picture().pixel(0, 0), kWhite);
    // Clockwise: the top row.
    edit.angleText = "-90";
    buildEditedIcon(cornerIcon(), edit, buffer);
    EXPECT_EQ(buffer.picture().pixel(31, 0), kBlue);
    EXPECT_EQ(buffer.picture().pixel(0, 0), kGreen);

    // Every build starts afresh from the icon: 30 degrees twice is 45 x 44 twice.
    edit.angleText = "30";
    for (int i = 0; i < 2; ++i) {
        buildEditedIcon(cornerIcon(), edit, buffer);
        EXPECT_EQ(size(buffer), "45 x 44");
        EXPECT_EQ(buffer.picture().pixel(44, 0), kWhite);
    }

    // Vertical flip at 16 x 48, the angle box not read: upside down.
    edit.turn = EditTurn::VerticalFlip;
    edit.widthText = "16";
    edit.heightText = "48";
    edit.angleText = "not read";
    buildEditedIcon(cornerIcon(), edit, buffer);
    EXPECT_EQ(size(buffer), "16 x 48");
    EXPECT_EQ(buffer.picture().pixel(0, 47), kBlue);
    EXPECT_EQ(buffer.picture().pixel(0, 0), kGreen);
    EXPECT_EQ(buffer.picture().pixel(15, 47), kWhite);
    // Horizontal flip: left becomes right.
    edit.turn = EditTurn::HorizontalFlip;
    buildEditedIcon(cornerIcon(), edit, buffer);
    EXPECT_EQ(size(buffer), "16 x 48");
    EXPECT_EQ(buffer.picture().pixel(15, 0), kBlue);
    EXPECT_EQ(buffer.picture().pixel(15, 47), kGreen);
    EXPECT_EQ(buffer.picture().pixel(0, 0), kWhite);
}

TEST(IconEdit, TextsThatAreNotIntegersStopTheBuildBeforeItDraws)
{
    ImageBuffer buffer;
    buffer.picture() = codecs::Picture::make(3, 3);
    auto failure = [&](const IconEdit& edit) {
        try {
            buildEditedIcon(cornerIcon(), edit, buffer);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    IconEdit edit;
    edit.widthText = "3x";
    EXPECT_EQ(failure(edit), "Width: '3x' is not a valid integer value");
    edit.widthText = "32";
    edit.heightText = "";
    EXPECT_EQ(failure(edit), "Height: '' is not a valid integer value");
    edit.heightText = "32";
    edit.angleText = "1.5";
    EXPECT_EQ(failure(edit), "Angle: '1.5' is not a valid integer value");
    edit.angleText = "0";
    edit.widthText = "20000";
    EXPECT_EQ(failure(edit), "The picture size 20000 x 32 is too large: each side can be at most 16384 pixels");
    EXPECT_EQ(size(buffer), "3 x 3"); // untouched by all of them
}
