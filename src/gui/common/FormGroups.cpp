#include "gui/common/FormGroups.h"

#include "gui/common/UpDownEdit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <utility>

namespace vextral::gui {

QLineEdit* namedEdit(const char* name, const QString& text, QWidget* parent)
{
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QGroupBox* sizeGroup(const QString& title, const QString& start, int highest, bool pixels, SizeEdits& edits,
                     QWidget* parent)
{
    auto* group = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(group);
    edits.width = namedEdit("editWidth", start, group);
    edits.height = namedEdit("editHeight", start, group);
    const std::pair<const char*, QLineEdit*> rows[] = {{"&Width:", edits.width}, {"&Height:", edits.height}};
    for (int i = 0; i < 2; ++i) {
        auto* label = new QLabel(QLatin1String(rows[i].first), group);
        label->setBuddy(rows[i].second);
        // In its up-down box the field is no sibling of its label, where a screen reader would look.
        rows[i].second->setAccessibleName(QString::fromLatin1(rows[i].first).remove(QLatin1Char('&')).chopped(1));
        grid->addWidget(label, i, 0);
        grid->addWidget(upDownEdit(rows[i].second, 0, highest, group), i, 1);
        if (pixels) grid->addWidget(new QLabel(QStringLiteral("Pixels"), group), i, 2);
    }
    return group;
}

QGroupBox* rangeGroup(const QString& title, const QString& allCaption, const char* allName, const char* fromName,
                      RangeControls& controls, QWidget* parent)
{
    auto* group = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(group);
    const auto radio = [group](const QString& caption, const char* name) {
        auto* r = new QRadioButton(caption, group);
        r->setObjectName(QLatin1String(name));
        return r;
    };
    controls.all = radio(allCaption, allName);
    controls.all->setChecked(true);
    controls.selected = radio(QStringLiteral("S&elected icons"), "radioSelected");
    controls.shown = radio(QStringLiteral("Show&n icons"), "radioShown");
    grid->addWidget(controls.all, 0, 0, 1, 4);
    grid->addWidget(controls.selected, 1, 0, 1, 4);
    grid->addWidget(controls.shown, 2, 0, 1, 4);
    if (!fromName) return group;
    controls.from = radio(QStringLiteral("&From"), fromName);
    controls.bottom = namedEdit("editBottom", QString(), group);
    controls.top = namedEdit("editTop", QString(), group);
    grid->addWidget(controls.from, 3, 0);
    grid->addWidget(controls.bottom, 3, 1);
    auto* to = new QLabel(QStringLiteral("&To"), group);
    to->setBuddy(controls.top);
    grid->addWidget(to, 3, 2);
    grid->addWidget(controls.top, 3, 3);
    return group;
}

void chooseStartRange(const RangeControls& controls, const IconPositions& positions)
{
    if (positions.selected && positions.selected().size() > 1) controls.selected->setChecked(true);
}

std::optional<std::vector<int>> checkedPositions(const RangeControls& controls, const IconPositions& positions)
{
    const auto read = [](const std::function<std::vector<int>()>& source) {
        return source ? source() : std::vector<int>();
    };
    if (controls.selected->isChecked()) return read(positions.selected);
    if (controls.shown->isChecked()) return read(positions.shown);
    return std::nullopt;
}

} // namespace vextral::gui
