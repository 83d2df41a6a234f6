#pragma once

#include <cstdint>
#include <vector>

namespace vextral::desktop {

// What the print dialog holds, in printer pixels, and the page it prints on.
struct SheetValues {
    std::int64_t pageWidth = 0;
    std::int64_t pageHeight = 0;
    std::int64_t iconWidth = 100;
    std::int64_t iconHeight = 100;
    std::int64_t columns = 16;     // a row holds columns + 1 icons unless the page ends it first
    std::int64_t iconPadding = 15; // gap between columns; also kept free at the right and bottom edges
    std::int64_t leftPadding = 16;
    std::int64_t topPadding = 16;
};

struct SheetRect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;
    bool operator==(const SheetRect&) const = default;
};

// One printed icon: its catalogue position, the page it lands on (from 0)
// and where on that page.
struct PlacedIcon {
    int index = 0;
    int page = 0;
    SheetRect rect;
};

// The catalogue positions first..end-1 that a print covers: every icon, or
// the range From..To counted from 1; or, when positions is not empty, those
// positions (from 0) in their order. A range that is empty, runs backwards,
// starts before the first icon or reaches past the last one is refused with
// "No icon." (vextral::Error).
struct PrintRange {
    int first = 0;
    int end = 0;
    std::vector<int> positions;
};
PrintRange allIcons(int iconCount);
PrintRange iconRange(std::int32_t from, std::int32_t to, int iconCount);
// The icons chosen by their catalogue positions (from 0), in the list's
// order; positions outside the catalogue are passed over. "No icon." when
// none is left, an empty list among them.
PrintRange chosenIcons(const std::vector<int>& positions, int iconCount);

// Lays the icons of range out row after row, page after page: rows start at
// leftPadding, icons follow iconPadding apart, a row ends after columns + 1
// icons or when the next icon plus iconPadding would pass the page's right
// edge; rows follow at iconHeight, and a row whose bottom plus iconPadding
// plus another row would pass the page's bottom is the page's last, the next
// page starting again at topPadding.
std::vector<PlacedIcon> layOutSheet(PrintRange range, const SheetValues& values);

// The same, one icon at a time, for a print that draws while it lays out.
class SheetLayout {
public:
    SheetLayout(PrintRange range, const SheetValues& values);

    bool done() const { return printed_ >= total(); }
    PlacedIcon next(); // only while !done()
    int printed() const { return printed_; }
    int total() const
    {
        return range_.positions.empty() ? range_.end - range_.first : static_cast<int>(range_.positions.size());
    }

private:
    PrintRange range_;
    SheetValues v_;
    int printed_ = 0;
    int page_ = 0;
    std::int64_t column_ = 0; // icons placed in the current row
    std::int64_t y_ = 0;
    SheetRect last_;
};

} // namespace vextral::desktop
