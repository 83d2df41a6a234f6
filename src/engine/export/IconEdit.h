#pragma once

#include "codecs/ImageBuffer.h"
#include "core/Icon.h"
#include "settings/ColourNames.h"

#include <string>

namespace vextral::exporting {

// The one change besides the size that the icon editor makes.
enum class EditTurn { Angle, VerticalFlip, HorizontalFlip };

// The icon editor's choices, as its controls hold them: the size and angle
// as typed, converted only when a picture is built.
struct IconEdit {
    std::string widthText = "32";
    std::string heightText = "32";
    std::string angleText = "0"; // degrees, counter-clockwise; read only for EditTurn::Angle
    EditTurn turn = EditTurn::Angle;
    settings::Colour background = settings::kWhite;
};

// The JPEG quality of every file the editor writes, whatever the settings say.
constexpr int kEditorJpegQuality = 86;

// Builds the picture the editor writes into buffer, afresh: the icon at
// 32 x 32 over the background colour, stretched to the size typed (the
// aspect ratio is not kept), then turned by the angle or flipped. The texts
// are converted before anything is drawn: one that is not an integer raises
// "'%s' is not a valid integer value" and a side above the picture limit the
// size error, leaving the buffer as it was. Sets the JPEG quality to 86.
void buildEditedIcon(const Icon& icon, const IconEdit& edit, codecs::ImageBuffer& buffer);

} // namespace vextral::exporting
