#include "gui/iconlist/IconBrowser.h"

#include "gui/iconlist/IconItemDelegate.h"
#include "gui/iconlist/IconListModel.h"
#include "gui/iconlist/IconMimeData.h"
#include "gui/iconlist/IconPictures.h"

#include "core/Error.h"
#include "harvest/IconQuery.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace vextral::gui {

namespace {

// Typing in the filter field waits this long for the next key before the
// list is filtered again.
constexpr int kFilterMilliseconds = 150;
// Decoded pictures arriving close together are painted together.
constexpr int kRepaintMilliseconds = 30;
constexpr int kWheelStep = 120;

// The rows with any of their cells selected, each once, ascending: the list
// view selects a row's first cell, the details view the whole row.
std::vector<int> selectedRowsOf(const QItemSelectionModel& selection)
{
    std::vector<int> rows;
    for (const QModelIndex& i : selection.selectedIndexes()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

// The images column reads from its start: the largest images come first.
class ImagesDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideRight;
    }
};

} // namespace

// The folder of the files that drags and copies hand out: kept while the
// program runs (a file manager may read them when it likes), one subfolder
// per hand-out, so no hand-out replaces another's files.
class IconBrowser::HandOutDir {
public:
    QString next()
    {
        if (!root_.isValid()) return {};
        const QString path = root_.path() + QStringLiteral("/%1").arg(++count_);
        return QDir().mkpath(path) ? path : QString();
    }

private:
    QTemporaryDir root_ {QDir::tempPath() + QStringLiteral("/vextral-icons-XXXXXX")};
    int count_ = 0;
};

IconBrowser::IconBrowser(const IconCatalogue& catalogue, QWidget* parent)
    : QWidget(parent), catalogue_(catalogue), handOut_(new HandOutDir)
{
    setObjectName(QStringLiteral("IconBrowser"));
    model_ = new IconListModel(catalogue, this);
    pictures_ = new IconPictures(catalogue, this);

    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("edtFilter"));
    filter_->setPlaceholderText(QStringLiteral("Filter: file name or path, has 256, 32-bit"));
    filter_->setClearButtonEnabled(true);
    filter_->setAccessibleName(QStringLiteral("Filter icons"));
    filter_->setToolTip(QStringLiteral("Show only the icons whose source path holds every word typed;\n"
                                       "\"has 48\" keeps icons with a 48 x 48 image, \"32-bit\" those with a "
                                       "32-bit image"));
    filter_->setStatusTip(QStringLiteral("Filter the icon list"));
    order_ = new QComboBox(this);
    order_->setObjectName(QStringLiteral("cmbOrder"));
    order_->setAccessibleName(QStringLiteral("Order of icons"));
    order_->setStatusTip(QStringLiteral("Order of the icon list"));
    order_->view()->setAccessibleName(QStringLiteral("Orders of icons"));
    order_->addItems({QStringLiteral("Harvest order"), QStringLiteral("Source file"), QStringLiteral("Largest image")});

    list_ = new QListView;
    list_->setObjectName(QStringLiteral("ListIcon"));
    list_->setToolTip(QStringLiteral("Extracted icon list"));
    list_->setStatusTip(QStringLiteral("Extracted icon list"));
    list_->setAccessibleName(QStringLiteral("Extracted icon list"));
    list_->setAccessibleDescription(QStringLiteral("The icons harvested, in the order they were found"));
    list_->setModel(model_);
    listDelegate_ = new IconItemDelegate(*pictures_, list_);
    list_->setItemDelegate(listDelegate_);
    list_->setUniformItemSizes(true);
    // Laid out in one pass (a hundred thousand icons take a few milliseconds):
    // a batched layout would pull the scroll position back into the first
    // batch each time the list is laid out anew (a resize, a change of view).
    list_->setLayoutMode(QListView::SinglePass);
    list_->setMovement(QListView::Static);
    list_->setResizeMode(QListView::Adjust);

    details_ = new QTreeView;
    details_->setObjectName(QStringLiteral("TreeIcon"));
    details_->setAccessibleName(QStringLiteral("Extracted icon details"));
    details_->setStatusTip(QStringLiteral("Extracted icon list"));
    details_->setModel(model_);
    details_->setSelectionModel(list_->selectionModel());
    detailsDelegate_ = new IconItemDelegate(*pictures_, details_);
    details_->setItemDelegateForColumn(IconListModel::PictureColumn, detailsDelegate_);
    details_->setItemDelegateForColumn(IconListModel::ImagesColumn, new ImagesDelegate(details_));
    details_->setRootIsDecorated(false);
    details_->setItemsExpandable(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->setTextElideMode(Qt::ElideMiddle);
    details_->header()->setAccessibleName(QStringLiteral("Icon detail columns"));
    details_->header()->setStretchLastSection(false);
    details_->header()->setSectionResizeMode(IconListModel::ImagesColumn, QHeaderView::Stretch);
    details_->setColumnWidth(IconListModel::SourceColumn, 260);
    details_->setColumnWidth(IconListModel::IndexColumn, 60);
    details_->setColumnWidth(IconListModel::LargestColumn, 90);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(details_)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setDragEnabled(true);
        view->setDragDropMode(QAbstractItemView::DragOnly);
        view->setDefaultDropAction(Qt::CopyAction);
        view->viewport()->installEventFilter(this);
    }
    pictures_->setBackground(list_->palette().color(QPalette::Base));
    model_->setMimeMaker([this](const std::vector<int>& positions) -> QMimeData* {
        const QString folder = handOutFolder();
        if (folder.isEmpty()) return nullptr;
        try {
            return iconMimeData(catalogue_, positions, zoom_, folder);
        } catch (const Error&) {
            return nullptr; // nothing to drag; a copy says why itself
        }
    });

    stack_ = new QStackedWidget(this);
    stack_->addWidget(list_);
    stack_->addWidget(details_);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 2);
    top->addWidget(filter_, 1);
    top->addWidget(order_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top);
    layout->addWidget(stack_, 1);

    zoomControl_ = new QWidget(this);
    zoomControl_->setObjectName(QStringLiteral("ZoomControl"));
    auto* zoomRow = new QHBoxLayout(zoomControl_);
    zoomRow->setContentsMargins(4, 0, 4, 0);
    slider_ = new QSlider(Qt::Horizontal, zoomControl_);
    slider_->setObjectName(QStringLiteral("sldZoom"));
    slider_->setAccessibleName(QStringLiteral("Icon size"));
    slider_->setToolTip(QStringLiteral("Icon size (Ctrl+wheel, Ctrl++ and Ctrl+-)"));
    slider_->setRange(0, static_cast<int>(std::size(kZoomSides)) - 1);
    slider_->setPageStep(1);
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setFixedWidth(110);
    zoomLabel_ = new QLabel(zoomControl_);
    zoomLabel_->setObjectName(QStringLiteral("lblZoom"));
    zoomLabel_->setMinimumWidth(zoomLabel_->fontMetrics().horizontalAdvance(QStringLiteral("256 px")) + 4);
    zoomRow->addWidget(slider_);
    zoomRow->addWidget(zoomLabel_);
    counts_ = new QLabel(this);
    counts_->setObjectName(QStringLiteral("lblCounts"));
    counts_->setContentsMargins(6, 0, 2, 0);

    // The list's own status row: the counts, then the zoom.
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(0, 1, 0, 1);
    bottom->addWidget(counts_, 1);
    bottom->addWidget(zoomControl_);
    layout->addLayout(bottom);

    filterTimer_ = new QTimer(this);
    filterTimer_->setSingleShot(true);
    filterTimer_->setInterval(kFilterMilliseconds);
    repaint_ = new QTimer(this);
    repaint_->setSingleShot(true);
    repaint_->setInterval(kRepaintMilliseconds);

    connect(filter_, &QLineEdit::textChanged, filterTimer_, qOverload<>(&QTimer::start));
    connect(filter_, &QLineEdit::returnPressed, this, &IconBrowser::applyFilter);
    connect(filterTimer_, &QTimer::timeout, this, &IconBrowser::applyFilter);
    connect(order_, &QComboBox::currentIndexChanged, this,
            [this](int index) { model_->setOrder(static_cast<IconOrder>(std::clamp(index, 0, 2))); });
    connect(slider_, &QSlider::valueChanged, this, [this](int step) {
        setZoom(kZoomSides[std::clamp(step, 0, static_cast<int>(std::size(kZoomSides)) - 1)]);
    });
    connect(pictures_, &IconPictures::pictureReady, repaint_, qOverload<>(&QTimer::start));
    connect(repaint_, &QTimer::timeout, this, [this] { currentView()->viewport()->update(); });
    connect(model_, &IconListModel::shownChanged, this, &IconBrowser::updateCounts);
    connect(model_, &QAbstractItemModel::modelReset, pictures_, [this] {
        if (model_->totalCount() == 0) pictures_->clear();
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                // Every icon whose selection changed is shown, the deselected first.
                for (const QModelIndex& i : deselected.indexes())
                    if (i.column() == 0) emit iconShown(model_->positionOf(i.row()));
                for (const QModelIndex& i : selected.indexes())
                    if (i.column() == 0) emit iconShown(model_->positionOf(i.row()));
                // The current icon is the one the panels show at the end.
                if (const int current = selectedIndex(); current >= 0 && !selected.isEmpty()) emit iconShown(current);
                updateCounts();
            });

    setIconLayout(IconLayout::LargeIcon);
    slider_->setValue(nearestZoomStep(zoom_));
    applyZoom();
    updateCounts();
}

IconBrowser::~IconBrowser() { delete handOut_; }

QAbstractItemView* IconBrowser::currentView() const
{
    return layout_ == IconLayout::Details ? static_cast<QAbstractItemView*>(details_) : list_;
}

QItemSelectionModel* IconBrowser::selectionModel() const { return list_->selectionModel(); }

QString IconBrowser::handOutFolder() { return handOut_->next(); }

void IconBrowser::focusFilter()
{
    filter_->setFocus(Qt::ShortcutFocusReason);
    filter_->selectAll();
}

void IconBrowser::applyFilter()
{
    filterTimer_->stop();
    const int current = selectedIndex();
    model_->setFilter(parseIconFilter(filter_->text().toStdString()));
    // The icon the user was on stays current when the filter keeps it.
    if (const int row = model_->rowOf(current); row >= 0) {
        const QModelIndex index = model_->index(row, 0);
        list_->selectionModel()->setCurrentIndex(index,
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        currentView()->scrollTo(index);
    }
}

void IconBrowser::updateCounts()
{
    const int total = model_->totalCount();
    const int shown = model_->rowCount();
    QString text = model_->filtering() ? QStringLiteral("%1 of %2 icons shown").arg(shown).arg(total)
                                       : QStringLiteral("%1 %2").arg(total).arg(total == 1 ? "icon" : "icons");
    const int selected = static_cast<int>(selectedRowsOf(*list_->selectionModel()).size());
    if (selected > 1) text += QStringLiteral(", %1 selected").arg(selected);
    counts_->setAccessibleName(text);
    counts_->setText(text);
}

// The first icon in view: the item nearest the viewport's top left corner.
QModelIndex IconBrowser::firstVisibleIcon() const
{
    QAbstractItemView* view = currentView();
    const QRect area = view->viewport()->rect();
    const int probe = 2 * (zoom_ + 2 * IconItemDelegate::kMargin + 4);
    // Probes across the first cell or two: the point may fall between items.
    for (int y = 0; y < std::min(area.height(), probe); y += 4) {
        for (int x = 0; x < std::min(area.width(), probe); x += 4) {
            const QModelIndex index = view->indexAt(QPoint(x, y));
            if (index.isValid()) return model_->index(index.row(), 0);
        }
    }
    return {};
}

void IconBrowser::setIconLayout(IconLayout layout)
{
    // The icon first in view stays in view.
    const QModelIndex first = firstVisibleIcon();
    layout_ = layout;
    stack_->setCurrentWidget(currentView());
    applyZoom();
    if (first.isValid()) {
        if (layout != IconLayout::Details) list_->doItemsLayout();
        currentView()->scrollTo(first, QAbstractItemView::PositionAtTop);
    }
}

void IconBrowser::setZoom(int side)
{
    const int nearest = kZoomSides[nearestZoomStep(side)];
    if (nearest == zoom_) return;
    const QModelIndex current = currentView()->currentIndex();
    const QModelIndex first = firstVisibleIcon();
    zoom_ = nearest;
    applyZoom();
    const QModelIndex keep = current.isValid() && list_->selectionModel()->isSelected(current) ? current : first;
    if (keep.isValid()) {
        if (layout_ != IconLayout::Details) list_->doItemsLayout();
        currentView()->scrollTo(keep, QAbstractItemView::PositionAtTop);
    }
    emit zoomChanged(zoom_);
}

void IconBrowser::zoomIn() { setZoom(zoomSideAfter(zoom_, 1)); }
void IconBrowser::zoomOut() { setZoom(zoomSideAfter(zoom_, -1)); }

void IconBrowser::applyZoom()
{
    const int cell = zoom_ + 2 * IconItemDelegate::kMargin;
    listDelegate_->setSide(zoom_);
    detailsDelegate_->setSide(zoom_);
    listDelegate_->setNamesShown(layout_ == IconLayout::List);
    list_->setIconSize(QSize(zoom_, zoom_));
    details_->setIconSize(QSize(zoom_, zoom_));
    details_->setColumnWidth(IconListModel::PictureColumn, cell + 4);
    if (layout_ == IconLayout::List) {
        list_->setViewMode(QListView::ListMode);
        list_->setFlow(QListView::TopToBottom);
        list_->setWrapping(true);
        list_->setGridSize(QSize(cell + IconItemDelegate::kNameWidth, cell));
    } else {
        list_->setViewMode(QListView::IconMode);
        list_->setFlow(QListView::LeftToRight);
        list_->setWrapping(true);
        list_->setGridSize(QSize(cell + 4, cell + 4));
        list_->setSpacing(0);
    }
    // A view of the same mode does not lay its items out again by itself.
    list_->doItemsLayout();
    details_->doItemsLayout();
    {
        const QSignalBlocker block(slider_);
        slider_->setValue(nearestZoomStep(zoom_));
    }
    zoomLabel_->setText(QStringLiteral("%1 px").arg(zoom_));
    currentView()->viewport()->update();
}

int IconBrowser::selectedIndex() const
{
    const QItemSelectionModel* selection = list_->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isSelected(model_->index(current.row(), 0)))
        return model_->positionOf(current.row());
    const std::vector<int> positions = selectedPositions();
    return positions.empty() ? -1 : positions.front();
}

std::vector<int> IconBrowser::selectedPositions() const
{
    std::vector<int> positions;
    for (const int row : selectedRowsOf(*list_->selectionModel())) {
        if (const int p = model_->positionOf(row); p >= 0) positions.push_back(p);
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

std::vector<int> IconBrowser::shownPositions() const
{
    std::vector<int> positions;
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (const int p = model_->positionOf(row); p >= 0) positions.push_back(p);
    }
    return positions;
}

void IconBrowser::selectPositions(const std::vector<int>& positions)
{
    QItemSelection selection;
    for (const int p : positions) {
        if (const int row = model_->rowOf(p); row >= 0) selection.select(model_->index(row, 0), model_->index(row, 0));
    }
    list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool IconBrowser::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::Wheel && (watched == list_->viewport() || watched == details_->viewport())) {
        auto* wheel = static_cast<QWheelEvent*>(e);
        if (wheel->modifiers() & Qt::ControlModifier) {
            // A touchpad sends small steps: they add up to one zoom step.
            wheelDelta_ += wheel->angleDelta().y();
            while (wheelDelta_ >= kWheelStep) {
                wheelDelta_ -= kWheelStep;
                zoomIn();
            }
            while (wheelDelta_ <= -kWheelStep) {
                wheelDelta_ += kWheelStep;
                zoomOut();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

} // namespace vextral::gui
