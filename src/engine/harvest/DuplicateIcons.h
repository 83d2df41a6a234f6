#pragma once

#include "harvest/IconCatalogue.h"
#include "platform/IconExtractor.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace vextral {

// Tells an icon whose original form (IconSource::originalIco) is identical,
// byte for byte, to that of an icon already in the catalogue. Only a hash and
// the size of each original form are kept; when they match, the earlier
// icon's bytes are read again from its file for the comparison, so memory
// stays bounded however many icons a run holds. At most 8 icons are kept per
// hash, so forms made to collide cannot make each lookup read many files.
class DuplicateIcons {
public:
    explicit DuplicateIcons(const IconCatalogue& catalogue) : catalogue_(catalogue) {}

    // Forgets every icon: the catalogue is starting over.
    void clear();
    // Whether icon index of source (read from path) has the original form of
    // an icon added before. When it has not, the form's hash waits for added().
    // An icon whose original form cannot be read is never a duplicate.
    bool seenBefore(const platform::IconSource& source, const std::string& path, int index);
    // The icon last looked up by seenBefore was added at catalogue position.
    void added(int position);

    // FNV-1a, 64 bits.
    static std::uint64_t hash(const std::vector<std::uint8_t>& bytes);

private:
    struct Seen {
        int position;
        std::size_t size;
    };
    std::vector<std::uint8_t> originalAt(int position, const platform::IconSource& current,
                                         const std::string& currentPath);

    const IconCatalogue& catalogue_;
    std::unordered_map<std::uint64_t, std::vector<Seen>> seen_;
    std::uint64_t pendingHash_ = 0;
    std::size_t pendingSize_ = 0;
    bool pending_ = false;
    // The file last opened again for a comparison: the copies of one file
    // compare with it icon after icon.
    std::string reopenedPath_;
    platform::IconSource reopened_ = platform::IconSource::fromBytes({});
};

} // namespace vextral
