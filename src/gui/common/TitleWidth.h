#pragma once

class QWidget;
class QMessageBox;

namespace vextral::gui {

// The width a window needs for its whole title in a title bar: the caption,
// which window managers draw in a bold face somewhat larger than the
// window's text, beside the window's icon and its buttons.
int titleBarWidth(const QWidget& window);

// Makes a dialog that keeps one size at least as wide as its title needs;
// called once its controls are in place. A dialog given a fixed size is
// widened; one whose layout fixes its size is given a layout row that wide.
void fitTitle(QWidget& dialog);

// The same for a message box, whose layout QMessageBox makes itself.
void fitTitle(QMessageBox& box);

} // namespace vextral::gui
