#pragma once

#include <QString>

class QGroupBox;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace vextral::gui {

// An edit box with its object name and starting text.
QLineEdit* namedEdit(const char* name, const QString& text, QWidget* parent);

// The picture size group of the dialogs that write pictures: "Width:" and
// "Height:" edits (editWidth, editHeight) with up-down arrows from 0 to
// highest, each followed by "Pixels" when pixels is set.
struct SizeEdits {
    QLineEdit* width = nullptr;
    QLineEdit* height = nullptr;
};
QGroupBox* sizeGroup(const QString& title, const QString& start, int highest, bool pixels, SizeEdits& edits,
                     QWidget* parent);

// The range group of the dialogs that run over the icons: a first choice for
// every icon (checked), and "From" [editBottom] "To" [editTop].
struct RangeControls {
    QRadioButton* all = nullptr;
    QRadioButton* from = nullptr;
    QLineEdit* bottom = nullptr;
    QLineEdit* top = nullptr;
};
QGroupBox* rangeGroup(const QString& title, const QString& allCaption, const char* allName, const char* fromName,
                      RangeControls& controls, QWidget* parent);

} // namespace vextral::gui
