#include "harvest/IconQuery.h"

#include "core/FileName.h"
#include "core/Text.h"

#include <algorithm>
#include <optional>
#include <sstream>

namespace vextral {

namespace {

// "32-bit" or "32bit": the number; else nothing.
std::optional<int> depthWord(const std::string& word)
{
    std::string digits = word;
    for (const char* suffix : {"-bits", "-bit", "bits", "bit"}) {
        const std::string s(suffix);
        if (digits.size() > s.size() && digits.compare(digits.size() - s.size(), s.size(), s) == 0) {
            digits.resize(digits.size() - s.size());
            const auto n = parseInteger(digits);
            if (n && *n > 0 && *n <= 64) return static_cast<int>(*n);
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<int> sideWord(const std::string& word)
{
    const auto n = parseInteger(word);
    if (n && *n > 0 && *n <= 0xFFFF) return static_cast<int>(*n);
    return std::nullopt;
}

} // namespace

IconFilter parseIconFilter(const std::string& text)
{
    IconFilter filter;
    std::istringstream in(lowerAscii(text));
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    for (std::size_t k = 0; k < words.size(); ++k) {
        const std::string& w = words[k];
        if (w == "has" && k + 1 < words.size()) {
            if (const auto side = sideWord(words[k + 1])) {
                filter.sides.push_back(*side);
                ++k;
                continue;
            }
        }
        if (const auto depth = depthWord(w)) {
            filter.depths.push_back(*depth);
            continue;
        }
        filter.words.push_back(w);
    }
    return filter;
}

bool iconMatches(const IconCatalogue& catalogue, int i, const IconFilter& filter)
{
    if (i < 0 || i >= catalogue.itemCount() || i >= catalogue.imageCount()) return false;
    if (!filter.words.empty()) {
        const std::string path = lowerAscii(catalogue.record(i).sourceFile);
        for (const std::string& w : filter.words) {
            if (path.find(w) == std::string::npos) return false;
        }
    }
    if (filter.sides.empty() && filter.depths.empty()) return true;
    const std::vector<IconImageSummary> images = catalogue.images(i);
    for (const int side : filter.sides) {
        if (std::none_of(images.begin(), images.end(),
                         [side](const IconImageSummary& s) { return std::max(s.width, s.height) == side; }))
            return false;
    }
    for (const int depth : filter.depths) {
        if (std::none_of(images.begin(), images.end(), [depth](const IconImageSummary& s) { return s.bits == depth; }))
            return false;
    }
    return true;
}

void appendMatchingIcons(const IconCatalogue& catalogue, const IconFilter& filter, int first, std::vector<int>& shown)
{
    const int last = std::min(catalogue.itemCount(), catalogue.imageCount());
    for (int i = std::max(first, 0); i < last; ++i) {
        if (filter.empty() || iconMatches(catalogue, i, filter)) shown.push_back(i);
    }
}

std::vector<int> queryIcons(const IconCatalogue& catalogue, const IconFilter& filter, IconOrder order)
{
    std::vector<int> shown;
    appendMatchingIcons(catalogue, filter, 0, shown);
    if (order == IconOrder::SourceFile) {
        // The sort keys once per icon, not once per comparison.
        std::vector<std::pair<std::string, std::string>> keys(shown.size());
        for (std::size_t k = 0; k < shown.size(); ++k) {
            const std::string& path = catalogue.record(shown[k]).sourceFile;
            keys[k] = {lowerAscii(fileNamePart(path)), path};
        }
        std::vector<std::size_t> at(shown.size());
        for (std::size_t k = 0; k < at.size(); ++k) at[k] = k;
        std::stable_sort(at.begin(), at.end(), [&](std::size_t a, std::size_t b) {
            if (keys[a] != keys[b]) return keys[a] < keys[b];
            return catalogue.record(shown[a]).iconIndex < catalogue.record(shown[b]).iconIndex;
        });
        std::vector<int> sorted(shown.size());
        for (std::size_t k = 0; k < at.size(); ++k) sorted[k] = shown[at[k]];
        return sorted;
    }
    if (order == IconOrder::LargestImage) {
        std::stable_sort(shown.begin(), shown.end(),
                         [&](int a, int b) { return catalogue.largestSide(a) > catalogue.largestSide(b); });
    }
    return shown;
}

} // namespace vextral
