#include "gui/app/StatusPanels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QStatusBar>

#include <algorithm>

namespace vextral::gui {

// A panel that shows as much of its text as fits, with "…" for the rest,
// and the whole text as its tool tip when it is cut. Its width comes from
// the layout, never from the text.
class ElidingLabel final : public QLabel {
public:
    ElidingLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    const QString& fullText() const { return full_; }
    void setFullText(const QString& text)
    {
        full_ = text;
        fit();
    }

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QLabel::resizeEvent(e);
        fit();
    }

private:
    void fit()
    {
        const int room = contentsRect().width() - 2 * margin() - 2 * indent() - 2;
        const QString shown = fontMetrics().elidedText(full_, mode_, std::max(room, 0));
        setText(shown);
        setToolTip(shown == full_ ? QString() : full_);
    }

    Qt::TextElideMode mode_;
    QString full_;
};

namespace {

// The panels' least widths, and their widths at the window's first size: the
// file name has room for a system library's ("Filename:shell32_300.dll").
constexpr int kHintWidth = 250;
constexpr int kFileWidth = 221;
constexpr int kIndexWidth = 76;
constexpr int kPositionWidth = 61;

void makePanel(QLabel* panel, int number, int width)
{
    panel->setObjectName(QStringLiteral("statusPanel%1").arg(number));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setTextFormat(Qt::PlainText);
    panel->setMinimumWidth(width);
}

} // namespace

StatusPanels::StatusPanels(QStatusBar* bar) : QWidget(bar)
{
    bar->setObjectName(QStringLiteral("status"));
    // The panels lie side by side in a row of their own that fills the bar,
    // so no panel ever lies over another. The window is resized by its
    // frame: a size grip would lie over the last panel.
    bar->setSizeGripEnabled(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    hint_ = new ElidingLabel(Qt::ElideRight, this);
    file_ = new ElidingLabel(Qt::ElideMiddle, this);
    index_ = new QLabel(this);
    position_ = new QLabel(this);
    makePanel(hint_, 0, kHintWidth);
    makePanel(file_, 1, kFileWidth);
    makePanel(index_, 2, kIndexWidth);
    makePanel(position_, 3, kPositionWidth);
    // What the window's width leaves beyond the least widths goes to the
    // hint and the file name, in the proportion of their first widths.
    layout->addWidget(hint_, kHintWidth);
    layout->addWidget(file_, kFileWidth);
    layout->addWidget(index_);
    layout->addWidget(position_);
    index_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    position_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setFitted(index_, kIndexWidth, QString());
    setFitted(position_, kPositionWidth, QString());
    bar->addWidget(this, 1);
    bar_ = bar;
    holdBarWidth();
}

void StatusPanels::holdBarWidth()
{
    // The bar, and so the window, is never narrower than the panels' least
    // widths: no panel lies over another.
    bar_->setMinimumWidth(layout()->minimumSize().width() + bar_->sizeHint().width() - sizeHint().width());
}

void StatusPanels::setFitted(QLabel* panel, int designedWidth, const QString& text)
{
    panel->setText(text);
    const int needed = panel->fontMetrics().horizontalAdvance(text) + 2 * panel->frameWidth() + 8;
    const int width = std::max(designedWidth, needed);
    if (width == panel->width() && width == panel->minimumWidth()) return;
    panel->setFixedWidth(width);
    if (bar_) holdBarWidth();
}

void StatusPanels::showHint(const QString& hint) { hint_->setFullText(hint); }

void StatusPanels::showIcon(const QString& fileName, int iconIndex, int position)
{
    file_->setFullText(QStringLiteral("Filename:") + fileName);
    setFitted(index_, kIndexWidth, QStringLiteral("Index:") + QString::number(iconIndex));
    setFitted(position_, kPositionWidth, QStringLiteral("No:") + QString::number(position));
}

void StatusPanels::clearIcon()
{
    file_->setFullText(QString());
    setFitted(index_, kIndexWidth, QString());
    setFitted(position_, kPositionWidth, QString());
}

} // namespace vextral::gui
