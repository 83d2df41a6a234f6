#pragma once

#include "gui/iconlist/IconLayout.h"
#include "harvest/IconCatalogue.h"

#include <QWidget>

#include <vector>

class QAbstractItemView;
class QComboBox;
class QItemSelectionModel;
class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;
class QSlider;
class QStackedWidget;
class QTimer;
class QTreeView;

namespace vextral::gui {

class IconItemDelegate;
class IconListModel;
class IconPictures;

// The icon list as the user browses it: a filter field and an order above
// it, then the icons in one of three views (large icons, a list with the
// source files' names, details in columns) that share one model and one
// selection, drawn at a side the user zooms to. Under the icons, the list's
// own status row counts the icons shown and selected and holds the zoom.
class IconBrowser final : public QWidget {
    Q_OBJECT
public:
    explicit IconBrowser(const IconCatalogue& catalogue, QWidget* parent = nullptr);
    ~IconBrowser() override;

    IconListModel& model() { return *model_; }
    IconPictures& pictures() { return *pictures_; }
    QListView* listView() const { return list_; }
    QTreeView* detailsView() const { return details_; }
    QAbstractItemView* currentView() const;
    QItemSelectionModel* selectionModel() const;
    // The zoom slider with its label, and the counts of icons shown and selected.
    QWidget* zoomControl() const { return zoomControl_; }
    QLabel* countsLabel() const { return counts_; }

    void setIconLayout(IconLayout layout);
    IconLayout iconLayout() const { return layout_; }
    // Takes the nearest of kZoomSides; the icon first in view stays in view.
    void setZoom(int side);
    int zoom() const { return zoom_; }
    void zoomIn();
    void zoomOut();
    // Puts the keyboard in the filter field, its text selected.
    void focusFilter();

    // The catalogue position of the current icon when it is selected, else of
    // the first selected one; -1 when none is.
    int selectedIndex() const;
    std::vector<int> selectedPositions() const;
    std::vector<int> shownPositions() const;
    // Shows catalogue positions as the only selection (for commands and tests).
    void selectPositions(const std::vector<int>& positions);

    // Where hand-out files (drags, the clipboard) are written.
    QString handOutFolder();

signals:
    void zoomChanged(int side);
    // The selection changed; position is an icon whose state changed, to show.
    void iconShown(int position);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void applyZoom();
    void applyFilter();
    void updateCounts();
    QModelIndex firstVisibleIcon() const;

    const IconCatalogue& catalogue_;
    IconListModel* model_ = nullptr;
    IconPictures* pictures_ = nullptr;
    IconItemDelegate* listDelegate_ = nullptr;
    IconItemDelegate* detailsDelegate_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QComboBox* order_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QListView* list_ = nullptr;
    QTreeView* details_ = nullptr;
    QWidget* zoomControl_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QLabel* counts_ = nullptr;
    QTimer* filterTimer_ = nullptr;
    QTimer* repaint_ = nullptr;
    IconLayout layout_ = IconLayout::LargeIcon;
    int zoom_ = 32;
    int wheelDelta_ = 0;
    class HandOutDir;
    HandOutDir* handOut_ = nullptr;
};

} // namespace vextral::gui
