#include "harvest/IconCatalogue.h"

namespace vextral {

int IconCatalogue::add(const Icon& icon, std::int32_t iconIndex, const std::string& sourceFile)
{
    const int n = itemCount_;
    images_.push_back(icon);
    const auto at = static_cast<std::size_t>(n);
    if (at < records_.size()) {
        records_[at] = IconRecord {iconIndex, sourceFile};
    } else {
        records_.resize(at);
        records_.push_back(IconRecord {iconIndex, sourceFile});
    }
    ++itemCount_;
    return n;
}

} // namespace vextral
