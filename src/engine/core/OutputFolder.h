#pragma once

#include <string>

namespace vextral {

// Makes folder (and the folders above it) when it is missing, and checks that
// files can be made in it. Returns why it cannot be used ("Permission
// denied", "Not a directory", "the folder name is empty"); "" when it can.
std::string prepareOutputFolder(const std::string& folder);

} // namespace vextral
