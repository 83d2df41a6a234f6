#include "gui/common/PictureImage.h"

namespace vextral::gui {

QImage toQImage(const codecs::Picture& picture)
{
    const codecs::Picture rgb = codecs::to24Bit(picture);
    const QImage view(rgb.pixels.data(), rgb.width, rgb.height, static_cast<qsizetype>(rgb.stride()),
                      QImage::Format_BGR888);
    return view.copy(); // the pixels stay with the image, not with the picture they came from
}

} // namespace vextral::gui
