#pragma once

#include "core/ByteSource.h"
#include "core/ReaderLimits.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vextral::platform {

struct ResourceLocation {
    std::uint64_t offset = 0; // in the file
    std::uint64_t size = 0;
};

// An icon group (RT_GROUP_ICON) or cursor group (RT_GROUP_CURSOR) of an
// executable: its name ("APPICON", or "#7" for a numeric id) and where its
// directory lies, when it can be found.
struct GroupResource {
    std::string label;
    std::optional<ResourceLocation> data;
};

// The icon and cursor resources of a PE, NE or .res file: the groups in
// directory order and the images (RT_ICON, RT_CURSOR) by id. A cursor image
// is its hotspot (two 16-bit words) followed by the DIB.
struct IconResourceTable {
    std::vector<GroupResource> groups;
    std::unordered_map<std::uint16_t, ResourceLocation> icons;
    std::vector<GroupResource> cursorGroups;
    std::unordered_map<std::uint16_t, ResourceLocation> cursors;
    // NE files store resource lengths rounded up to their alignment unit.
    bool sizesRoundedUp = false;
};

// All return false when the file is not of their kind; a file of their kind
// with damaged resources gives the groups and images that could be read. A
// PE directory is read up to limits.peDirectoryEntries entries, an NE
// resource table up to limits.neResources resources, a .res file up to
// limits.resEntries entries.
bool readPeResources(const ByteSource& file, IconResourceTable& table, const ReaderLimits& limits = {});
bool readNeResources(const ByteSource& file, IconResourceTable& table, const ReaderLimits& limits = {});
bool readResResources(const ByteSource& file, IconResourceTable& table, const ReaderLimits& limits = {});

constexpr std::uint16_t kCursorTypeId = 1;
constexpr std::uint16_t kIconTypeId = 3;
constexpr std::uint16_t kGroupCursorTypeId = 12;
constexpr std::uint16_t kGroupIconTypeId = 14;

} // namespace vextral::platform
