#pragma once

#include <QDialogButtonBox>

class QPushButton;

namespace vextral::gui {

// A dialog's row of buttons (OK, Cancel and the like), laid out in the order
// the desktop expects. The first button of AcceptRole becomes the default
// button when the dialog is shown, unless the dialog has another one.
QDialogButtonBox* buttonRow(QWidget* dialog, Qt::Orientation orientation = Qt::Horizontal);

// Adds a button with its object name (how tests and the user guide find it)
// and caption. Its role places it: AcceptRole buttons emit the box's
// accepted(), RejectRole ones rejected(); ActionRole and HelpRole ones only
// their own clicked().
QPushButton* addButton(QDialogButtonBox* row, const char* name, const char* caption, QDialogButtonBox::ButtonRole role);

} // namespace vextral::gui
