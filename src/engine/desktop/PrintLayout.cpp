#include "desktop/PrintLayout.h"

#include "core/Error.h"

#include <utility>

namespace vextral::desktop {

namespace {

[[noreturn]] void noIcon() { throw Error("No icon."); }

} // namespace

PrintRange allIcons(int iconCount)
{
    if (iconCount <= 0) noIcon();
    return {0, iconCount, {}};
}

PrintRange iconRange(std::int32_t from, std::int32_t to, int iconCount)
{
    if (from < 1 || to < from || to > iconCount) noIcon();
    return {static_cast<int>(from - 1), static_cast<int>(to), {}};
}

PrintRange chosenIcons(const std::vector<int>& positions, int iconCount)
{
    PrintRange range;
    for (const int i : positions) {
        if (i >= 0 && i < iconCount) range.positions.push_back(i);
    }
    if (range.positions.empty()) noIcon();
    return range;
}

SheetLayout::SheetLayout(PrintRange range, const SheetValues& values) : range_(std::move(range)), v_(values)
{
    if (range_.positions.empty() && (range_.first < 0 || range_.end <= range_.first)) noIcon();
}

PlacedIcon SheetLayout::next()
{
    if (printed_ == 0) {
        y_ = v_.topPadding;
    } else if (column_ == 0) {
        // A new row: below the last one, or at the top of a new page.
        if (v_.iconPadding + last_.bottom + v_.iconHeight > v_.pageHeight) {
            ++page_;
            y_ = v_.topPadding;
        } else {
            y_ += v_.iconHeight;
        }
    }
    const std::int64_t x = column_ == 0 ? v_.leftPadding : last_.right + v_.iconPadding;
    last_ = {x, y_, x + v_.iconWidth, y_ + v_.iconHeight};
    const int index =
        range_.positions.empty() ? range_.first + printed_ : range_.positions[static_cast<std::size_t>(printed_)];
    PlacedIcon placed {index, page_, last_};
    ++printed_;
    ++column_;
    // The row goes on while the next icon fits and the columns value allows it.
    if (v_.iconPadding + last_.right + v_.iconWidth > v_.pageWidth || column_ > v_.columns) column_ = 0;
    return placed;
}

std::vector<PlacedIcon> layOutSheet(PrintRange range, const SheetValues& values)
{
    SheetLayout layout(std::move(range), values);
    std::vector<PlacedIcon> placed;
    placed.reserve(static_cast<std::size_t>(layout.total()));
    while (!layout.done()) placed.push_back(layout.next());
    return placed;
}

} // namespace vextral::desktop
