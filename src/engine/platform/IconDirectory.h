#pragma once

// The icon source's own view of an icon or cursor directory, shared by
// IconExtractor.cpp and CursorGroups.cpp; not for callers of IconSource.

#include "core/ByteSource.h"
#include "platform/IconResources.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vextral::platform {

// Where one image's bytes lie in its icon's stream.
struct ImageRange {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// The entries of one icon directory (an icon file's, an RT_GROUP_ICON or an
// RT_GROUP_CURSOR resource) and the distinct images they name. Entries that
// name the same bytes (the same resource, the same range of an icon file)
// share one image, so however many entries a directory repeats, each image is
// probed, decoded and rebuilt once.
struct IconDirectory {
    struct Entry {
        // The fields of an icon file's entry: width, height, colours,
        // reserved, then planes and bit count (an icon) or the hotspot's x
        // and y (a cursor).
        std::uint8_t fields[8] = {};
        int image = -1; // index into images; -1 when the entry names nothing readable
        int bits = -1;  // a cursor group's bit count, which its fields have no room for
    };
    std::vector<Entry> entries;
    std::vector<ImageRange> images;      // in the order entries first name them
    std::vector<std::size_t> firstEntry; // for each image, the first entry naming it
};

// Collects the entries of a directory, giving entries that name one range one image.
class DirectoryBuilder {
public:
    explicit DirectoryBuilder(std::uint64_t entries) { directory_->entries.reserve(static_cast<std::size_t>(entries)); }

    void add(const std::uint8_t* fields, std::optional<ImageRange> range, int bits = -1)
    {
        IconDirectory::Entry entry;
        std::memcpy(entry.fields, fields, sizeof entry.fields);
        entry.bits = bits;
        if (range) {
            const auto [at, added] =
                seen_.try_emplace({range->offset, range->size}, static_cast<int>(directory_->images.size()));
            if (added) {
                directory_->images.push_back(*range);
                directory_->firstEntry.push_back(directory_->entries.size());
            }
            entry.image = at->second;
        }
        directory_->entries.push_back(entry);
    }

    std::shared_ptr<const IconDirectory> finish() { return std::move(directory_); }

private:
    std::shared_ptr<IconDirectory> directory_ = std::make_shared<IconDirectory>();
    std::map<std::pair<std::uint64_t, std::uint64_t>, int> seen_;
};

constexpr std::size_t kIconDirHeader = 6;
constexpr std::size_t kIconDirEntry = 16;
constexpr std::size_t kGroupDirEntry = 14; // icon and cursor groups alike

// The n entries of the cursor group directory at offset, each naming an
// RT_CURSOR of the table, as the entries of a cursor file: the images are the
// DIBs after the hotspot. Nothing when the entries are not in the file.
std::shared_ptr<const IconDirectory> readCursorGroupDirectory(const ByteSource& file, const IconResourceTable& table,
                                                              std::uint64_t offset, std::uint64_t n);

} // namespace vextral::platform
