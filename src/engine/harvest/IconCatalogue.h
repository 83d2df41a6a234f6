#pragma once

#include "core/Icon.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vextral {

// Where a harvested icon came from.
struct IconRecord {
    std::int32_t iconIndex = 0; // the icon's index within its file
    std::string sourceFile;     // full path of the file
};

// The harvested icons: three parallel structures sharing one index in harvest
// order, as every export, print and desktop feature addresses them:
//   image i   the icon drawn at 32 x 32,
//   item i    the list entry the user sees and selects (it shows image i),
//   record i  the icon's source file and index.
// Clean and a run's start clear items and images, so every feature sees no
// icon; records beyond the new run's count keep what an earlier run left in
// them, addressed by nothing. Nothing limits the size but memory.
class IconCatalogue {
public:
    int imageCount() const { return static_cast<int>(images_.size()); }
    int itemCount() const { return itemCount_; }
    int recordCount() const { return static_cast<int>(records_.size()); }

    const Icon& image(int i) const { return images_.at(static_cast<std::size_t>(i)); }
    const IconRecord& record(int i) const { return records_.at(static_cast<std::size_t>(i)); }

    // Appends icon n = itemCount(): image n, item n and record n. Returns n.
    int add(const Icon& icon, std::int32_t iconIndex, const std::string& sourceFile);

    void clearItems()
    {
        itemCount_ = 0;
        ++generation_;
    }
    void clearImages()
    {
        images_.clear();
        ++generation_;
    }
    // Changes whenever items or images are cleared, so a view that shows them
    // knows to start over rather than append.
    int generation() const { return generation_; }

private:
    std::vector<Icon> images_;
    std::vector<IconRecord> records_;
    int itemCount_ = 0;
    int generation_ = 0;
};

} // namespace vextral
