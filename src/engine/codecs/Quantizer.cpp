#include "codecs/Quantizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace vextral::codecs {

namespace {

constexpr int kBins = 32;        // 5 bits a channel
constexpr int kMaxColours = 256; // more boxes than this are never asked for
// The score of a cut that cannot be made: larger than any sum of two
// variances (each at most 3 x 31 x 31), so a failed cut never wins.
constexpr double kFailedCut = 17523.6;

// Channel order inside a box: red, green, blue.
enum { kRed = 0, kGreen = 1, kBlue = 2 };

// Rounds to the nearest integer, halves to even (the default rounding mode).
int roundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

struct Box {
    int lo[3] = {0, 0, 0};             // lower bin bound per channel (inclusive)
    int hi[3] = {kBins, kBins, kBins}; // upper bin bound (exclusive)
    std::uint64_t hist[3][kBins] = {}; // the box's pixels by bin, per channel
    double mean[3] = {0, 0, 0};        // mean bin per channel
    std::uint64_t count = 0;
    double variance = 0;
    // The sums of the box's pixels' 8-bit values per channel, for its colour.
    std::uint64_t sum[3] = {0, 0, 0};
    // The occupied histogram cells inside the bounds: rebuilding a half
    // visits these rather than every cell of its bounds.
    std::vector<std::uint32_t> cells;
};

class Cutter {
public:
    Cutter(const Picture& picture, int colours) : total_(static_cast<double>(picture.width) * picture.height)
    {
        Box& first = boxes_[0];
        fillHistogram(picture, first.cells);
        for (int c = 0; c < 3; ++c) {
            first.lo[c] = 0;
            first.hi[c] = kBins;
        }
        tally(first);
        statistics(first);
        count_ = 1;
        colours = std::min(colours, kMaxColours);
        while (count_ < colours) {
            int chosen = -1;
            double best = 0;
            for (int i = 0; i < count_; ++i) {
                if (boxes_[i].variance > best) {
                    best = boxes_[i].variance;
                    chosen = i;
                }
            }
            if (chosen < 0) break;
            Box lower, upper;
            if (split(boxes_[chosen], lower, upper)) {
                boxes_[chosen] = std::move(lower);
                boxes_[count_] = std::move(upper);
                ++count_;
            } else {
                boxes_[chosen].variance = 0;
            }
        }
    }

    int count() const { return count_; }
    const Box& box(int i) const { return boxes_[i]; }

private:
    static constexpr std::uint32_t kCells = kBins * kBins * kBins;

    // Counts the pixels of every cell and lists the cells met.
    // Counts the pixels of every cell, adds up their channel values and lists
    // the cells met.
    void fillHistogram(const Picture& picture, std::vector<std::uint32_t>& occupied)
    {
        histogram_.assign(kCells, 0);
        sums_.assign(kCells * 3, 0);
        std::uint64_t* h = histogram_.data();
        std::uint64_t* sums = sums_.data();
        const auto add = [&](Bgr c) {
            const auto cell = static_cast<std::uint32_t>(Quantizer::cell(c));
            if (h[cell]++ == 0) occupied.push_back(cell);
            std::uint64_t* s = sums + 3 * static_cast<std::size_t>(cell);
            s[kRed] += c.r;
            s[kGreen] += c.g;
            s[kBlue] += c.b;
        };
        if (picture.bits == 1) {
            for (int y = 0; y < picture.height; ++y) {
                for (int x = 0; x < picture.width; ++x) add(picture.pixel(x, y));
            }
            return;
        }
        const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
        for (int y = 0; y < picture.height; ++y) {
            const std::uint8_t* p = picture.row(y);
            for (std::size_t i = 0; i < rowBytes; i += 3) add({p[i], p[i + 1], p[i + 2]});
        }
    }

    // Mean bin of every channel and the variance of the box, the latter as a
    // share of the whole picture so that boxes of different sizes compare.
    void statistics(Box& box) const
    {
        if (box.count == 0) {
            for (double& m : box.mean) m = 0;
            box.variance = 0;
            return;
        }
        const double n = static_cast<double>(box.count);
        double sum = 0;
        for (int c = 0; c < 3; ++c) {
            double s1 = 0, s2 = 0;
            for (int j = box.lo[c]; j < box.hi[c]; ++j) {
                const double h = static_cast<double>(box.hist[c][j]);
                s1 += j * h;
                s2 += static_cast<double>(j) * j * h;
            }
            box.mean[c] = s1 / n;
            sum += s2 - box.mean[c] * box.mean[c] * n;
        }
        box.variance = sum / total_;
    }

    // Adds the picture histogram over a box's cells to its channel
    // histograms (which start at zero), and counts its pixels and their sums.
    void tally(Box& box) const
    {
        box.count = 0;
        for (std::uint64_t& s : box.sum) s = 0;
        for (const std::uint32_t cell : box.cells) {
            const std::uint64_t n = histogram_[cell];
            box.hist[kRed][cell >> 10] += n;
            box.hist[kGreen][(cell >> 5) & 31] += n;
            box.hist[kBlue][cell & 31] += n;
            box.count += n;
            const std::uint64_t* s = sums_.data() + 3 * static_cast<std::size_t>(cell);
            for (int c = 0; c < 3; ++c) box.sum[c] += s[c];
        }
    }

    // Recounts a half's channel histograms from the picture histogram over
    // its cells, then narrows the bounds to the bins that hold pixels.
    void rebuild(Box& box) const
    {
        for (auto& h : box.hist) std::fill(std::begin(h), std::end(h), 0);
        tally(box);
        for (int c = 0; c < 3; ++c) {
            int lo = box.lo[c], hi = box.hi[c];
            while (lo < hi && box.hist[c][lo] == 0) ++lo;
            while (hi > lo && box.hist[c][hi - 1] == 0) --hi;
            box.lo[c] = lo;
            box.hi[c] = hi;
        }
        statistics(box);
    }

    // Cuts the box along channel c where the two halves' means lie furthest
    // apart (weighted by their counts), searching between the midpoints of
    // the mean and either bound.
    bool cut(const Box& box, int c, Box& lower, Box& upper) const
    {
        const int lo = box.lo[c], hi = box.hi[c];
        if (lo + 1 == hi) return false;
        const double m = box.mean[c];
        const std::uint64_t n = box.count;
        const int a = roundEven((lo + m) * 0.5);
        const int z = roundEven((m + hi) * 0.5);
        std::uint64_t s = 0;
        for (int j = lo; j < a; ++j) s += box.hist[c][j];
        double t = 0, best = -1;
        int at = a;
        std::uint64_t lowerCount = n;
        const double dn = static_cast<double>(n);
        for (int e = a; e <= z && e < kBins; ++e) {
            s += box.hist[c][e];
            if (s == n) break;
            t += e * static_cast<double>(box.hist[c][e]) / dn;
            const double d = m - t;
            const double score = static_cast<double>(s) / static_cast<double>(n - s) * d * d;
            if (score > best) {
                best = score;
                at = e;
                lowerCount = s;
            }
        }
        if (lowerCount == 0 || lowerCount >= n) return false;
        const auto shift = static_cast<unsigned>(10 - 5 * c);
        for (Box* half : {&lower, &upper}) {
            std::copy(std::begin(box.lo), std::end(box.lo), std::begin(half->lo));
            std::copy(std::begin(box.hi), std::end(box.hi), std::begin(half->hi));
            half->cells.clear();
        }
        lower.hi[c] = at + 1;
        upper.lo[c] = at + 1;
        for (const std::uint32_t cell : box.cells) {
            (static_cast<int>((cell >> shift) & 31) <= at ? lower : upper).cells.push_back(cell);
        }
        rebuild(lower);
        rebuild(upper);
        return lower.count != 0 && upper.count != 0;
    }

    // Cuts along the channel whose halves have the smallest summed variance
    // (red before green before blue on a tie).
    bool split(const Box& box, Box& lower, Box& upper) const
    {
        Box halves[3][2];
        double score[3];
        for (int c = 0; c < 3; ++c) {
            score[c] =
                cut(box, c, halves[c][0], halves[c][1]) ? halves[c][0].variance + halves[c][1].variance : kFailedCut;
        }
        int c;
        if (score[kRed] < kFailedCut && score[kRed] <= score[kGreen] && score[kRed] <= score[kBlue])
            c = kRed;
        else if (score[kGreen] < kFailedCut && score[kGreen] <= score[kRed] && score[kGreen] <= score[kBlue])
            c = kGreen;
        else if (score[kBlue] < kFailedCut)
            c = kBlue;
        else
            return false;
        lower = std::move(halves[c][0]);
        upper = std::move(halves[c][1]);
        return true;
    }

    double total_;
    std::vector<std::uint64_t> histogram_;
    std::vector<std::uint64_t> sums_; // per cell: red, green and blue sums
    Box boxes_[kMaxColours];
    int count_ = 0;
};

// A box's colour: the mean of its pixels' values, halves to even.
std::uint8_t meanOf(std::uint64_t sum, std::uint64_t count)
{
    if (count == 0) return 0;
    const std::uint64_t q = sum / count, rest = sum % count;
    const std::uint64_t up = rest * 2 > count || (rest * 2 == count && (q & 1)) ? 1 : 0;
    return static_cast<std::uint8_t>(std::min<std::uint64_t>(q + up, 255));
}

std::size_t slotOf(std::uint32_t key) { return (key * 2654435761u) >> 23; } // 9 bits: 512 slots

} // namespace

Quantizer::Quantizer(const Picture& picture, int colours)
{
    colours = std::clamp(colours, 1, kMaxColours);
    if (collectExact(picture, colours)) {
        exact_ = true;
        if (table_.empty()) table_.push_back({}); // an empty picture: one black entry
        return;
    }
    // The boxes take about 200 KB: keep them off the stack.
    const auto cutter = std::make_unique<Cutter>(picture, colours);
    const int k = cutter->count();
    table_.reserve(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) {
        const Box& box = cutter->box(i);
        Bgr c;
        c.r = meanOf(box.sum[kRed], box.count);
        c.g = meanOf(box.sum[kGreen], box.count);
        c.b = meanOf(box.sum[kBlue], box.count);
        table_.push_back(c);
    }
    map_.fill(0);
    for (int i = 0; i < k; ++i) {
        const Box& box = cutter->box(i);
        for (int r = box.lo[kRed]; r < box.hi[kRed]; ++r) {
            for (int g = box.lo[kGreen]; g < box.hi[kGreen]; ++g) {
                std::uint8_t* row =
                    map_.data() + (static_cast<std::size_t>(r) << 10 | static_cast<std::size_t>(g) << 5);
                for (int b = box.lo[kBlue]; b < box.hi[kBlue]; ++b) row[b] = static_cast<std::uint8_t>(i);
            }
        }
    }
}

bool Quantizer::collectExact(const Picture& picture, int colours)
{
    exactKeys_.assign(kExactSlots, 0);
    exactValues_.assign(kExactSlots, 0);
    // Runs of one colour are common: the last colour met is checked first.
    std::uint32_t lastKey = 0;
    const auto add = [&](Bgr c) {
        const std::uint32_t key = c.rgb() + 1;
        if (key == lastKey) return true;
        lastKey = key;
        std::size_t slot = slotOf(key);
        while (exactKeys_[slot] != 0) {
            if (exactKeys_[slot] == key) return true;
            slot = (slot + 1) % kExactSlots;
        }
        if (static_cast<int>(table_.size()) == colours) return false;
        exactKeys_[slot] = key;
        exactValues_[slot] = static_cast<std::uint8_t>(table_.size());
        table_.push_back(c);
        return true;
    };
    bool fits = true;
    for (int y = 0; y < picture.height && fits; ++y) {
        if (picture.bits == 1) {
            for (int x = 0; x < picture.width && fits; ++x) fits = add(picture.pixel(x, y));
        } else {
            const std::uint8_t* p = picture.row(y);
            for (int x = 0; x < picture.width && fits; ++x, p += 3) fits = add({p[0], p[1], p[2]});
        }
    }
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
    // Not a colour of the picture: the nearest entry.
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

std::uint8_t Quantizer::index(Bgr c) const { return exact_ ? exactIndex(c) : map_[cell(c)]; }

std::vector<Bgr> Quantizer::paddedTable(int n) const
{
    std::vector<Bgr> out = table_;
    out.resize(static_cast<std::size_t>(std::max(n, 0)));
    return out;
}

void Quantizer::indexRow(const std::uint8_t* bgr, std::size_t width, int bitsPerIndex, std::uint8_t* out) const
{
    if (bitsPerIndex == 8) {
        for (std::size_t x = 0; x < width; ++x, bgr += 3) out[x] = index({bgr[0], bgr[1], bgr[2]});
        return;
    }
    std::fill(out, out + (width + 1) / 2, 0);
    for (std::size_t x = 0; x < width; ++x, bgr += 3) {
        const unsigned i = index({bgr[0], bgr[1], bgr[2]}) & 0x0F;
        out[x / 2] |= static_cast<std::uint8_t>(x % 2 ? i : i << 4);
    }
}

} // namespace vextral::codecs
