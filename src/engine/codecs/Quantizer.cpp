#include "codecs/Quantizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace vextral::codecs {

namespace {

constexpr int kMaxColours = 256; // more entries than this are never asked for
// Distinct colours counted one by one up to this many; a picture of more is
// counted by cells of 6 bits a channel (2^18 cells, about 7 MB of sums).
constexpr std::size_t kMaxDistinct = std::size_t {1} << 17;
constexpr int kFineBits = 6;
// Rounds of Lloyd's refinement at most; most pictures settle in fewer.
constexpr int kRefineRounds = 16;
// Cells of the nearest-entry lists: 5 bits a channel.
constexpr int kListBits = 5;
constexpr std::size_t kListCells = std::size_t {1} << (3 * kListBits);

std::size_t slotOf(std::uint32_t key) { return (key * 2654435761u) >> 23; } // 9 bits: 512 slots

std::size_t listCell(int r, int g, int b)
{
    constexpr int shift = 8 - kListBits;
    return static_cast<std::size_t>((r >> shift) << (2 * kListBits) | (g >> shift) << kListBits | (b >> shift));
}

// A colour of the picture (or the mean of a cell's pixels) with its pixel
// count, and the list cell its pixels lie in.
struct Point {
    double c[3]; // red, green, blue
    double weight;
    std::uint16_t cell;
};

// Calls visit(Bgr) for every pixel, row by row.
template <typename Visit>
void forEachPixel(const Picture& picture, Visit&& visit)
{
    for (int y = 0; y < picture.height; ++y) {
        if (picture.bits == 1) {
            for (int x = 0; x < picture.width; ++x) {
                if (!visit(picture.pixel(x, y))) return;
            }
            continue;
        }
        const std::uint8_t* p = picture.row(y);
        for (int x = 0; x < picture.width; ++x, p += 3) {
            if (!visit(Bgr {p[0], p[1], p[2]})) return;
        }
    }
}

// The picture's distinct colours with their counts, in the order first met;
// empty when there are more than kMaxDistinct.
std::vector<Point> distinctColours(const Picture& picture)
{
    std::vector<std::uint32_t> keys(1024, 0), counts(1024, 0);
    std::vector<std::uint32_t> order; // slots, in the order their colours were met
    std::size_t mask = keys.size() - 1;
    const auto slotFor = [&](std::uint32_t key) {
        std::size_t slot = (key * 2654435761u) & mask;
        while (keys[slot] != 0 && keys[slot] != key) slot = (slot + 1) & mask;
        return slot;
    };
    std::uint32_t lastKey = 0;
    std::size_t lastSlot = 0;
    bool fits = true;
    forEachPixel(picture, [&](Bgr c) {
        const std::uint32_t key = c.rgb() + 1;
        if (key == lastKey) {
            ++counts[lastSlot];
            return true;
        }
        std::size_t slot = slotFor(key);
        if (keys[slot] == 0) {
            if (order.size() == kMaxDistinct) return fits = false;
            if (2 * (order.size() + 1) > keys.size()) {
                // Twice the room, the colours in their slots again.
                std::vector<std::uint32_t> oldKeys(keys.size() * 2, 0), oldCounts(keys.size() * 2, 0);
                oldKeys.swap(keys);
                oldCounts.swap(counts);
                mask = keys.size() - 1;
                for (std::uint32_t& s : order) {
                    const std::size_t to = slotFor(oldKeys[s]);
                    keys[to] = oldKeys[s];
                    counts[to] = oldCounts[s];
                    s = static_cast<std::uint32_t>(to);
                }
                slot = slotFor(key);
            }
            keys[slot] = key;
            order.push_back(static_cast<std::uint32_t>(slot));
        }
        ++counts[slot];
        lastKey = key;
        lastSlot = slot;
        return true;
    });
    if (!fits) return {};
    std::vector<Point> points;
    points.reserve(order.size());
    for (const std::uint32_t s : order) {
        const Bgr c = Bgr::fromRgb(keys[s] - 1);
        points.push_back({{static_cast<double>(c.r), static_cast<double>(c.g), static_cast<double>(c.b)},
                          static_cast<double>(counts[s]),
                          static_cast<std::uint16_t>(listCell(c.r, c.g, c.b))});
    }
    return points;
}

// The picture's pixels by cells of kFineBits a channel: each occupied cell
// as the mean of its pixels, in cell order.
std::vector<Point> cellMeans(const Picture& picture)
{
    constexpr int shift = 8 - kFineBits;
    constexpr std::size_t cells = std::size_t {1} << (3 * kFineBits);
    std::vector<std::uint32_t> count(cells, 0);
    std::vector<std::uint64_t> sums(cells * 3, 0);
    forEachPixel(picture, [&](Bgr c) {
        const std::size_t cell =
            static_cast<std::size_t>((c.r >> shift) << (2 * kFineBits) | (c.g >> shift) << kFineBits | (c.b >> shift));
        ++count[cell];
        sums[3 * cell] += c.r;
        sums[3 * cell + 1] += c.g;
        sums[3 * cell + 2] += c.b;
        return true;
    });
    std::vector<Point> points;
    for (std::size_t cell = 0; cell < cells; ++cell) {
        if (count[cell] == 0) continue;
        const double n = count[cell];
        const int r = static_cast<int>(cell >> (2 * kFineBits)) << shift;
        const int g = static_cast<int>((cell >> kFineBits) & ((1u << kFineBits) - 1)) << shift;
        const int b = static_cast<int>(cell & ((1u << kFineBits) - 1)) << shift;
        points.push_back({{static_cast<double>(sums[3 * cell]) / n, static_cast<double>(sums[3 * cell + 1]) / n,
                           static_cast<double>(sums[3 * cell + 2]) / n},
                          n,
                          static_cast<std::uint16_t>(listCell(r, g, b))});
    }
    return points;
}

// Weighted sums of a set of points, for its squared error about its mean.
struct Moments {
    double w = 0, s[3] = {0, 0, 0}, q = 0;
    void add(const Point& p)
    {
        w += p.weight;
        for (int c = 0; c < 3; ++c) {
            s[c] += p.weight * p.c[c];
            q += p.weight * p.c[c] * p.c[c];
        }
    }
    double error() const
    {
        if (w <= 0) return 0;
        return std::max(0.0, q - (s[0] * s[0] + s[1] * s[1] + s[2] * s[2]) / w);
    }
};

// Boxes of points over one array of point numbers: box i holds
// order[begin, end). Each box knows its best cut, found when it is made.
class BoxCutter {
public:
    BoxCutter(const std::vector<Point>& points, int colours) : points_(points), order_(points.size())
    {
        std::iota(order_.begin(), order_.end(), 0u);
        boxes_.push_back(measured(0, order_.size()));
        while (static_cast<int>(boxes_.size()) < colours) {
            std::size_t chosen = boxes_.size();
            double best = 0;
            for (std::size_t i = 0; i < boxes_.size(); ++i) {
                if (boxes_[i].gain > best) {
                    best = boxes_[i].gain;
                    chosen = i;
                }
            }
            if (chosen == boxes_.size()) break;
            const Box box = boxes_[chosen];
            sortAlong(box.begin, box.end, box.channel);
            boxes_[chosen] = measured(box.begin, box.at);
            boxes_.push_back(measured(box.at, box.end));
        }
    }

    // The box each point lies in.
    std::vector<int> membership() const
    {
        std::vector<int> box(points_.size(), 0);
        for (std::size_t i = 0; i < boxes_.size(); ++i) {
            for (std::size_t k = boxes_[i].begin; k < boxes_[i].end; ++k) box[order_[k]] = static_cast<int>(i);
        }
        return box;
    }
    std::size_t count() const { return boxes_.size(); }

private:
    struct Box {
        std::size_t begin = 0, end = 0;
        int channel = 0;    // of the best cut
        std::size_t at = 0; // the upper half starts here once sorted along channel
        double gain = 0;    // how much the cut lowers the squared error; 0: none
    };

    void sortAlong(std::size_t begin, std::size_t end, int channel)
    {
        std::sort(order_.begin() + static_cast<std::ptrdiff_t>(begin),
                  order_.begin() + static_cast<std::ptrdiff_t>(end), [&](std::uint32_t a, std::uint32_t b) {
                      const double ca = points_[a].c[channel], cb = points_[b].c[channel];
                      return ca < cb || (ca == cb && a < b);
                  });
    }

    // The box of order[begin, end) with its best cut: along each channel,
    // every place between two different values, the one that leaves the
    // least summed error of the halves (the first channel and place of equals).
    Box measured(std::size_t begin, std::size_t end)
    {
        Box box;
        box.begin = begin;
        box.end = end;
        Moments all;
        for (std::size_t k = begin; k < end; ++k) all.add(points_[order_[k]]);
        const double whole = all.error();
        double best = whole;
        for (int channel = 0; channel < 3 && end - begin > 1; ++channel) {
            sortAlong(begin, end, channel);
            Moments lower;
            for (std::size_t k = begin; k + 1 < end; ++k) {
                lower.add(points_[order_[k]]);
                if (points_[order_[k]].c[channel] == points_[order_[k + 1]].c[channel]) continue;
                Moments upper;
                upper.w = all.w - lower.w;
                for (int c = 0; c < 3; ++c) upper.s[c] = all.s[c] - lower.s[c];
                upper.q = all.q - lower.q;
                const double error = lower.error() + upper.error();
                if (error < best) {
                    best = error;
                    box.channel = channel;
                    box.at = k + 1;
                }
            }
        }
        box.gain = box.at == 0 ? 0 : whole - best;
        return box;
    }

    const std::vector<Point>& points_;
    std::vector<std::uint32_t> order_;
    std::vector<Box> boxes_;
};

// The nearest of a set of centres, exactly: centres sorted by the sum of
// their channels, searched outwards from the colour's own sum until that
// difference alone is further than the best found.
class NearestCentre {
public:
    explicit NearestCentre(const std::vector<std::array<double, 3>>& centres) : centres_(centres)
    {
        for (std::size_t i = 0; i < centres.size(); ++i) byKey_.push_back({key(centres[i].data()), i});
        std::sort(byKey_.begin(), byKey_.end());
    }

    std::size_t operator()(const double* c) const
    {
        const double k = key(c);
        auto up = std::lower_bound(byKey_.begin(), byKey_.end(), std::pair<double, std::size_t> {k, 0});
        auto down = up;
        double best = INFINITY;
        std::size_t chosen = 0;
        const auto consider = [&](std::size_t i) {
            const double d = distance(c, centres_[i].data());
            if (d < best || (d == best && i < chosen)) {
                best = d;
                chosen = i;
            }
        };
        // (sum difference)^2 / 3 is at most the squared distance.
        while (up != byKey_.end() || down != byKey_.begin()) {
            bool moved = false;
            if (up != byKey_.end() && (up->first - k) * (up->first - k) <= 3 * best) {
                consider(up->second);
                ++up;
                moved = true;
            }
            if (down != byKey_.begin() && (k - (down - 1)->first) * (k - (down - 1)->first) <= 3 * best) {
                --down;
                consider(down->second);
                moved = true;
            }
            if (!moved) break;
        }
        return chosen;
    }

    static double distance(const double* a, const double* b)
    {
        const double r = a[0] - b[0], g = a[1] - b[1], bl = a[2] - b[2];
        return r * r + g * g + bl * bl;
    }

private:
    static double key(const double* c) { return c[0] + c[1] + c[2]; }

    const std::vector<std::array<double, 3>>& centres_;
    std::vector<std::pair<double, std::size_t>> byKey_;
};

// Lloyd's rounds over the points from the boxes' assignment: each centre
// the mean of its points, each point to its nearest centre, until no point
// moves. A centre left without points takes the point furthest from its own.
std::vector<std::array<double, 3>> refinedCentres(const std::vector<Point>& points, std::vector<int> assigned,
                                                  std::size_t k)
{
    std::vector<std::array<double, 3>> centres(k);
    for (int round = 0;; ++round) {
        std::vector<Moments> sums(k);
        for (std::size_t i = 0; i < points.size(); ++i) sums[static_cast<std::size_t>(assigned[i])].add(points[i]);
        for (std::size_t j = 0; j < k; ++j) {
            if (sums[j].w > 0) {
                for (int c = 0; c < 3; ++c) centres[j][static_cast<std::size_t>(c)] = sums[j].s[c] / sums[j].w;
                continue;
            }
            // An empty centre: the point worst served by its centre.
            std::size_t worst = 0;
            double worstError = -1;
            for (std::size_t i = 0; i < points.size(); ++i) {
                const double e =
                    points[i].weight *
                    NearestCentre::distance(points[i].c, centres[static_cast<std::size_t>(assigned[i])].data());
                if (e > worstError) {
                    worstError = e;
                    worst = i;
                }
            }
            for (int c = 0; c < 3; ++c) centres[j][static_cast<std::size_t>(c)] = points[worst].c[c];
            assigned[worst] = static_cast<int>(j);
        }
        if (round == kRefineRounds) break;
        const NearestCentre nearest(centres);
        bool moved = false;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const int to = static_cast<int>(nearest(points[i].c));
            if (to != assigned[i]) {
                assigned[i] = to;
                moved = true;
            }
        }
        if (!moved) break;
    }
    return centres;
}

std::uint8_t channelOf(double v) { return static_cast<std::uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); }

int squaredDistance(Bgr a, Bgr b)
{
    const int r = a.r - b.r, g = a.g - b.g, bl = a.b - b.b;
    return r * r + g * g + bl * bl;
}

} // namespace

Quantizer::Quantizer(const Picture& picture, int colours)
{
    colours = std::clamp(colours, 1, kMaxColours);
    if (collectExact(picture, colours)) {
        exact_ = true;
        if (table_.empty()) table_.push_back({}); // an empty picture: one black entry
        return;
    }
    std::vector<Point> points = distinctColours(picture);
    if (points.empty()) points = cellMeans(picture);
    const BoxCutter boxes(points, colours);
    const std::vector<std::array<double, 3>> centres = refinedCentres(points, boxes.membership(), boxes.count());
    table_.reserve(centres.size());
    for (const auto& c : centres) table_.push_back({channelOf(c[2]), channelOf(c[1]), channelOf(c[0])});
    std::vector<std::uint16_t> cells;
    cells.reserve(points.size());
    for (const Point& p : points) cells.push_back(p.cell);
    listCandidates(cells);
}

void Quantizer::listCandidates(const std::vector<std::uint16_t>& cells)
{
    listStart_.assign(kListCells, kNoList);
    listLength_.assign(kListCells, 0);
    constexpr int span = 1 << (8 - kListBits);
    std::vector<int> nearDistance(table_.size());
    std::vector<std::uint8_t> order;
    for (const std::uint16_t cell : cells) {
        if (listStart_[cell] != kNoList) continue;
        constexpr int axis = (1 << kListBits) - 1;
        const int lo[3] = {(cell >> (2 * kListBits)) * span, ((cell >> kListBits) & axis) * span, (cell & axis) * span};
        // Per entry the least and the most squared distance to a colour of
        // the cell; an entry whose least is above the smallest most can
        // never be nearest there.
        int bound = 1 << 30;
        for (std::size_t i = 0; i < table_.size(); ++i) {
            const int t[3] = {table_[i].r, table_[i].g, table_[i].b};
            int near = 0, far = 0;
            for (int c = 0; c < 3; ++c) {
                const int a = lo[c], z = lo[c] + span - 1;
                const int d = t[c] < a ? a - t[c] : t[c] > z ? t[c] - z : 0;
                const int f = std::max(std::abs(t[c] - a), std::abs(t[c] - z));
                near += d * d;
                far += f * f;
            }
            nearDistance[i] = near;
            bound = std::min(bound, far);
        }
        // Nearest to the cell first: a search stops at the first candidate
        // that cannot come closer than the best found.
        listStart_[cell] = static_cast<std::uint32_t>(candidates_.size());
        order.clear();
        for (std::size_t i = 0; i < table_.size(); ++i) {
            if (nearDistance[i] <= bound) order.push_back(static_cast<std::uint8_t>(i));
        }
        std::sort(order.begin(), order.end(), [&](std::uint8_t a, std::uint8_t b) {
            return nearDistance[a] < nearDistance[b] || (nearDistance[a] == nearDistance[b] && a < b);
        });
        for (const std::uint8_t i : order) {
            candidates_.push_back(i);
            candidateNear_.push_back(nearDistance[i]);
        }
        listLength_[cell] = static_cast<std::uint16_t>(order.size());
    }
}

bool Quantizer::collectExact(const Picture& picture, int colours)
{
    exactKeys_.assign(kExactSlots, 0);
    exactValues_.assign(kExactSlots, 0);
    // Runs of one colour are common: the last colour met is checked first.
    std::uint32_t lastKey = 0;
    bool fits = true;
    forEachPixel(picture, [&](Bgr c) {
        const std::uint32_t key = c.rgb() + 1;
        if (key == lastKey) return true;
        lastKey = key;
        std::size_t slot = slotOf(key);
        while (exactKeys_[slot] != 0) {
            if (exactKeys_[slot] == key) return true;
            slot = (slot + 1) % kExactSlots;
        }
        if (static_cast<int>(table_.size()) == colours) return fits = false;
        exactKeys_[slot] = key;
        exactValues_[slot] = static_cast<std::uint8_t>(table_.size());
        table_.push_back(c);
        return true;
    });
    if (!fits) {
        table_.clear();
        exactKeys_.clear();
        exactValues_.clear();
    }
    return fits;
}

std::uint8_t Quantizer::exactIndex(Bgr c) const
{
    const std::uint32_t key = c.rgb() + 1;
    for (std::size_t slot = slotOf(key); exactKeys_[slot] != 0; slot = (slot + 1) % kExactSlots) {
        if (exactKeys_[slot] == key) return exactValues_[slot];
    }
    // Not a colour of the picture: the nearest entry by the sum of the
    // channel differences.
    std::size_t best = 0;
    int bestDistance = 1 << 30;
    for (std::size_t i = 0; i < table_.size(); ++i) {
        const Bgr t = table_[i];
        const int d = std::abs(c.r - t.r) + std::abs(c.g - t.g) + std::abs(c.b - t.b);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

std::uint8_t Quantizer::nearestOfAll(Bgr c) const
{
    std::size_t best = 0;
    int bestDistance = 1 << 30;
    for (std::size_t i = 0; i < table_.size(); ++i) {
        const int d = squaredDistance(c, table_[i]);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

std::uint8_t Quantizer::index(Bgr c) const
{
    if (exact_) return exactIndex(c);
    const std::size_t cell = listCell(c.r, c.g, c.b);
    const std::uint32_t start = listStart_[cell];
    if (start == kNoList) return nearestOfAll(c);
    const std::uint8_t* list = candidates_.data() + start;
    const int* near = candidateNear_.data() + start;
    std::uint8_t best = list[0];
    int bestDistance = squaredDistance(c, table_[best]);
    for (std::uint16_t k = 1; k < listLength_[cell] && near[k] <= bestDistance; ++k) {
        const int d = squaredDistance(c, table_[list[k]]);
        if (d < bestDistance || (d == bestDistance && list[k] < best)) {
            bestDistance = d;
            best = list[k];
        }
    }
    return best;
}

std::vector<Bgr> Quantizer::paddedTable(int n) const
{
    std::vector<Bgr> out = table_;
    out.resize(static_cast<std::size_t>(std::max(n, 0)));
    return out;
}

void Quantizer::indexRow(const std::uint8_t* bgr, std::size_t width, int bitsPerIndex, std::uint8_t* out) const
{
    if (width == 0) return;
    // Runs of one colour are common: the last colour's index is kept.
    Bgr last {bgr[0], bgr[1], bgr[2]};
    std::uint8_t lastIndex = index(last);
    const auto indexOf = [&](const std::uint8_t* p) {
        const Bgr c {p[0], p[1], p[2]};
        if (!(c == last)) {
            last = c;
            lastIndex = index(c);
        }
        return lastIndex;
    };
    if (bitsPerIndex == 8) {
        for (std::size_t x = 0; x < width; ++x, bgr += 3) out[x] = indexOf(bgr);
        return;
    }
    std::fill(out, out + (width + 1) / 2, 0);
    for (std::size_t x = 0; x < width; ++x, bgr += 3) {
        const unsigned i = indexOf(bgr) & 0x0F;
        out[x / 2] |= static_cast<std::uint8_t>(x % 2 ? i : i << 4);
    }
}

} // namespace vextral::codecs
