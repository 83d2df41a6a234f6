#pragma once

#include <QDialog>

namespace vextral::gui {

// Help > About: the program's name and version and two links.
class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace vextral::gui
