#pragma once

#include <QString>

class QWidget;

namespace vextral {
class FieldError;
}

namespace vextral::gui {

class Prompts;

// The control whose label (a QLabel with that buddy) reads label, without
// its "&" and final ":"; nothing when the dialog has none or more than one.
QWidget* fieldLabelled(QWidget& dialog, const QString& label);

// Shows a field's error and then puts the focus on the field, the page of
// the dialog that holds it brought to the front: field when given, else the
// one its label names.
void showFieldError(Prompts& prompts, QWidget& dialog, const FieldError& error, QWidget* field = nullptr);

// Puts the focus on field, bringing forward every page that holds it.
void focusField(QWidget* field);

} // namespace vextral::gui
