#pragma once

class QLineEdit;
class QWidget;

namespace vextral::gui {

// An edit box with up and down arrows beside it that step its number within
// lowest..highest; typed text stays as typed and is converted only when it is
// used (an arrow leaves a text that is no number alone). Returns the box that
// holds the edit and its arrows.
QWidget* upDownEdit(QLineEdit* edit, int lowest, int highest, QWidget* parent);

} // namespace vextral::gui
