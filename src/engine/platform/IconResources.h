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

// An icon group (RT_GROUP_ICON) of an executable: its name ("APPICON", or "#7"
// for a numeric id) and where its directory lies, when it can be found.
struct GroupResource {
    std::string label;
    std::optional<ResourceLocation> data;
};

// The icon resources of a PE or NE file: the groups in directory order and the
// images (RT_ICON) by id.
struct IconResourceTable {
    std::vector<GroupResource> groups;
    std::unordered_map<std::uint16_t, ResourceLocation> icons;
    // NE files store resource lengths rounded up to their alignment unit.
    bool sizesRoundedUp = false;
};

// Both return false when the file is not of their kind; a file of their kind
// with damaged resources gives the groups and images that could be read. A
// PE directory is read up to limits.peDirectoryEntries entries, an NE
// resource table up to limits.neResources resources.
bool readPeResources(const ByteSource& file, IconResourceTable& table, const ReaderLimits& limits = {});
bool readNeResources(const ByteSource& file, IconResourceTable& table, const ReaderLimits& limits = {});

constexpr std::uint16_t kIconTypeId = 3;
constexpr std::uint16_t kGroupIconTypeId = 14;

} // namespace vextral::platform
