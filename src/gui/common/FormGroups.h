#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

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

// Where "Selected icons" and "Shown icons" find their icons: the main view's
// selected icons and those its list shows after its filter, as catalogue
// positions counted from 0. Asked when a run starts, and once when the dialog
// is given them, for its start choice; an unset one gives no icon.
struct IconPositions {
    std::function<std::vector<int>()> selected;
    std::function<std::vector<int>()> shown;
};

// The range group of the dialogs that run over the icons: a first choice for
// every icon (checked), "Selected icons" (radioSelected), "Shown icons"
// (radioShown) and, given fromName, "From" [editBottom] "To" [editTop].
struct RangeControls {
    QRadioButton* all = nullptr;
    QRadioButton* selected = nullptr;
    QRadioButton* shown = nullptr;
    QRadioButton* from = nullptr; // null, as bottom and top, without a From and To row
    QLineEdit* bottom = nullptr;
    QLineEdit* top = nullptr;
};
QGroupBox* rangeGroup(const QString& title, const QString& allCaption, const char* allName, const char* fromName,
                      RangeControls& controls, QWidget* parent);

// Checks "Selected icons" when more than one icon is selected now; the start
// choice stays otherwise.
void chooseStartRange(const RangeControls& controls, const IconPositions& positions);

// The icons "Selected icons" or "Shown icons" name, read now, when one of
// them is checked (possibly none); nothing for the other choices.
std::optional<std::vector<int>> checkedPositions(const RangeControls& controls, const IconPositions& positions);

} // namespace vextral::gui
