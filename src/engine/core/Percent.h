#pragma once

namespace vextral {

// done / total x 100 rounded to the nearest whole number, halves going to the
// even neighbour (12.5 gives 12, 37.5 gives 38); 0 when total is not positive.
constexpr int percent(long long done, long long total)
{
    if (total <= 0) return 0;
    const long long scaled = done * 100;
    long long q = scaled / total;
    const long long twiceRest = 2 * (scaled % total);
    if (twiceRest > total || (twiceRest == total && (q % 2) != 0)) ++q;
    return static_cast<int>(q);
}

} // namespace vextral
