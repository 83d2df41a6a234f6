#pragma once

#include <QImage>

namespace vextral::gui {

// Vextral's own icon (a blue tile holding four harvested icons and the
// harvest arrow), drawn at size x size pixels with a transparent surround.
// Small sizes leave out the arrow so the four icons stay readable.
QImage programIcon(int size);

} // namespace vextral::gui
