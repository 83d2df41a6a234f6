#include "export/IconEdit.h"

#include "core/Text.h"

namespace vextral::exporting {

void buildEditedIcon(const Icon& icon, const IconEdit& edit, codecs::ImageBuffer& buffer)
{
    const int width = integerFromText(edit.widthText, "Width");
    const int height = integerFromText(edit.heightText, "Height");
    const int angle = edit.turn == EditTurn::Angle ? integerFromText(edit.angleText, "Angle") : 0;
    codecs::checkPictureSize(width, height);

    buffer.setBackground(edit.background);
    buffer.params().jpegQuality = kEditorJpegQuality;
    buffer.drawIcon(icon);
    buffer.resample(width, height);
    switch (edit.turn) {
    case EditTurn::Angle: buffer.rotate(angle); break;
    case EditTurn::VerticalFlip: buffer.flip(1); break;
    case EditTurn::HorizontalFlip: buffer.flip(0); break;
    }
}

} // namespace vextral::exporting
