#pragma once

#include <ostream>
#include <string>

namespace vextral::cli {

// Makes sure dir is a folder the command can write into, creating it and its
// parents when missing. When it cannot, prints "<command>: cannot use folder
// DIR: <the system's reason>" to err and returns false.
bool prepareOutputFolder(const std::string& dir, std::ostream& err, const std::string& command);

} // namespace vextral::cli
