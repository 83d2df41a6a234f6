#include "harvest/DuplicateIcons.h"

namespace vextral {

namespace {

constexpr std::size_t kMostPerHash = 8;

} // namespace

std::uint64_t DuplicateIcons::hash(const std::vector<std::uint8_t>& bytes)
{
    std::uint64_t h = 14695981039346656037ULL;
    for (const std::uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ULL;
    }
    return h;
}

void DuplicateIcons::clear()
{
    seen_ = {};
    pending_ = false;
    reopenedPath_.clear();
    reopened_ = platform::IconSource::fromBytes({});
}

std::vector<std::uint8_t> DuplicateIcons::originalAt(int position, const platform::IconSource& current,
                                                     const std::string& currentPath)
{
    if (position >= catalogue_.recordCount()) return {};
    const IconRecord& r = catalogue_.record(position);
    if (r.sourceFile == currentPath) return current.originalIco(r.iconIndex);
    if (r.sourceFile != reopenedPath_) {
        reopened_ = platform::reopenIconSource(r.sourceFile);
        reopenedPath_ = r.sourceFile;
    }
    return reopened_.originalIco(r.iconIndex);
}

bool DuplicateIcons::seenBefore(const platform::IconSource& source, const std::string& path, int index)
{
    pending_ = false;
    const std::vector<std::uint8_t> bytes = source.originalIco(index);
    if (bytes.empty()) return false;
    const std::uint64_t h = hash(bytes);
    if (const auto it = seen_.find(h); it != seen_.end()) {
        for (const Seen& s : it->second) {
            // A file changed since its icon was added simply no longer matches.
            if (s.size == bytes.size() && originalAt(s.position, source, path) == bytes) return true;
        }
    }
    pendingHash_ = h;
    pendingSize_ = bytes.size();
    pending_ = true;
    return false;
}

void DuplicateIcons::added(int position)
{
    if (!pending_) return;
    // Forms made to collide must not make every later icon read many files
    // again: past a few per hash, further ones are shown but not remembered.
    std::vector<Seen>& same = seen_[pendingHash_];
    if (same.size() < kMostPerHash) same.push_back({position, pendingSize_});
    pending_ = false;
}

} // namespace vextral
