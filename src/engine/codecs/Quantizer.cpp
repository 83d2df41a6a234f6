#include "codecs/Quantizer.h"

namespace vextral::codecs {

Quantizer::Quantizer(const Picture&, int) { table_.push_back({}); }

std::vector<Bgr> Quantizer::paddedTable(int n) const
{
    std::vector<Bgr> out = table_;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

} // namespace vextral::codecs
